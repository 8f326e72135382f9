#pragma once

#include "accore/PrjMemCopyMember.h"
#include "accore/SymbolMemberInfo.h"

#include <string>
#include <vector>

namespace ac {

// The memory layout of one symbol (a type, list or POU) and its section code
// (0 enumeration, 1 structure, 2 global list, 3 function, 4 function block, 5 program).
struct PrjMemSymbolInfo
{
    int section = 0;
    std::string name;
    std::vector<SymbolMemberInfo> members;
};

// What the memory image hands the core after comparing layouts: the new layout of every
// symbol and the copies that keep values across an online change.
struct PrjMemAllSymbolInfo
{
    std::vector<PrjMemSymbolInfo> symbols;
    std::vector<PrjMemCopyMember> copies;
};

} // namespace ac
