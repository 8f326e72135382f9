#pragma once

#include <string>

namespace ac {

// One memory area of the device as the linker sees it.
struct MemUnit
{
    std::string name;               // "input", "output", "memory", "general", "retian", "code", "stack"
    unsigned long long byteSize = 0;
};

} // namespace ac
