// The memory stream and the line reader, whose lines cross 4096-byte blocks.
#include <script/language/LineReader.h>
#include <script/language/MemoryStream.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace nimbolt {
namespace {

TEST(MemoryStream, SeeksClampAndWritesStayInside)
{
    const struct {
        const char* name;
        int32_t start;
        int32_t offset;
        SeekOrigin origin;
        int32_t expected;
    } rows[] = {
        { "from the start", 5, 3, SeekOrigin::Start, 3 },
        { "backward from the current position", 5, -2, SeekOrigin::Current, 3 },
        { "from the end", 5, -4, SeekOrigin::End, 6 },
        { "before the start clamps to 0", 5, -9, SeekOrigin::Current, 0 },
        { "past the end clamps to the size", 5, 40, SeekOrigin::Start, 10 },
    };
    const char text[] = "0123456789";
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        MemoryStream* stream = createMemoryStream(text, 10).leakRef();
        EXPECT_EQ(stream->seek(row.start, SeekOrigin::Start), row.start);
        EXPECT_EQ(stream->seek(row.offset, row.origin), row.expected);
        EXPECT_EQ(stream->position(), row.expected);
        stream->release();
    }

    // Writes go into writable text only, never past its end.
    char writableText[] = "hello";
    MemoryStream* writable = createMemoryStream(writableText, 5).leakRef();
    EXPECT_EQ(writable->seek(3, SeekOrigin::Start), 3);
    EXPECT_EQ(writable->write("XYZ", 3), 2);
    EXPECT_EQ(std::string(writableText), "helXY");
    EXPECT_EQ(writable->position(), 5);
    writable->release();
    MemoryStream* readOnly = createMemoryStream("fixed", 5).leakRef();
    EXPECT_EQ(readOnly->write("XYZ", 3), 0);
    EXPECT_EQ(readOnly->position(), 0);
    readOnly->release();
}

// Reads every line with the given capacity; a piece without terminator is taken whole. The byte
// after the capacity must never be written.
std::vector<std::string> readAllLines(const std::string& text, int32_t capacity)
{
    MemoryStream* stream = createMemoryStream(text.data(), static_cast<int32_t>(text.size())).leakRef();
    auto reader = createLineReader(*stream);
    EXPECT_EQ(stream->refCount(), 2) << "a line reader holds its stream";
    std::vector<std::string> lines;
    std::vector<char> buffer(static_cast<size_t>(capacity) + 1, 0);
    buffer.back() = 'G';
    while (reader->readLine(buffer.data(), capacity)) {
        EXPECT_EQ(buffer.back(), 'G') << "written past the capacity";
        lines.emplace_back(buffer.data(), strnlen(buffer.data(), static_cast<size_t>(capacity)));
        std::fill(buffer.begin(), buffer.end() - 1, 0);
    }
    stream->release();
    return lines;
}

TEST(LineReader, CutsTextIntoLines)
{
    const struct {
        const char* name;
        std::string text;
        int32_t capacity;
        std::vector<std::string> lines;
    } rows[] = {
        { "line feeds stay with their lines", "ab\ncd\n", 100, { "ab\n", "cd\n" } },
        { "last line without line feed", "ab\ncd", 100, { "ab\n", "cd" } },
        { "empty lines", "\n\n", 100, { "\n", "\n" } },
        { "empty text has no line", "", 100, {} },
        { "long line is cut at the capacity", "abcdefg\n", 3, { "abc", "def", "g\n" } },
        { "a last piece filling the capacity", "abcdef", 3, { "abc", "def" } },
        { "line of exactly the capacity with its line feed", "abc\nd", 4, { "abc\n", "d" } },
        { "line crossing the first block boundary", std::string(4090, 'a') + "\n" + std::string(20, 'b') + "\nc",
            8000, { std::string(4090, 'a') + "\n", std::string(20, 'b') + "\n", "c" } },
        { "line longer than a block", std::string(9000, 'x') + "\ny", 10000,
            { std::string(9000, 'x') + "\n", "y" } },
        { "block boundary right after a line feed", std::string(4095, 'a') + "\nb", 8000,
            { std::string(4095, 'a') + "\n", "b" } },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(readAllLines(row.text, row.capacity), row.lines);
    }

    // Capacity 0 returns the destination untouched.
    MemoryStream* stream = createMemoryStream("abc", 3).leakRef();
    auto reader = createLineReader(*stream);
    char buffer[4] = "xyz";
    EXPECT_EQ(reader->readLine(buffer, 0), buffer);
    EXPECT_STREQ(buffer, "xyz");
    EXPECT_EQ(reader->readLine(buffer, 4), buffer);
    EXPECT_STREQ(buffer, "abc");
    EXPECT_EQ(reader->readLine(buffer, 4), nullptr);
    stream->release();
}

}
}
