#pragma once

#include <string>

namespace ac {

// An IEC identifier: a letter or "_" first, then letters, digits and "_" (no "__").
inline bool isIdentifier(const std::string& text)
{
    if (text.empty() || text.size() > 512)
        return false;
    auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (!letter(text[0]) && text[0] != '_')
        return false;
    for (size_t i = 1; i < text.size(); ++i) {
        const char c = text[i];
        if (!letter(c) && !digit(c) && c != '_')
            return false;
    }
    return true;
}

} // namespace ac
