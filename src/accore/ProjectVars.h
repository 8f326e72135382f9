#pragma once

#include <memory>
#include <string>
#include <vector>

namespace ac {

class SymbolGVL;
class TypeResolver;

// The controller's internal variables that every user project sees (cycle counters,
// system time, error word), gathered in one list symbol.
class ProjectVars
{
public:
    explicit ProjectVars(TypeResolver* resolver);
    ~ProjectVars();

    std::vector<std::string> projectInternaleVar() const; // names, in declaration order
    SymbolGVL* internalSymbolVars() const;

private:
    std::unique_ptr<SymbolGVL> m_vars;
};

} // namespace ac
