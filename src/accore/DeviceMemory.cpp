#include "accore/DeviceMemory.h"

#include <cctype>

namespace ac {

namespace {
const char* const kSizeLetters = "XBWDL"; // by HeapAddress::Kind
const unsigned kSizeBits[] = {1, 8, 16, 32, 64};
const unsigned kUnitBytes[] = {1, 1, 2, 4, 8};
const char* const kDevices[] = {"X", "Y", "M", "S", "B", "D", "R", "W"};

// Digits in `base` from text[i]; false on no digit or a value above `limit`.
bool readNumber(const std::string& text, size_t& i, unsigned base, unsigned long long limit, unsigned long long& value)
{
    value = 0;
    const size_t start = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        const unsigned digit = static_cast<unsigned>(text[i] - '0');
        if (digit >= base)
            return false;
        if (value > (limit - digit) / base)
            return false;
        value = value * base + digit;
        ++i;
    }
    return i > start;
}

std::string toBase(unsigned long long value, unsigned base)
{
    if (value == 0)
        return "0";
    std::string out;
    while (value) {
        out.insert(out.begin(), static_cast<char>('0' + value % base));
        value /= base;
    }
    return out;
}
} // namespace

void DeviceMemory::setAreas(const DeviceAreas& areas)
{
    m_areas = areas;
    m_configured = true;
}

void DeviceMemory::resetJapanLayout(const std::map<std::string, unsigned long long>& counts)
{
    m_japan.clear();
    for (const auto& entry : counts) {
        std::string letter;
        for (char c : entry.first)
            letter += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        m_japan[letter] = entry.second;
    }
}

unsigned long long DeviceMemory::areaSize(char area) const
{
    switch (area) {
    case 'I': return m_areas.input;
    case 'Q': return m_areas.output;
    case 'M': return m_areas.memory;
    default: return 0;
    }
}

bool DeviceMemory::fitsArea(const HeapAddress& address) const
{
    if (address.area != 'I' && address.area != 'Q' && address.area != 'M')
        return false;
    if (address.kind < HeapAddress::Bit || address.kind > HeapAddress::LWord)
        return false;
    if (address.size != kSizeBits[address.kind])
        return false;
    if (address.kind == HeapAddress::Bit ? address.bitNumber > 7 : address.bitNumber != 0)
        return false;
    const unsigned unit = kUnitBytes[address.kind];
    if (address.byteOffset % unit != 0)
        return false;
    if (!m_configured)
        return address.byteOffset <= ~0ull - unit;
    const unsigned long long size = areaSize(address.area);
    return size >= unit && address.byteOffset <= size - unit;
}

std::string DeviceMemory::iecAddress2String(const HeapAddress& address, bool withPercent) const
{
    if (!fitsArea(address))
        return {};
    std::string out = withPercent ? "%" : "";
    out += address.area;
    out += kSizeLetters[address.kind];
    if (address.kind == HeapAddress::Bit)
        out += std::to_string(address.byteOffset) + "." + std::to_string(address.bitNumber);
    else
        out += std::to_string(address.byteOffset / kUnitBytes[address.kind]);
    return out;
}

bool DeviceMemory::string2IecAddress(const std::string& text, HeapAddress* address, bool requirePercent) const
{
    if (!address || text.size() > 64)
        return false;
    size_t i = 0;
    if (i < text.size() && text[i] == '%')
        ++i;
    else if (requirePercent)
        return false;
    if (i >= text.size())
        return false;
    HeapAddress result;
    result.area = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i++])));
    if (result.area != 'I' && result.area != 'Q' && result.area != 'M')
        return false;
    int kind = -1;
    if (i < text.size()) {
        const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
        for (int k = 0; k < 5; ++k) {
            if (kSizeLetters[k] == letter)
                kind = k;
        }
        if (kind >= 0)
            ++i;
    }
    unsigned long long number = 0;
    if (!readNumber(text, i, 10, ~0ull / 8, number))
        return false;
    if (i < text.size() && text[i] == '.') {
        // "%IX0.7" and the short "%I0.7" name a bit.
        if (kind != -1 && kind != HeapAddress::Bit)
            return false;
        ++i;
        unsigned long long bit = 0;
        if (!readNumber(text, i, 10, 7, bit))
            return false;
        kind = HeapAddress::Bit;
        result.bitNumber = static_cast<unsigned>(bit);
        result.byteOffset = number;
    } else {
        if (kind == -1 || kind == HeapAddress::Bit)
            return false; // a bit address needs its bit number
        result.byteOffset = number * kUnitBytes[kind];
    }
    if (i != text.size())
        return false;
    result.kind = kind;
    result.size = kSizeBits[kind];
    if (!fitsArea(result))
        return false;
    *address = result;
    return true;
}

JapanComponent DeviceMemory::parseComponent(const std::string& text) const
{
    JapanComponent out;
    if (text.empty() || text.size() > 32)
        return out;
    const std::string device(1, static_cast<char>(std::toupper(static_cast<unsigned char>(text[0]))));
    bool known = false;
    for (const char* d : kDevices) {
        if (device == d)
            known = true;
    }
    if (!known)
        return out;
    JapanComponent c;
    c.device = device;
    size_t i = 1;
    if (!readNumber(text, i, c.isOctal() ? 8 : 10, 0xFFFFFFFFull, c.index))
        return out;
    if (i < text.size() && text[i] == '.') {
        if (!c.isWordDevice())
            return out;
        ++i;
        unsigned long long bit = 0;
        if (!readNumber(text, i, 10, 15, bit))
            return out;
        c.bit = static_cast<int>(bit);
    }
    if (i != text.size())
        return out;
    if (!m_japan.empty()) {
        const auto it = m_japan.find(device);
        if (it == m_japan.end() || c.index >= it->second)
            return out;
    }
    c.valid = true;
    return c;
}

std::string DeviceMemory::componentToString(const JapanComponent& component) const
{
    if (!component.valid)
        return {};
    std::string out = component.device + toBase(component.index, component.isOctal() ? 8 : 10);
    if (component.bit >= 0)
        out += "." + std::to_string(component.bit);
    return out;
}

} // namespace ac
