// Shift-JIS text and document file names on arbitrary bytes: cutting into characters, the
// conversions to and from UTF-8, the name conversion and the UTF-8 detection of documents.
// Checks what must hold for any input. documentText names files that lost characters on standard
// error once per input; run with -close_fd_mask=2 to keep the fuzzer's own output readable (the
// fuzzer and sanitizer reports still come through).
#include "FuzzCheck.h"

#include <document/DocumentFile.h>
#include <platform/FileAccess.h>
#include <platform/ShiftJisText.h>
#include <platform/TextConversion.h>

#include <cstdint>
#include <string>

using namespace nimbolt;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string bytes(reinterpret_cast<const char*>(data), size);
    ShiftJisText text(bytes.data(), static_cast<int32_t>(bytes.size()));
    int32_t covered = 0;
    for (const ShiftJisText::Character& character : text.characters()) {
        fuzzCheck(character.byteOffset == covered);
        fuzzCheck(character.byteLength == 1 || character.byteLength == 2);
        covered += character.byteLength;
    }
    fuzzCheck(covered == static_cast<int32_t>(bytes.size()));

    std::string utf8 = shiftJisToUtf8(bytes);
    fuzzCheck(isValidUtf8(utf8));
    bool lost = false;
    std::string back = utf8ToShiftJis(utf8, lost);
    // A lone lead byte at the end decodes to nothing; whatever did decode comes back as something
    // (a character Shift-JIS cannot hold as "?").
    fuzzCheck(back.empty() == utf8.empty());

    if (isValidUtf8(bytes)) {
        lost = false;
        (void)utf8ToShiftJis(bytes, lost);
    }
    (void)documentText(bytes, "fuzz.nbm");
    std::string name = convertDocumentPath(bytes);
    fuzzCheck(name.find('\\') == std::string::npos || bytes.find('\\') != std::string::npos);
    return 0;
}
