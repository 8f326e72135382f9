#include "accore/ConstantValue.h"

#include <cctype>
#include <utility>

namespace ac {

namespace {
using u128 = unsigned __int128;

// Nanoseconds per unit, days first, and the limit of every unit that follows a larger one.
constexpr unsigned long long kUnitNs[7] = {86400000000000ull, 3600000000000ull, 60000000000ull, 1000000000ull,
                                           1000000ull, 1000ull, 1ull};
constexpr unsigned long long kUnitLimit[7] = {0, 24, 60, 60, 1000, 1000, 1000};
constexpr u128 kCap = static_cast<u128>(1) << 100; // far above any 64-bit time; keeps arithmetic exact

// A decimal number with an optional fraction and "_" separators, in units of 1e-9 of the
// whole (so "1.5" is 1500000000). False when the text is no such number.
bool parseDecimal(const char* text, u128& nanoUnits)
{
    u128 whole = 0;
    u128 fraction = 0;
    u128 scale = 1000000000u;
    bool digits = false;
    bool inFraction = false;
    for (const char* p = text; *p; ++p) {
        const char c = *p;
        if (c == '_')
            continue;
        if (c == '.' && !inFraction) {
            inFraction = true;
            continue;
        }
        if (c < '0' || c > '9')
            return false;
        digits = true;
        if (!inFraction) {
            whole = whole * 10 + static_cast<unsigned>(c - '0');
            if (whole > kCap)
                whole = kCap;
        } else if (scale > 1) {
            scale /= 10;
            fraction += scale * static_cast<unsigned>(c - '0');
        }
    }
    if (!digits)
        return false;
    nanoUnits = whole * 1000000000u + fraction;
    return true;
}

std::unique_ptr<ConstantValue> fromComponents(SourceLocation at, const char* const parts[7], bool ltime)
{
    u128 total = 0;
    bool any = false;
    for (int i = 0; i < 7; ++i) {
        if (!parts[i])
            continue;
        u128 value = 0;
        if (!parseDecimal(parts[i], value))
            return nullptr;
        // Only the leading component may exceed its unit: "T#25h" is fine, "T#1d25h" is not.
        if (any && value >= static_cast<u128>(kUnitLimit[i]) * 1000000000u)
            return nullptr;
        any = true;
        total += value / 1000000000u * kUnitNs[i] + value % 1000000000u * kUnitNs[i] / 1000000000u;
        if (total > kCap)
            total = kCap;
    }
    if (!any)
        return nullptr;
    if (ltime) {
        const bool overflow = total > static_cast<u128>(~0ull);
        return std::make_unique<ConstantValue>(BT_LTIME, BasicData(static_cast<unsigned long long>(total)), overflow,
                                               at);
    }
    const u128 ms = total / 1000000u;
    const bool overflow = ms > 0xFFFFFFFFu;
    return std::make_unique<ConstantValue>(BT_TIME, BasicData(static_cast<unsigned long long>(ms) & 0xFFFFFFFFull),
                                           overflow, at);
}
} // namespace

ConstantValue::ConstantValue(int basicType, BasicData data, bool overflow, SourceLocation at)
    : m_type(basicType), m_data(data), m_overflow(overflow), m_at(at)
{
}

std::unique_ptr<ConstantValue> ConstantValue::fromTime(SourceLocation at, const char* days, const char* hours,
                                                       const char* minutes, const char* seconds,
                                                       const char* milliseconds)
{
    const char* parts[7] = {days, hours, minutes, seconds, milliseconds, nullptr, nullptr};
    return fromComponents(at, parts, false);
}

std::unique_ptr<ConstantValue> ConstantValue::fromLTime(SourceLocation at, const char* days, const char* hours,
                                                        const char* minutes, const char* seconds,
                                                        const char* milliseconds, const char* microseconds,
                                                        const char* nanoseconds)
{
    const char* parts[7] = {days, hours, minutes, seconds, milliseconds, microseconds, nanoseconds};
    return fromComponents(at, parts, true);
}

std::unique_ptr<ConstantValue> ConstantValue::fromTimeLiteral(const std::string& text, SourceLocation at)
{
    const size_t hash = text.find('#');
    if (hash == std::string::npos || text.size() > 256)
        return nullptr;
    std::string prefix = text.substr(0, hash);
    for (char& c : prefix)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    bool ltime = false;
    if (prefix == "LT" || prefix == "LTIME")
        ltime = true;
    else if (prefix != "T" && prefix != "TIME")
        return nullptr;

    static const char* const units[7] = {"D", "H", "M", "S", "MS", "US", "NS"};
    std::string numbers[7];
    bool present[7] = {};
    int lastUnit = -1;
    size_t i = hash + 1;
    if (i >= text.size())
        return nullptr;
    while (i < text.size()) {
        if (text[i] == '_') {
            ++i;
            continue;
        }
        std::string number;
        while (i < text.size() && (std::isdigit(static_cast<unsigned char>(text[i])) || text[i] == '.' || text[i] == '_'))
            number += text[i++];
        std::string unit;
        while (i < text.size() && std::isalpha(static_cast<unsigned char>(text[i])))
            unit += static_cast<char>(std::toupper(static_cast<unsigned char>(text[i++])));
        if (number.empty() || unit.empty())
            return nullptr;
        int index = -1;
        for (int u = 0; u < 7; ++u) {
            if (unit == units[u])
                index = u;
        }
        // Units must come from the largest to the smallest, each at most once.
        if (index <= lastUnit)
            return nullptr;
        lastUnit = index;
        numbers[index] = number;
        present[index] = true;
    }
    const char* parts[7];
    for (int u = 0; u < 7; ++u)
        parts[u] = present[u] ? numbers[u].c_str() : nullptr;
    // TIME counts whole milliseconds: microseconds and nanoseconds are cut off.
    return fromComponents(at, parts, ltime);
}

} // namespace ac
