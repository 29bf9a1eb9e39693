// The process-wide table of the 22 reserved words: 257 buckets chained by the signed byte sum of
// the word. Built once, on first use, from static storage and never freed; lookups compare
// whole words, case-sensitively.
#pragma once

#include <cstddef>
#include <cstdint>

namespace nimbolt {

class KeywordTable {
public:
    static constexpr int BucketCount = 257;
    static constexpr int KeywordCount = 22;

    // The table, built on the first call.
    static const KeywordTable& instance();

    // The token kind of the reserved word, or 0 when the word is not reserved.
    int32_t lookup(const char* word, size_t length) const;

    static int bucketOf(const char* word, size_t length);

private:
    struct Entry {
        const Entry* next;
        const char* text;
        int32_t kind;
    };

    KeywordTable();

    Entry m_entries[KeywordCount];
    const Entry* m_buckets[BucketCount] {};
};

}
