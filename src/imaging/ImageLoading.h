// Image files become surfaces through the image library: the file is opened here, the library
// reads the header, a surface of the picture's size and depth is made, the library decodes into
// it, the surface takes the picture's palette, and the library is told to end. A file that cannot
// be opened never reaches the library; the library's end step follows every header it accepted
// and no other.
#pragma once

#include <imaging/Surface.h>
#include <platform/ImageLibrary.h>
#include <base/Ref.h>

#include <cstdio>
#include <string_view>

namespace nimbolt {

// The picture in a file named by the document's text, decoded by the system's image library; null
// when the file is missing, unreadable, not a picture the library knows, damaged or too large.
RefPtr<Surface> loadImageFile(std::string_view path);
RefPtr<Surface> loadImageFile(std::string_view path, ImageLibrary& library);

// The same from a file already open for reading (left open for the caller to close).
RefPtr<Surface> loadImageStream(std::FILE* file, ImageLibrary& library);

}
