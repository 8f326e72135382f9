#pragma once

#include "datamodel/model/DatamodelExport.h"

#include "accore/PrjMemAllSymbolInfo.h"

#include <map>
#include <string>
#include <vector>

// The memory layout of a project's variables: one entry per symbol (an enumeration,
// structure, function, function block, global variable list or program) with its members'
// byte offsets and types, in the order the layout text lists them. Names are compared
// without regard to case, as IEC identifiers are.
class DATAMODEL_EXPORT SerializeData
{
public:
    // The section codes of the layout text.
    enum Section : int {
        EnumSection = 0,
        StructSection = 1,
        GlobalSection = 2,
        FunctionSection = 3,
        FunctionBlockSection = 4,
        ProgramSection = 5,
    };
    static constexpr int SectionCount = 6;
    // The name of the filler member that keeps the place of a removed one.
    static const char* const OccupyMemberName;
    // The name of the symbol that holds the controller's internal variables.
    static const char* const DeviceVarsName;

    // Appends a symbol; false when the section is unknown or the section already has a
    // symbol of that name (the first one stays).
    bool addSymbol(ac::PrjMemSymbolInfo symbol);
    const std::vector<ac::PrjMemSymbolInfo>& symbols() const { return m_symbols; }
    std::vector<ac::PrjMemSymbolInfo>& symbols() { return m_symbols; }
    // Null when absent.
    const ac::PrjMemSymbolInfo* find(int section, const std::string& name) const;
    // A structure, function block or enumeration type of that name (the sections a member's
    // type can name); null when absent.
    const ac::PrjMemSymbolInfo* findType(const std::string& name) const;
    bool isEmpty() const { return m_symbols.empty(); }
    void clear();

    // Bytes of the memory blocks that an online change may move: the global lists and
    // programs (not the controller's own variables), each up to the end of its last member.
    unsigned long long movableByteSize() const;
    // The end of the last member of a block that lies in the block (located members live
    // elsewhere); 0 for a symbol without such members.
    static unsigned long long blockEnd(const ac::PrjMemSymbolInfo& symbol);

    static bool isFiller(const ac::SymbolMemberInfo& member);
    static const char* sectionKeyword(int section); // null for an unknown section
    static int sectionOfKeyword(const std::string& keyword); // -1 when unknown

private:
    static std::string key(int section, const std::string& name);

    std::vector<ac::PrjMemSymbolInfo> m_symbols;
    std::map<std::string, size_t> m_index; // key() -> position in m_symbols
};
