// The markup tokenizer. It reads a MarkupStream in one of two modes: content mode (text, `&name;`
// references and the starts of tags) and tag mode (words, quoted values, "=" and the tag ends).
// A tag start switches to tag mode, a tag end (or the "<" of a following tag) back to content.
// Text is collected in one buffer that grows as needed, so a token is always kept whole (up to
// 1 GiB; beyond that the reader fails). Tokens read but not yet used wait on a small stack: the
// one that follows a text run in content mode and those the tree builder gives back (the builder
// never makes it hold more than two).
#pragma once

#include <markup/MarkupStream.h>
#include <markup/MarkupText.h>

#include <cstddef>
#include <cstdint>

namespace nimbolt {

enum class MarkupTokenKind : int32_t {
    None = 0, // end of input
    PiStart = 1, // "<?name"; the name
    DeclStart = 2, // "<!name"; the name
    EndTagStart = 3, // "</name"; the name
    StartTagStart = 4, // "<name"; the name
    EntityRef = 5, // "&name;"; the name
    Word = 6, // text in content; a bare word or a quoted value (without quotes) in a tag
    Equals = 8, // "=" in a tag
    EmptyTagClose = 9, // "/>"
    PiClose = 10, // "?>"
    TagClose = 11, // ">", or the "<" of a following tag
    StrayMark = 12, // "/" or "?" in a tag not followed by ">"
};

struct MarkupToken {
    MarkupTokenKind kind { MarkupTokenKind::None };
    OwnedMarkupText text; // only for tag starts, references and words
};

class MarkupReader {
public:
    explicit MarkupReader(MarkupStream& stream)
        : m_stream(stream)
    {
    }
    ~MarkupReader();
    MarkupReader(const MarkupReader&) = delete;
    MarkupReader& operator=(const MarkupReader&) = delete;

    // The next token; None at the end of input and from the moment memory ran out.
    MarkupToken readToken();
    // Gives a token back to the next readToken.
    void pushBack(MarkupToken token);
    // True once memory ran out, here or in the caller (markFailed); the reader then gives no more
    // tokens.
    bool failed() const { return m_failed; }
    void markFailed() { m_failed = true; }

private:
    enum class Mode { Content, Tag };
    static constexpr int HeldCapacity = 3;
    static constexpr size_t InitialBufferSize = 1024;

    MarkupToken readContent();
    MarkupToken readTag();
    MarkupToken splitText(size_t textEnd, MarkupTokenKind kind, size_t nameStart);
    MarkupToken makeToken(MarkupTokenKind kind, size_t start, size_t end);
    void append(int byte);
    bool grow();
    int next() { return m_stream.readByte(); }

    MarkupStream& m_stream;
    Mode m_mode { Mode::Content };
    MarkupToken m_held[HeldCapacity];
    int m_heldCount { 0 };
    char* m_buffer { nullptr };
    size_t m_length { 0 };
    size_t m_capacity { 0 };
    bool m_failed { false };
};

}
