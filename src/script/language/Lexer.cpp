#include <script/language/Lexer.h>

#include <script/language/KeywordTable.h>
#include <script/language/TokenKind.h>

#include <base/HexDigit.h>

#include <script/runtime/ScriptString.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

namespace nimbolt {

static constexpr const char* SingleOperators = "~!^&|()[]{}+-*/%<=>?:;,.";

// Tried in this order, so that the longest operator wins; kind = 300 + place.
static constexpr const char* MultiOperators[] = {
    ">>>=", "<<=", ">>=", ">>>", ">>", "<<", "==", "!=", "<=", ">=", "&&",
    "||", "--", "++", "+=", "-=", "%=", "*=", "/=", "&=", "|=", "^=",
};

static bool isDigit(char c) { return c >= '0' && c <= '9'; }
static bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
static bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
static bool isLeadByte(char c)
{
    auto byte = static_cast<uint8_t>(c);
    return (byte >= 0x81 && byte <= 0x9F) || byte >= 0xE0;
}

RefPtr<Lexer> createLexer(std::unique_ptr<LineReader> reader, AtomTable& atoms, TextOrigin origin)
{
    if (!reader)
        return nullptr;
    KeywordTable::instance();
    return adoptRef(new (std::nothrow) Lexer(std::move(reader), atoms, origin));
}

bool Lexer::findTokenStart()
{
    for (;;) {
        if (m_line[m_position] == 0) {
            ++m_lineCount;
            if (!m_reader->readLine(m_line, LineCapacity))
                return false;
            m_position = 0;
        }
        if (m_commentOpen) {
            const char* close = nullptr;
            for (const char* p = m_line + m_position; *p; ++p) {
                if (p[0] == '*' && p[1] == '/') {
                    close = p;
                    break;
                }
            }
            if (!close) {
                m_position += static_cast<int32_t>(std::strlen(m_line + m_position));
                continue;
            }
            m_position = static_cast<int32_t>(close - m_line) + 2;
            m_commentOpen = false;
            continue;
        }
        while (isSpace(m_line[m_position]))
            ++m_position;
        char c = m_line[m_position];
        if (c == 0)
            continue;
        if (c == '/' && m_line[m_position + 1] == '*') {
            m_commentOpen = true;
            m_position += 2;
            continue;
        }
        if (c == '/' && m_line[m_position + 1] == '/') {
            m_line[m_position] = 0;
            continue;
        }
        return true;
    }
}

int32_t Lexer::nextToken(CodeNode& token)
{
    ScriptValue value { static_cast<ValueTag>(TokenKind::EndOfInput), { .bits = 0 } };
    int32_t kind = TokenKind::EndOfInput;
    if (findTokenStart()) {
        char c = m_line[m_position];
        if (isDigit(c))
            kind = scanNumber(value);
        else if (std::strchr(SingleOperators, c))
            kind = scanOperator();
        else if (isLetter(c))
            kind = scanWord(value);
        else if (c == '"' || c == '\'')
            kind = scanString(value);
        else {
            kind = TokenKind::InvalidToken;
            ++m_position;
        }
    }
    value.tag = static_cast<ValueTag>(kind);
    token.token = value;
    token.line = m_lineCount;
    return kind;
}

int32_t Lexer::scanNumber(ScriptValue& value)
{
    const char* start = m_line + m_position;
    char* end = nullptr;
    long integer = std::strtol(start, &end, 0);
    if (*end == '.') {
        // Decimal only and independent of the process's locale: a real literal is digits, a point,
        // digits and an optional exponent, whatever number format the desktop uses.
        double real = 0;
        const char* last = start + std::strlen(start);
        auto [stop, error] = std::from_chars(start, last, real, std::chars_format::general);
        if (error == std::errc::result_out_of_range) {
            // Too large gives infinity and too small gives 0, as the C library's conversion does.
            const char* exponent = std::find_if(start, stop, [](char c) { return c == 'e' || c == 'E'; });
            bool tiny = exponent != stop && exponent + 1 != stop && exponent[1] == '-';
            real = tiny ? 0.0 : HUGE_VAL;
        }
        value.payload.real = real;
        m_position = static_cast<int32_t>(stop - m_line);
        return TokenKind::RealLiteral;
    }
    // long may be wider than 32 bits; saturate where a 32-bit strtol would.
    if (integer > INT32_MAX)
        integer = INT32_MAX;
    value.payload.integer = static_cast<int32_t>(integer);
    m_position = static_cast<int32_t>(end - m_line);
    return TokenKind::IntegerLiteral;
}

int32_t Lexer::scanOperator()
{
    const char* start = m_line + m_position;
    int32_t place = 0;
    for (const char* text : MultiOperators) {
        size_t length = std::strlen(text);
        if (std::strncmp(start, text, length) == 0) {
            m_position += static_cast<int32_t>(length);
            return TokenKind::UnsignedShiftRightAssign + place;
        }
        ++place;
    }
    ++m_position;
    return static_cast<unsigned char>(*start);
}

int32_t Lexer::scanWord(ScriptValue& value)
{
    const char* start = m_line + m_position;
    const char* end = start + 1;
    while (isLetter(*end) || isDigit(*end))
        ++end;
    m_position = static_cast<int32_t>(end - m_line);
    auto length = static_cast<size_t>(end - start);
    if (int32_t keyword = KeywordTable::instance().lookup(start, length))
        return keyword;
    value.payload.integer = m_atoms->intern(start, length);
    return TokenKind::Identifier;
}

int32_t Lexer::scanString(ScriptValue& value)
{
    char quote = m_line[m_position++];
    char decoded[LineCapacity + 1];
    int32_t length = 0;
    for (;;) {
        char c = m_line[m_position];
        if (c == 0)
            return TokenKind::InvalidToken;
        ++m_position;
        if (c == quote)
            break;
        // In a text converted from UTF-8 a double-byte character is copied whole: its second byte
        // may be a backslash (0x5C in "ソ" or "表") that escapes nothing there.
        if (m_origin == TextOrigin::ConvertedUtf8 && isLeadByte(c) && m_line[m_position] != 0) {
            decoded[length++] = c;
            decoded[length++] = m_line[m_position++];
            continue;
        }
        if (c != '\\') {
            decoded[length++] = c;
            continue;
        }
        char escape = m_line[m_position];
        if (escape == 0)
            return TokenKind::InvalidToken;
        ++m_position;
        switch (escape) {
        case 'a':
            c = 7;
            break;
        case 'b':
            c = 8;
            break;
        case 'f':
            c = 12;
            break;
        case 'n':
            c = 10;
            break;
        case 'r':
            c = 13;
            break;
        case 't':
            c = 9;
            break;
        case 'v':
            c = 11;
            break;
        case 'x': {
            // Two bytes always follow; the line's end inside them leaves the literal unterminated.
            char high = m_line[m_position];
            if (high == 0)
                return TokenKind::InvalidToken;
            char low = m_line[m_position + 1];
            if (low == 0) {
                ++m_position;
                return TokenKind::InvalidToken;
            }
            m_position += 2;
            c = static_cast<char>(hexDigitValue(high) * 16 + hexDigitValue(low));
            break;
        }
        case '0':
        case '1':
        case '2':
        case '3':
            if (isDigit(m_line[m_position]) && isDigit(m_line[m_position + 1])) {
                int code = (escape - '0') * 64 + (m_line[m_position] - '0') * 8 + (m_line[m_position + 1] - '0');
                c = static_cast<char>(code % 256);
                m_position += 2;
            } else {
                c = 0;
            }
            break;
        default:
            c = escape;
            break;
        }
        decoded[length++] = c;
    }
    RefPtr<ScriptString> string = createString(decoded, length);
    // A string that memory cannot hold must not become a literal without a string.
    if (!string)
        return TokenKind::InvalidToken;
    value = makeStringValue(string.releaseNonNull());
    return TokenKind::StringLiteral;
}

}
