#pragma once

#include "accore/SymbolDataType.h"

#include <string>
#include <utility>
#include <vector>

namespace ac {

// An enumeration: named values of a signed 16-bit integer (or of the base type named in
// the declaration). Values without ":=" continue from the one before (the first is 0).
class SymbolEnumType : public SymbolDataType
{
public:
    explicit SymbolEnumType(std::string name, int baseType = BT_INT);

    using Enumerator = std::pair<std::string, long long>;

    // False when the name is taken already.
    bool addEnumerator(const std::string& name, long long value);
    const std::vector<Enumerator>& enumerators() const { return m_values; }
    int baseType() const { return m_baseType; }

    // Name of the first enumerator with `value`; `ok` false (and "") when none has it.
    std::string key(long long value, bool& ok) const;
    // Value of the enumerator named `text` (case-insensitive; "E#A" accepted); `ok` false when unknown.
    long long value(const std::string& text, bool& ok) const;

    unsigned long long byteSize() const override;
    unsigned alignment() const override;
    unsigned long long memBitSize(bool valueBits = false) const override;

private:
    int m_baseType;
    std::vector<Enumerator> m_values;
};

} // namespace ac
