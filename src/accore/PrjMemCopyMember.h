#pragma once

#include <string>

namespace ac {

// One copy instruction of an online change: the value of a member survives by moving
// `byteSize` bytes from its old offset to its new one inside the symbol's memory.
struct PrjMemCopyMember
{
    std::string symbolName;
    std::string memberName;
    unsigned long long oldOffset = 0;
    unsigned long long newOffset = 0;
    unsigned long long byteSize = 0;
};

} // namespace ac
