#pragma once

#include "accore/MemberDataType.h"

#include <string>

namespace ac {

// One member of a symbol in the memory image: name, byte offset and type.
struct SymbolMemberInfo
{
    std::string name;
    unsigned long long offset = 0;
    MemberDataType type;
    bool isFixedAddress() const { return !type.fixedAddr.empty(); }
};

} // namespace ac
