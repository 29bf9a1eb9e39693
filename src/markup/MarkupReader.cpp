#include <markup/MarkupReader.h>

#include <cstring>
#include <new>
#include <utility>

namespace nimbolt {

static constexpr int EndOfInput = MarkupStream::EndOfInput;

static bool isWhiteSpace(int c)
{
    return c == 9 || c == 10 || c == 13 || c == 32;
}
static bool isLetter(int c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
static bool isNameStart(int c)
{
    return isLetter(c) || c == '_' || c == ':';
}
static bool isNameCharacter(int c)
{
    return isLetter(c) || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == ':' || c == '_';
}
static bool endsBareWord(int c)
{
    return c == EndOfInput || isWhiteSpace(c) || c == '"' || c == '\'' || c == '/' || c == '<' || c == '='
        || c == '>' || c == '?';
}

MarkupReader::~MarkupReader()
{
    ::operator delete(m_buffer);
}

MarkupToken MarkupReader::readToken()
{
    if (m_failed)
        return {};
    if (m_heldCount > 0)
        return std::move(m_held[--m_heldCount]);
    MarkupToken token = m_mode == Mode::Content ? readContent() : readTag();
    if (m_failed)
        return {};
    return token;
}

void MarkupReader::pushBack(MarkupToken token)
{
    if (token.kind == MarkupTokenKind::None)
        return;
    if (m_heldCount == HeldCapacity) {
        // Not reached by the tree builder; failing beats losing a token silently.
        m_failed = true;
        return;
    }
    m_held[m_heldCount++] = std::move(token);
}

bool MarkupReader::grow()
{
    size_t capacity = m_capacity ? m_capacity * 2 : InitialBufferSize;
    // Token texts carry a 32-bit length.
    char* buffer
        = capacity <= INT32_MAX ? static_cast<char*>(::operator new(capacity, std::nothrow)) : nullptr;
    if (!buffer)
        return false;
    if (m_length > 0)
        std::memcpy(buffer, m_buffer, m_length);
    ::operator delete(m_buffer);
    m_buffer = buffer;
    m_capacity = capacity;
    return true;
}

// Once memory has run out the bytes of the current token are read but no longer kept, and the
// token is dropped by readToken.
void MarkupReader::append(int byte)
{
    if (m_length == m_capacity && (m_failed || !grow())) {
        m_failed = true;
        return;
    }
    m_buffer[m_length++] = static_cast<char>(byte);
}

MarkupToken MarkupReader::makeToken(MarkupTokenKind kind, size_t start, size_t end)
{
    if (m_failed)
        return {};
    const char* bytes = end > start ? m_buffer + start : nullptr;
    OwnedMarkupText text = MarkupText::create(bytes, static_cast<int32_t>(end - start));
    if (!text) {
        m_failed = true;
        return {};
    }
    return { kind, std::move(text) };
}

// The buffer holds a text run up to textEnd, then a reference or tag start whose name begins at
// nameStart. The text (if any) is returned now and the reference or tag start held for next.
MarkupToken MarkupReader::splitText(size_t textEnd, MarkupTokenKind kind, size_t nameStart)
{
    MarkupToken named = makeToken(kind, nameStart, m_length);
    if (textEnd == 0)
        return named;
    pushBack(std::move(named));
    return makeToken(MarkupTokenKind::Word, 0, textEnd);
}

MarkupToken MarkupReader::readContent()
{
    int c = next();
    while (isWhiteSpace(c))
        c = next();
    if (c == EndOfInput)
        return {};
    m_length = 0;
    while (c != EndOfInput) {
        size_t textEnd = m_length;
        if (c == '&') {
            append(c);
            c = next();
            if (isNameStart(c)) {
                size_t nameStart = m_length;
                do {
                    append(c);
                    c = next();
                } while (isNameCharacter(c));
                if (c == ';')
                    return splitText(textEnd, MarkupTokenKind::EntityRef, nameStart);
            }
        } else if (c == '<') {
            append(c);
            c = next();
            MarkupTokenKind kind = MarkupTokenKind::None;
            if (c == '!' || c == '?' || c == '/') {
                append(c);
                int d = next();
                if (isNameStart(d)) {
                    kind = c == '!' ? MarkupTokenKind::DeclStart
                        : c == '?'  ? MarkupTokenKind::PiStart
                                    : MarkupTokenKind::EndTagStart;
                }
                c = d;
            } else if (isNameStart(c)) {
                kind = MarkupTokenKind::StartTagStart;
            }
            if (kind != MarkupTokenKind::None) {
                size_t nameStart = m_length;
                do {
                    append(c);
                    c = next();
                } while (isNameCharacter(c));
                m_stream.unreadByte(c);
                m_mode = Mode::Tag;
                return splitText(textEnd, kind, nameStart);
            }
        } else {
            append(c);
            c = next();
            continue;
        }
        // A reference or tag start that did not complete stays text, including the byte that
        // ended the check; that byte does not start another check.
        if (c == EndOfInput)
            break;
        append(c);
        c = next();
    }
    return makeToken(MarkupTokenKind::Word, 0, m_length);
}

MarkupToken MarkupReader::readTag()
{
    int c = next();
    while (isWhiteSpace(c))
        c = next();
    m_length = 0;
    switch (c) {
    case EndOfInput:
        return {};
    case '"':
    case '\'': {
        int quote = c;
        for (c = next(); c != quote && c != EndOfInput; c = next())
            append(c);
        return makeToken(MarkupTokenKind::Word, 0, m_length);
    }
    case '/':
    case '?': {
        int d = next();
        if (d == '>') {
            m_mode = Mode::Content;
            return { c == '/' ? MarkupTokenKind::EmptyTagClose : MarkupTokenKind::PiClose, nullptr };
        }
        m_stream.unreadByte(d);
        return { MarkupTokenKind::StrayMark, nullptr };
    }
    case '>':
        m_mode = Mode::Content;
        return { MarkupTokenKind::TagClose, nullptr };
    case '<':
        m_stream.unreadByte(c);
        m_mode = Mode::Content;
        return { MarkupTokenKind::TagClose, nullptr };
    case '=':
        return { MarkupTokenKind::Equals, nullptr };
    default:
        do {
            append(c);
            c = next();
        } while (!endsBareWord(c));
        m_stream.unreadByte(c);
        return makeToken(MarkupTokenKind::Word, 0, m_length);
    }
}

}
