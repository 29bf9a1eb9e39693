// Reading NBML files for the document: the start document, opened and dropped files and
// createDocument all come through here.
#pragma once

#include <script/language/Lexer.h>

#include <optional>
#include <string>

namespace nimbolt {

// The largest document read; larger files are refused unread. Its tree may hold at most
// MaxMarkupNodes nodes besides.
inline constexpr size_t MaxDocumentBytes = 16u << 20;

// The text of the file at a file system path as documentText gives it; none when it cannot be
// opened or read, is not a regular file or is larger than MaxDocumentBytes. origin, when given,
// receives where the text came from.
std::optional<std::string> readDocumentFile(const std::string& path, TextOrigin* origin = nullptr);

// A document's bytes as the program works with them: Shift-JIS. A text that starts with a UTF-8
// byte-order mark, or that is well-formed UTF-8 with bytes above 127, is converted (characters
// Shift-JIS cannot hold become "?", and standard error says once that the named file lost
// some); any other text is taken as Shift-JIS already. origin, when given, receives which of the
// two it was.
std::string documentText(std::string bytes, const std::string& name, TextOrigin* origin = nullptr);

// Why a file's bytes are not a document, or none when they may be one. A document is text (no
// byte below 0x20 but tab, line feed, vertical tab, form feed and carriage return) that holds
// more than white space; whether it holds a markup element is for the parser to say.
std::optional<std::string> whyNotADocument(std::string_view bytes);

// Makes the folder of the file at path the process's current directory, so that the names a
// document uses resolve against its own folder.
void enterDocumentFolder(const std::string& path);

}
