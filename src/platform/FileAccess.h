// Opening files named by the document's Shift-JIS text. The name is converted to the file
// system's encoding here; relative names resolve against the process's current directory.
#pragma once

#include <cstdio>
#include <string_view>

namespace nimbolt {

// A file opened for reading in binary mode, owned by the caller (close it with fclose), or null
// when it does not exist or cannot be read.
std::FILE* openFileForReading(std::string_view shiftJisPath);

}
