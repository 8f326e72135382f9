#include "datamodel/memory/SerializeData.h"

#include "accore/Symbol.h"

#include <algorithm>

const char* const SerializeData::OccupyMemberName = "occupy.member";
const char* const SerializeData::DeviceVarsName = "Device.Var.Name";

namespace {
const char* const kKeywords[SerializeData::SectionCount] = {"PRJ_MEM_ENUM_HEAD", "PRJ_MEM_STRUCT_HEAD",
                                                            "PRJ_MEM_GVL_HEAD",  "PRJ_MEM_FC_HEAD",
                                                            "PRJ_MEM_FB_HEAD",   "PRJ_MEM_PRG_HEAD"};
} // namespace

std::string SerializeData::key(int section, const std::string& name)
{
    return std::to_string(section) + ":" + ac::upperName(name);
}

bool SerializeData::addSymbol(ac::PrjMemSymbolInfo symbol)
{
    if (symbol.section < 0 || symbol.section >= SectionCount)
        return false;
    if (!m_index.emplace(key(symbol.section, symbol.name), m_symbols.size()).second)
        return false;
    m_symbols.push_back(std::move(symbol));
    return true;
}

const ac::PrjMemSymbolInfo* SerializeData::find(int section, const std::string& name) const
{
    const auto it = m_index.find(key(section, name));
    return it == m_index.end() ? nullptr : &m_symbols[it->second];
}

const ac::PrjMemSymbolInfo* SerializeData::findType(const std::string& name) const
{
    for (int section : {StructSection, FunctionBlockSection, EnumSection}) {
        if (const ac::PrjMemSymbolInfo* symbol = find(section, name))
            return symbol;
    }
    return nullptr;
}

void SerializeData::clear()
{
    m_symbols.clear();
    m_index.clear();
}

unsigned long long SerializeData::blockEnd(const ac::PrjMemSymbolInfo& symbol)
{
    unsigned long long end = 0;
    for (const ac::SymbolMemberInfo& member : symbol.members) {
        if (!member.isFixedAddress())
            end = std::max(end, member.offset + member.type.byteSize);
    }
    return end;
}

unsigned long long SerializeData::movableByteSize() const
{
    unsigned long long total = 0;
    for (const ac::PrjMemSymbolInfo& symbol : m_symbols) {
        const bool block = symbol.section == ProgramSection
            || (symbol.section == GlobalSection && symbol.name != DeviceVarsName);
        if (block)
            total += blockEnd(symbol);
    }
    return total;
}

bool SerializeData::isFiller(const ac::SymbolMemberInfo& member)
{
    return member.name == OccupyMemberName;
}

const char* SerializeData::sectionKeyword(int section)
{
    return section >= 0 && section < SectionCount ? kKeywords[section] : nullptr;
}

int SerializeData::sectionOfKeyword(const std::string& keyword)
{
    for (int i = 0; i < SectionCount; ++i) {
        if (keyword == kKeywords[i])
            return i;
    }
    return -1;
}
