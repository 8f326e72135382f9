#include "accore/SymbolGVL.h"

#include "accore/BasicDataType.h"

#include <utility>

namespace ac {

SymbolGVL::SymbolGVL(std::string name) : VarContainer(std::move(name), ST_GVL) {}

} // namespace ac
