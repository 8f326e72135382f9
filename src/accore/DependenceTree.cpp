#include "accore/DependenceTree.h"

#include "accore/SymbolDataType.h"
#include "accore/SymbolGVL.h"
#include "accore/SymbolPOU.h"
#include "accore/SymbolVariable.h"
#include "accore/internal/SymbolTable.h"

namespace ac {

namespace {
// The named user type behind a variable's type (arrays look through to their element);
// null for elementary, string and pointer types, which need no declaration of their own.
const SymbolDataType* declaredType(const SymbolDataType* type)
{
    while (type && type->isArray())
        type = type->elementType();
    if (!type)
        return nullptr;
    if (type->isStruct() || type->isEnum() || type->isFunctionBlock())
        return type;
    return nullptr;
}

void collect(const VarContainer& container, int depth, std::map<std::string, int>& depends)
{
    if (depth > 64)
        return;
    for (const auto& variable : container) {
        const SymbolDataType* type = declaredType(variable->dataType());
        if (!type)
            continue;
        const auto it = depends.find(type->name());
        if (it != depends.end() && it->second <= depth)
            continue;
        depends[type->name()] = depth;
        collect(*type, depth + 1, depends);
    }
}
} // namespace

bool DependenceTree::getDecDependence(const std::string& name, std::map<std::string, int>& depends) const
{
    if (!m_table)
        return false;
    const VarContainer* container = m_table->dataType(name).get();
    if (!container)
        container = m_table->pou(name).get();
    if (!container)
        container = m_table->gvl(name);
    if (!container)
        return false;
    collect(*container, 1, depends);
    return true;
}

} // namespace ac
