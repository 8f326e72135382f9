#pragma once

#include <memory>
#include <string>

namespace ac {

class SymbolDataType;
class SymbolVariable;

// What the memory image records about the type of one member: the fields of the layout
// file's member JSON. `child` describes an array's element or a pointer's target.
struct MemberDataType
{
    std::string typeName;
    unsigned long long byteSize = 0;
    int basicDataType = 0;
    int arraryRangeSize = 0;  // number of array dimensions
    std::string arraryRange;  // "1..10,0..3"; empty when no array
    std::shared_ptr<MemberDataType> child;
    int visitScope = 0;
    bool retain = false;
    bool constant = false;
    std::string fixedAddr;
    int bitAddr = 0;

    // From a type (and, when given, the variable that has it).
    static MemberDataType fromType(const SymbolDataType& type, const SymbolVariable* variable = nullptr);
};

} // namespace ac
