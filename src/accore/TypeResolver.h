#pragma once

#include <memory>
#include <string>

namespace ac {

class SymbolDataType;

// What a variable container needs to turn a type text ("INT", "ARRAY[1..3] OF TON") into a
// type: implemented by the core's symbol table.
class TypeResolver
{
public:
    virtual ~TypeResolver() = default;
    // Null with `error` set when the text is not a known, valid type.
    virtual std::shared_ptr<SymbolDataType> resolveTypeText(const std::string& typeText, std::string& error) = 0;
};

} // namespace ac
