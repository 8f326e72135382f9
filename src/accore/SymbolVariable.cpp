#include "accore/SymbolVariable.h"

#include "accore/InitValueTree.h"
#include "accore/SymbolDataType.h"
#include "accore/VarContainer.h"

#include <utility>

namespace ac {

SymbolVariable::SymbolVariable(std::string name, std::shared_ptr<SymbolDataType> type, int scope)
    : Symbol(std::move(name), ST_VARIABLE), m_type(std::move(type)), m_scope(scope)
{
}

SymbolVariable::~SymbolVariable() = default;

void SymbolVariable::setFixedAddress(const std::string& text, const HeapAddress& address)
{
    m_addressText = text;
    m_address = address;
}

void SymbolVariable::setInitValue(std::unique_ptr<InitValueTree> init)
{
    m_init = std::move(init);
}

unsigned long long SymbolVariable::backendAddress() const
{
    if (isFixedAddress())
        return m_address.byteOffset;
    const auto* container = dynamic_cast<const VarContainer*>(parent());
    return container ? container->offsetOf(this) : 0;
}

unsigned long long SymbolVariable::memBitSize(bool valueBits) const
{
    if (!m_type)
        return 0;
    if (m_scope == VS_INOUT && !valueBits)
        return 32; // a reference
    return m_type->memBitSize(valueBits);
}

std::vector<Symbol*> SymbolVariable::chilren() const
{
    // The members of a structured variable are its type's members.
    return m_type ? m_type->chilren() : std::vector<Symbol*>{};
}

} // namespace ac
