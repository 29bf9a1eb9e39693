#include <script/language/KeywordTable.h>

#include <script/language/TokenKind.h>

#include <cstring>

namespace nimbolt {

const KeywordTable& KeywordTable::instance()
{
    static const KeywordTable table;
    return table;
}

int KeywordTable::bucketOf(const char* word, size_t length)
{
    int32_t sum = 0;
    for (size_t i = 0; i < length; ++i)
        sum += static_cast<signed char>(word[i]);
    int bucket = sum % BucketCount;
    // Reserved words and identifiers are ASCII, so the sum is never negative; keep any other
    // text inside the table all the same.
    return bucket < 0 ? bucket + BucketCount : bucket;
}

KeywordTable::KeywordTable()
{
    static constexpr struct {
        const char* text;
        int32_t kind;
    } words[KeywordCount] = {
        { "NaN", TokenKind::NaN },
        { "null", TokenKind::Null },
        { "undefined", TokenKind::Undefined },
        { "break", TokenKind::Break },
        { "continue", TokenKind::Continue },
        { "for", TokenKind::For },
        { "in", TokenKind::In },
        { "if", TokenKind::If },
        { "else", TokenKind::Else },
        { "return", TokenKind::Return },
        { "while", TokenKind::While },
        { "do", TokenKind::Do },
        { "function", TokenKind::Function },
        { "new", TokenKind::New },
        { "delete", TokenKind::Delete },
        { "this", TokenKind::This },
        { "var", TokenKind::Var },
        { "with", TokenKind::With },
        { "goto", TokenKind::Goto },
        { "switch", TokenKind::Switch },
        { "case", TokenKind::Case },
        { "default", TokenKind::Default },
    };
    for (int i = 0; i < KeywordCount; ++i) {
        int bucket = bucketOf(words[i].text, std::strlen(words[i].text));
        m_entries[i] = { m_buckets[bucket], words[i].text, words[i].kind };
        m_buckets[bucket] = &m_entries[i];
    }
}

int32_t KeywordTable::lookup(const char* word, size_t length) const
{
    for (const Entry* entry = m_buckets[bucketOf(word, length)]; entry; entry = entry->next) {
        if (std::strlen(entry->text) == length && std::memcmp(entry->text, word, length) == 0)
            return entry->kind;
    }
    return 0;
}

}
