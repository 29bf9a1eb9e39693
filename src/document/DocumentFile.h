// Reading NBML files for the document: the start document, opened and dropped files and
// createDocument all come through here.
#pragma once

#include <optional>
#include <string>

namespace nimbolt {

// The largest document read; larger files are refused unread.
inline constexpr size_t MaxDocumentBytes = 64u << 20;

// The bytes of the file at a file system path; none when it cannot be opened or read, is not a
// regular file or is larger than MaxDocumentBytes.
std::optional<std::string> readDocumentFile(const std::string& path);

// Makes the folder of the file at path the process's current directory, so that the names a
// document uses resolve against its own folder.
void enterDocumentFolder(const std::string& path);

}
