#pragma once

#include <map>
#include <string>

namespace ac {

class SymbolTable;

// Which declarations a declaration needs: the types of its variables, their element,
// member and base types, transitively. Computed from the core's current symbols.
class DependenceTree
{
public:
    explicit DependenceTree(const SymbolTable* table) : m_table(table) {}

    // Fills `depends` with the name of every user type that `name` (a type, POU or global
    // list) depends on, mapped to its depth (1 = used directly). False when `name` is unknown.
    bool getDecDependence(const std::string& name, std::map<std::string, int>& depends) const;

private:
    const SymbolTable* m_table; // the core's table; outlives this tree
};

} // namespace ac
