#include "accore/SymbolPOU.h"

#include <utility>

namespace ac {

SymbolPOU::SymbolPOU(std::string name, int pouKind)
    : SymbolDataType(std::move(name), BT_FB_INSTANCE, ST_POU), m_kind(pouKind)
{
}

} // namespace ac
