#pragma once

#include "datamodel/memory/SerializeData.h"
#include "datamodel/model/DatamodelExport.h"

#include "accore/PrjMemAllSymbolInfo.h"

#include <map>
#include <string>
#include <vector>

// Compares the memory layout of the last download (stored) with that of the current
// compilation and decides, member by member, where each variable lives after an online change
// and whether its value survives:
//
// - Global variable lists and programs keep their places. A member stays at its old offset
//   when its new type fits there; otherwise, and for new members, it is placed in a gap that
//   the stored layout already had free (a filler "occupy.member") or behind the last member.
//   The place of a removed or moved member becomes a filler, so that nothing behind it moves
//   and no copy of this change writes where another still has to read.
// - Types (enumerations, structures, function blocks) and the controller's own variables are
//   laid out as the compiler core lays them out now; their instances' values are carried
//   member by member.
// - A value is copied when its type passes the compatibility rules below. Constants are
//   never copied (their declaration gives their value), nor VAR_TEMP members (not kept
//   between calls), nor located members (their I/O or marker memory is not moved).
// - Symbols are matched by section and name: a renamed program is a removed one and a new one.
class DATAMODEL_EXPORT OnlineChange
{
public:
    enum Kind {
        Kept,          // same place, value kept
        Moved,         // new place, value copied there
        Reinitialised, // value starts from its declaration (type not copyable, or a constant)
        Added,
        Removed,
        Located,       // a member at a fixed address: neither placed nor copied
    };
    struct Change
    {
        int section = 0;
        std::string symbol;
        std::string member; // empty for a line about the whole symbol
        Kind kind = Kept;
        unsigned long long oldOffset = 0;
        unsigned long long newOffset = 0;
    };

    OnlineChange(const SerializeData& stored, const SerializeData& current);

    // The new layout, the copies, and one change per symbol and member.
    const SerializeData& layout() const { return m_layout; }
    const ac::PrjMemAllSymbolInfo& info() const { return m_info; }
    const std::vector<Change>& changes() const { return m_changes; }
    // Members that no online change can carry: their type changed its kind (a structure that
    // became an integer, ...), or a damaged stored layout leaves them no place below 4 GiB.
    // The controller needs a full download.
    const std::vector<std::string>& blockers() const { return m_blockers; }
    static const char* kindName(Kind kind);

    // The compatibility rules. `oldType` is read in the stored layout, `newType` in the current.
    // Same type name (BYTE, WORD, DWORD and LWORD as USINT, UINT, UDINT and ULINT), basic type,
    // size, array bounds and children; structures, function blocks and enumerations also with
    // the same members.
    bool isSameDataType(const ac::MemberDataType& oldType, const ac::MemberDataType& newType) const;
    // Whether the value can be carried: the same type, or a widening within the integers
    // (signed to signed, unsigned to either; never to fewer bytes), REAL to LREAL, a longer
    // string of the same kind, a pointer to the same type, an array with the same bounds of
    // copyable elements, the same structure or function block (member by member), an
    // enumeration whose stored values all kept their names.
    bool isVaildCopyType(const ac::MemberDataType& oldType, const ac::MemberDataType& newType, bool& same) const;
    // A basic type may change only within codes 1..19 and 21, with matching children.
    static bool isValidBasicTypeChange(const ac::MemberDataType& oldType, const ac::MemberDataType& newType);
    // Whether an online change can hold the member at all (copied or re-initialised).
    static bool isValidOnlineChangeType(const ac::MemberDataType& oldType, const ac::MemberDataType& newType);
    static std::string aliasName(const std::string& typeName);

private:
    void compareSymbol(const ac::PrjMemSymbolInfo* stored, const ac::PrjMemSymbolInfo& current);
    void compareBlock(const ac::PrjMemSymbolInfo& stored, const ac::PrjMemSymbolInfo& current);
    void compareTypeOrDevice(const ac::PrjMemSymbolInfo& stored, const ac::PrjMemSymbolInfo& current);
    void compareEnum(const ac::PrjMemSymbolInfo& stored, const ac::PrjMemSymbolInfo& current);
    void listWhole(const ac::PrjMemSymbolInfo& symbol, Kind kind);
    bool copyable(const ac::SymbolMemberInfo& oldMember, const ac::SymbolMemberInfo& newMember) const;
    void note(const ac::PrjMemSymbolInfo& symbol, const std::string& member, Kind kind, unsigned long long oldOffset,
              unsigned long long newOffset);

    // Appends the copies that carry a value of `oldType` at `oldBase` (old image) to a value of
    // `newType` at `newBase` (new image).
    void emitCopies(const std::string& symbol, const std::string& path, const ac::MemberDataType& oldType,
                    const ac::MemberDataType& newType, unsigned long long oldBase, unsigned long long newBase,
                    std::vector<ac::PrjMemCopyMember>& out, int depth) const;
    bool sameDefinition(const std::string& typeName, int depth) const;
    bool enumKeepsValues(const std::string& typeName) const;
    bool same(const ac::MemberDataType& a, const ac::MemberDataType& b, int depth) const;
    bool copyableType(const ac::MemberDataType& a, const ac::MemberDataType& b, int depth) const;
    unsigned alignmentOf(const ac::MemberDataType& type, int depth = 0) const;

    const SerializeData& m_stored;
    const SerializeData& m_current;
    SerializeData m_layout;
    ac::PrjMemAllSymbolInfo m_info;
    std::vector<Change> m_changes;
    std::vector<std::string> m_blockers;
    mutable std::map<std::string, bool> m_sameDefinition; // by upper type name
    mutable std::map<std::string, bool> m_enumKeeps;
    mutable std::map<std::string, unsigned> m_alignment;
};
