// Files named by a document. Documents name files in their Shift-JIS bytes, often as written for
// another system: a backslash (that is not the second byte of a double-byte character) separates
// folders, and letter case may not match the file system's. A name is converted to the file
// system's encoding here; relative names resolve against the process's current directory, which
// is the shown document's folder.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace nimbolt {

// The file system path of an existing file or folder the document's name means: the exact name
// when it exists, otherwise the one whose every component matches when ASCII letter case is
// ignored (the first such entry in name order). None when there is no such file.
std::optional<std::string> resolveDocumentPath(std::string_view shiftJisPath);

// The name converted as above without looking at the file system.
std::string convertDocumentPath(std::string_view shiftJisPath);

// A file opened for reading in binary mode, owned by the caller (close it with fclose), or null
// when it does not exist, is not a regular file or cannot be read.
std::FILE* openFileForReading(std::string_view shiftJisPath);

}
