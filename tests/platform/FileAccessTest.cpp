// File names as documents write them (backslashes, 0x5C trail bytes, any letter case), resolved
// on a real folder tree.
#include <platform/FileAccess.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace nimbolt::test {
namespace {

namespace fs = std::filesystem;

TEST(FileAccess, DocumentNamesFindTheirFiles)
{
    fs::path root = fs::temp_directory_path() / ("nimbolt-files-" + std::to_string(::getpid()));
    // "表" is 0x95 0x5C in Shift-JIS: its second byte is a backslash that separates nothing.
    fs::create_directories(root / "Img" / "\xE8\xA1\xA8");
    std::ofstream(root / "Img" / "\xE8\xA1\xA8" / "Face.BMP") << "x";
    std::ofstream(root / "img.txt") << "y";
    fs::path previous = fs::current_path();
    fs::current_path(root);

    struct Row {
        const char* what;
        std::string name;
        std::optional<std::string> expected;
    };
    const std::string face = "Img/\xE8\xA1\xA8/Face.BMP";
    const Row rows[] = {
        { "exact name", "Img/\x95\x5C/Face.BMP", face },
        { "backslashes and a trail byte", "Img\\\x95\x5C\\Face.BMP", face },
        { "letter case forgiven in every part", "IMG\\\x95\x5C\\face.bmp", face },
        { "absolute path", (root / "IMG.TXT").string(), (root / "img.txt").string() },
        { "a missing part", "Img\\nothing\\Face.BMP", std::nullopt },
        { "an empty name", "", std::nullopt },
    };
    for (const Row& row : rows)
        EXPECT_EQ(resolveDocumentPath(row.name), row.expected) << row.what;

    std::FILE* file = openFileForReading("img\\\x95\x5C\\FACE.bmp");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(std::fgetc(file), 'x');
    std::fclose(file);
    EXPECT_EQ(openFileForReading("img"), nullptr) << "a folder is not a file to read";

    fs::current_path(previous);
    fs::remove_all(root);
}

}
}
