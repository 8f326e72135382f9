#include "accore/Symbol.h"

#include <utility>

namespace ac {

Symbol::Symbol(std::string name, int symbolType) : m_name(std::move(name)), m_symbolType(symbolType) {}

Symbol::~Symbol() = default;

std::vector<Symbol*> Symbol::chilren() const
{
    return {};
}

unsigned long long Symbol::memBitSize(bool) const
{
    return 0;
}

std::string upperName(const std::string& name)
{
    std::string key = name;
    for (char& c : key) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return key;
}

bool sameName(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z')
            x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z')
            y = static_cast<char>(y - 'a' + 'A');
        if (x != y)
            return false;
    }
    return true;
}

} // namespace ac
