#include "accore/SymbolSubrangeType.h"

#include <utility>

namespace ac {

SymbolSubrangeType::SymbolSubrangeType(std::string name, int baseType, long long low, long long high)
    : SymbolDataType(std::move(name), baseType), m_low(low), m_high(high)
{
}

bool SymbolSubrangeType::integerRange(long long& low, unsigned long long& high) const
{
    low = m_low;
    high = m_high < 0 ? 0 : static_cast<unsigned long long>(m_high);
    return true;
}

} // namespace ac
