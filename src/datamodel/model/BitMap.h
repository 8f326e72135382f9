#pragma once

#include "datamodel/model/DatamodelExport.h"

#include <cstdint>
#include <vector>

// A fixed number of bits in 32-bit words; bit i is bit (i mod 32) of word (i / 32).
// The storage always holds (bitCount + 32) / 32 words, so a multiple of 32 bits gets a spare
// word; the word capacity starts at 1 and doubles until it suffices.
class DATAMODEL_EXPORT BitMap
{
public:
    explicit BitMap(unsigned int bitCount = 0);
    // Copies min(length, storage bytes) bytes of `data`; the rest stays clear.
    BitMap(unsigned int bitCount, const char* data, unsigned int length);

    // Resizes to `bitCount` bits and clears every bit.
    void reset(unsigned int bitCount);
    // Grows to `bitCount` bits keeping the content; never shrinks.
    void reallocMap(unsigned int bitCount);

    // Sets or clears bits first .. first + count - 1; nothing when count is 0 or the range
    // passes the bit count.
    void set(unsigned int first, unsigned int count, bool value);
    bool value(unsigned int bit) const;
    void toggle(unsigned int bit);

    unsigned int bitCount() const { return m_bitCount; }
    unsigned int wordCount() const { return wordsFor(m_bitCount); }
    unsigned int byteSize() const { return m_byteSize; }
    unsigned int wordCapacity() const { return m_capacity; }
    uint32_t word(unsigned int index) const { return m_words[index]; }
    const char* data() const { return reinterpret_cast<const char*>(m_words.data()); }
    char* data() { return reinterpret_cast<char*>(m_words.data()); }

private:
    static unsigned int wordsFor(unsigned int bitCount) { return (bitCount + 32u) / 32u; }
    void ensureCapacity(unsigned int words);

    unsigned int m_bitCount = 0;
    unsigned int m_byteSize = 0;
    unsigned int m_capacity = 1;
    std::vector<uint32_t> m_words = std::vector<uint32_t>(1, 0u); // m_capacity words
};
