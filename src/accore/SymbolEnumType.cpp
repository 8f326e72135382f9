#include "accore/SymbolEnumType.h"

#include <utility>

namespace ac {

SymbolEnumType::SymbolEnumType(std::string name, int baseType)
    : SymbolDataType(std::move(name), BT_ENUM), m_baseType(baseType)
{
}

bool SymbolEnumType::addEnumerator(const std::string& name, long long value)
{
    for (const Enumerator& e : m_values) {
        if (sameName(e.first, name))
            return false;
    }
    m_values.emplace_back(name, value);
    return true;
}

std::string SymbolEnumType::key(long long value, bool& ok) const
{
    for (const Enumerator& e : m_values) {
        if (e.second == value) {
            ok = true;
            return e.first;
        }
    }
    ok = false;
    return {};
}

long long SymbolEnumType::value(const std::string& text, bool& ok) const
{
    std::string key = text;
    const size_t hash = key.find('#');
    if (hash != std::string::npos) {
        // "E_State#Idle": the prefix must name this type.
        if (!sameName(key.substr(0, hash), name())) {
            ok = false;
            return 0;
        }
        key = key.substr(hash + 1);
    }
    for (const Enumerator& e : m_values) {
        if (sameName(e.first, key)) {
            ok = true;
            return e.second;
        }
    }
    ok = false;
    return 0;
}

unsigned long long SymbolEnumType::byteSize() const
{
    return elementaryByteSize(m_baseType == BT_ENUM ? BT_INT : m_baseType);
}

unsigned SymbolEnumType::alignment() const
{
    return static_cast<unsigned>(byteSize());
}

unsigned long long SymbolEnumType::memBitSize(bool) const
{
    return byteSize() * 8;
}

} // namespace ac
