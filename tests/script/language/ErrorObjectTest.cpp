// Every error code has its message, every other code says "some error", and errors carry the
// line they were made with and column 0.
#include <script/language/ErrorObject.h>

#include <gtest/gtest.h>

#include <string>

namespace nimbolt::test {
namespace {

TEST(ErrorObject, EachCodeHasItsMessage)
{
    struct Row {
        int32_t code;
        const char* message;
    };
    const Row rows[] = {
        { -1000, "some error" },
        // No script makes this one; the script tests show the others with their lines.
        { -1002, "stack underflow" },
        { -1012, "break mismatch" },
        { -1013, "script ran too long" },
        { -1014, "out of memory" },
        // Codes outside the table.
        { -1, "some error" },
        { 0, "some error" },
        { -999, "some error" },
        { -1015, "some error" },
        { INT32_MIN, "some error" },
    };
    for (const Row& row : rows) {
        ErrorObject* error = makeError(12, 0, row.code);
        ASSERT_NE(error, nullptr);
        int32_t code = 0;
        const char* message = nullptr;
        error->getError(code, message);
        EXPECT_EQ(code, row.code);
        EXPECT_EQ(std::string(message), row.message) << "code " << row.code;
        int32_t line = -1;
        int32_t column = -1;
        error->getPosition(line, column);
        EXPECT_EQ(line, 12);
        EXPECT_EQ(column, 0);
        EXPECT_EQ(error->refCount(), 1);
        error->release();
    }
}

}
}
