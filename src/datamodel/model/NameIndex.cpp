#include "datamodel/model/NameIndex_p.h"

#include <QString>

#include <algorithm>

std::string NameIndex::key(const std::string& name)
{
    // Most names are ASCII: folding them is lowering their letters, without a detour through
    // UTF-16. A name with other characters may fold to ASCII (the Kelvin sign folds to 'k'),
    // which the full folding below gives as well.
    bool ascii = true;
    std::string folded = name;
    for (char& c : folded) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    if (ascii)
        return folded;
    return QString::fromStdString(name).toCaseFolded().toStdString();
}

void NameIndex::add(const std::string& name, unsigned int id)
{
    std::vector<unsigned int>& ids = m_ids[key(name)];
    auto at = std::lower_bound(ids.begin(), ids.end(), id);
    if (at == ids.end() || *at != id)
        ids.insert(at, id);
}

void NameIndex::remove(const std::string& name, unsigned int id)
{
    auto entry = m_ids.find(key(name));
    if (entry == m_ids.end())
        return;
    std::vector<unsigned int>& ids = entry->second;
    auto at = std::lower_bound(ids.begin(), ids.end(), id);
    if (at != ids.end() && *at == id)
        ids.erase(at);
    if (ids.empty())
        m_ids.erase(entry);
}

const std::vector<unsigned int>& NameIndex::candidates(const std::string& name) const
{
    static const std::vector<unsigned int> none;
    auto entry = m_ids.find(key(name));
    return entry == m_ids.end() ? none : entry->second;
}
