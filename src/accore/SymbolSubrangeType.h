#pragma once

#include "accore/SymbolDataType.h"

#include <string>

namespace ac {

// An integer type restricted to a range of values: "TYPE Percent : INT (0..100); END_TYPE"
// or "level : USINT (1..9);". Size and code are those of the base type; integerRange() is
// the declared range, so every initial value check keeps to it.
class SymbolSubrangeType : public SymbolDataType
{
public:
    SymbolSubrangeType(std::string name, int baseType, long long low, long long high);

    long long low() const { return m_low; }
    long long high() const { return m_high; }

    bool integerRange(long long& low, unsigned long long& high) const override;

private:
    long long m_low;
    long long m_high;
};

} // namespace ac
