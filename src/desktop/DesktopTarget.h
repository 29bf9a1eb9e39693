// What a document asks the desktop to open: an address that names its scheme (http:, mailto:,
// file: ...) goes to the desktop as it is; anything else is a file name of the document's, to be
// found relative to the document's folder. A single letter before the colon is a drive, not a
// scheme, so "C:\clock\a.txt" is a file name.
#pragma once

#include <string_view>

namespace nimbolt {

enum class DesktopTargetKind {
    Address,
    FileName,
};

DesktopTargetKind desktopTargetKind(std::string_view target);

}
