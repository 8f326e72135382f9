#include "datamodel/model/BitMap.h"

#include <algorithm>
#include <cstring>

BitMap::BitMap(unsigned int bitCount)
{
    reset(bitCount);
}

BitMap::BitMap(unsigned int bitCount, const char* data, unsigned int length)
{
    reset(bitCount);
    if (data)
        std::memcpy(m_words.data(), data, std::min(length, m_byteSize));
}

void BitMap::ensureCapacity(unsigned int words)
{
    unsigned int capacity = m_capacity;
    while (capacity < words)
        capacity *= 2;
    if (capacity != m_capacity) {
        m_words.resize(capacity, 0u);
        m_capacity = capacity;
    }
}

void BitMap::reset(unsigned int bitCount)
{
    m_bitCount = bitCount;
    ensureCapacity(wordsFor(bitCount));
    m_byteSize = wordsFor(bitCount) * 4u;
    std::fill(m_words.begin(), m_words.end(), 0u);
}

void BitMap::reallocMap(unsigned int bitCount)
{
    if (bitCount <= m_bitCount)
        return;
    ensureCapacity(wordsFor(bitCount));
    m_bitCount = bitCount;
    m_byteSize = wordsFor(bitCount) * 4u;
}

void BitMap::set(unsigned int first, unsigned int count, bool value)
{
    if (count == 0 || first >= m_bitCount || count > m_bitCount - first)
        return;
    for (unsigned int bit = first; bit < first + count; ++bit) {
        const uint32_t mask = 1u << (bit % 32u);
        if (value)
            m_words[bit / 32u] |= mask;
        else
            m_words[bit / 32u] &= ~mask;
    }
}

bool BitMap::value(unsigned int bit) const
{
    if (bit >= m_bitCount)
        return false;
    return (m_words[bit / 32u] >> (bit % 32u)) & 1u;
}

void BitMap::toggle(unsigned int bit)
{
    set(bit, 1, !value(bit));
}
