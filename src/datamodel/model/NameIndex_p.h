#pragma once

#include <string>
#include <unordered_map>
#include <vector>

// The ids of a sub-model's objects by name, so that a lookup by name costs the same in a
// project of ten objects and of a hundred thousand. Names are keyed by their Unicode case
// folding, the coarsest comparison any lookup of the models makes (case-insensitive for POUs
// and data types, ASCII letters only for global variable lists, exact for adds of old):
// every object that a lookup may accept is among the ids of its key, and the lookup keeps
// those that its own comparison accepts. Several objects may share a key (rows of an older
// file); their ids are kept in ascending order, so "the first in id order" is the first one
// that matches.
class NameIndex
{
public:
    // The key of a name: its Unicode case folding, as UTF-8.
    static std::string key(const std::string& name);

    void add(const std::string& name, unsigned int id);
    void remove(const std::string& name, unsigned int id);
    void clear() { m_ids.clear(); }

    // The ids whose names share the key of `name`, ascending; empty when none.
    const std::vector<unsigned int>& candidates(const std::string& name) const;

private:
    std::unordered_map<std::string, std::vector<unsigned int>> m_ids;
};
