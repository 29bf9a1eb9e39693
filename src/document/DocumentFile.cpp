#include <document/DocumentFile.h>

#include <cstdio>
#include <filesystem>
#include <memory>

namespace nimbolt {

std::optional<std::string> readDocumentFile(const std::string& path)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return std::nullopt;
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
    return text;
}

void enterDocumentFolder(const std::string& path)
{
    std::error_code error;
    std::filesystem::path folder = std::filesystem::absolute(path, error).parent_path();
    if (!error && !folder.empty())
        std::filesystem::current_path(folder, error);
}

}
