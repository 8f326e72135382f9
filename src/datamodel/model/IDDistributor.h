#pragma once

#include "datamodel/model/DatamodelExport.h"
#include "datamodel/model/BitMap.h"

// Hands out object identifiers 0 .. maximum of one sub-model: one bit per identifier (set =
// taken) and a cursor where the search for a free identifier starts. The cursor follows
// releases downwards, so a released identifier is handed out again by the next allocation.
class DATAMODEL_EXPORT IDDistributor
{
public:
    static constexpr unsigned int INVALID_ID = 0xFFFFFFFFu;

    IDDistributor();                       // no identifiers until reset(max)
    explicit IDDistributor(unsigned int max);
    IDDistributor(unsigned int max, const char* bits, unsigned int byteCount);

    void reset(unsigned int max);
    void reset();

    bool isUsed(unsigned int id) const;
    void setUsed(unsigned int id, bool used);

    // The first free identifier at or after the cursor (INVALID_ID when none); moves the
    // cursor there. The spelling is the interface's own.
    unsigned int fistUnusd();
    // fistUnusd() and marks the identifier taken.
    unsigned int takenId();

    unsigned int maxId() const { return m_map.bitCount() - 1u; }
    unsigned int size() const { return m_map.byteSize(); }
    char* data() const { return const_cast<char*>(m_map.data()); }
    unsigned int cursor() const { return m_cursor; }

private:
    BitMap m_map;
    unsigned int m_cursor = INVALID_ID;
};
