#pragma once

#include "accore/VarContainer.h"

#include <string>

namespace ac {

// A global variable list: one or more VAR_GLOBAL sections under one name.
class SymbolGVL : public VarContainer
{
public:
    explicit SymbolGVL(std::string name);
};

} // namespace ac
