#include "datamodel/model/IDDistributor.h"

IDDistributor::IDDistributor() : m_map(0) {}

IDDistributor::IDDistributor(unsigned int max) : m_map(max + 1u) {}

IDDistributor::IDDistributor(unsigned int max, const char* bits, unsigned int byteCount)
    : m_map(max + 1u, bits, byteCount)
{
}

void IDDistributor::reset(unsigned int max)
{
    m_map.reset(max + 1u);
    m_cursor = INVALID_ID;
}

void IDDistributor::reset()
{
    reset(maxId());
}

bool IDDistributor::isUsed(unsigned int id) const
{
    return m_map.value(id);
}

void IDDistributor::setUsed(unsigned int id, bool used)
{
    // An identifier outside the map must not move the cursor either: a cursor beyond the
    // maximum would stop every later allocation.
    if (id >= m_map.bitCount())
        return;
    m_map.set(id, 1, used);
    if (!used) {
        if (m_cursor > id)
            m_cursor = id;
    } else if (m_cursor == id) {
        m_cursor = id + 1u;
    }
}

unsigned int IDDistributor::fistUnusd()
{
    const unsigned int start = m_cursor == INVALID_ID ? 0u : m_cursor;
    const unsigned int words = m_map.wordCount();
    for (unsigned int w = start / 32u; w < words; ++w) {
        uint32_t free = ~m_map.word(w);
        if (w == start / 32u)
            free &= ~0u << (start % 32u); // only bits at or above the start count in its word
        if (free == 0)
            continue;
        unsigned int bit = 0;
        while (!((free >> bit) & 1u))
            ++bit;
        const unsigned int id = w * 32u + bit;
        if (m_map.bitCount() == 0 || id > maxId())
            return INVALID_ID;
        m_cursor = id;
        return id;
    }
    return INVALID_ID;
}

unsigned int IDDistributor::takenId()
{
    const unsigned int id = fistUnusd();
    if (id != INVALID_ID)
        setUsed(id, true);
    return id;
}
