#include <document/DocumentFile.h>

#include <platform/TextConversion.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>

namespace nimbolt {

std::optional<std::string> readDocumentFile(const std::string& path, TextOrigin* origin)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return std::nullopt;
    if (std::filesystem::file_size(path, error) > MaxDocumentBytes && !error) {
        std::fprintf(stderr, "nimbolt: %s: a document may have at most %zu bytes; not read\n", path.c_str(),
            MaxDocumentBytes);
        return std::nullopt;
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!file)
        return std::nullopt;
    std::string text;
    char block[65536];
    size_t count;
    while ((count = std::fread(block, 1, sizeof block, file.get())) > 0) {
        if (text.size() + count > MaxDocumentBytes)
            return std::nullopt;
        text.append(block, count);
    }
    if (std::ferror(file.get()))
        return std::nullopt;
    return documentText(std::move(text), path, origin);
}

std::string documentText(std::string bytes, const std::string& name, TextOrigin* origin)
{
    static constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";
    bool marked = bytes.compare(0, ByteOrderMark.size(), ByteOrderMark) == 0;
    bool wide = std::any_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<uint8_t>(c) > 127; });
    bool converted = marked || (wide && isValidUtf8(bytes));
    if (origin)
        *origin = converted ? TextOrigin::ConvertedUtf8 : TextOrigin::ShiftJis;
    if (!converted)
        return bytes;
    bool lost = false;
    std::string text = utf8ToShiftJis(std::string_view(bytes).substr(marked ? ByteOrderMark.size() : 0), lost);
    if (lost)
        std::fprintf(stderr, "nimbolt: %s: characters that Shift-JIS cannot hold became \"?\"\n", name.c_str());
    return text;
}

std::optional<std::string> whyNotADocument(std::string_view bytes)
{
    auto isSpace = [](uint8_t byte) { return byte == ' ' || (byte >= '\t' && byte <= '\r'); };
    if (std::all_of(bytes.begin(), bytes.end(), [&](char c) { return isSpace(static_cast<uint8_t>(c)); }))
        return "the file is empty";
    if (std::any_of(bytes.begin(), bytes.end(), [&](char c) { return static_cast<uint8_t>(c) < 0x20 && !isSpace(static_cast<uint8_t>(c)); }))
        return "the file holds binary data, not text";
    return std::nullopt;
}

void enterDocumentFolder(const std::string& path)
{
    std::error_code error;
    std::filesystem::path folder = std::filesystem::absolute(path, error).parent_path();
    if (!error && !folder.empty())
        std::filesystem::current_path(folder, error);
}

}
