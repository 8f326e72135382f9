#include "datamodel/memory/OnlineChange.h"

#include "accore/BasicDataType.h"
#include "accore/Symbol.h"
#include "accore/SymbolDataType.h"

#include <algorithm>
#include <set>

namespace {

// Types nest a few levels (an array of structures holding arrays ...); a deeper chain
// was not made by a compiler.
constexpr int kMaxDepth = 32;
// An array of changed structures is carried element by element only up to this many
// copies; beyond it the array starts from its declaration.
constexpr unsigned long long kMaxExpandedCopies = 1u << 20;

bool isIntegerCode(int code)
{
    return code >= ac::BT_SINT && code <= ac::BT_BOOL;
}

bool isSignedCode(int code)
{
    return code >= ac::BT_SINT && code <= ac::BT_LINT;
}

bool isChangeable(int code)
{
    return (code >= ac::BT_SINT && code <= ac::BT_WSTRING) || code == ac::BT_ARRAY;
}

std::string withoutBlanks(const std::string& text)
{
    std::string out;
    for (const char c : text)
        if (c != ' ')
            out += c;
    return out;
}

// Names and bounds mostly match as written; the alias table and blank removal are for the rest.
bool sameTypeName(const std::string& a, const std::string& b)
{
    return ac::sameName(a, b) || OnlineChange::aliasName(a) == OnlineChange::aliasName(b);
}

bool sameRange(const std::string& a, const std::string& b)
{
    return a == b || withoutBlanks(a) == withoutBlanks(b);
}

struct Slot
{
    unsigned long long offset = 0;
    unsigned long long size = 0;
    unsigned long long end() const { return offset + size; }
};

unsigned long long alignUp(unsigned long long offset, unsigned align)
{
    return align <= 1 ? offset : offset + (align - offset % align) % align;
}

ac::SymbolMemberInfo filler(const Slot& slot)
{
    ac::SymbolMemberInfo member;
    member.name = SerializeData::OccupyMemberName;
    member.offset = slot.offset;
    member.type.typeName = "BYTE";
    member.type.basicDataType = ac::BT_ARRAY;
    member.type.byteSize = slot.size;
    member.type.arraryRangeSize = 1;
    member.type.arraryRange = "0.." + std::to_string(slot.size - 1);
    auto element = std::make_shared<ac::MemberDataType>();
    element->typeName = "BYTE";
    element->basicDataType = ac::BT_USINT;
    element->byteSize = 1;
    member.type.child = element;
    member.type.typeName = "ARRAY[" + member.type.arraryRange + "] OF BYTE";
    return member;
}

// Free places: sorted, adjacent ones merged.
std::vector<Slot> merged(std::vector<Slot> slots)
{
    std::sort(slots.begin(), slots.end(), [](const Slot& a, const Slot& b) { return a.offset < b.offset; });
    std::vector<Slot> out;
    for (const Slot& slot : slots) {
        if (slot.size == 0)
            continue;
        if (!out.empty() && out.back().end() >= slot.offset)
            out.back().size = std::max(out.back().end(), slot.end()) - out.back().offset;
        else
            out.push_back(slot);
    }
    return out;
}

const ac::SymbolMemberInfo* memberNamed(const ac::PrjMemSymbolInfo& symbol, const std::string& name)
{
    for (const ac::SymbolMemberInfo& member : symbol.members) {
        if (!SerializeData::isFiller(member) && ac::sameName(member.name, name))
            return &member;
    }
    return nullptr;
}

} // namespace

OnlineChange::OnlineChange(const SerializeData& stored, const SerializeData& current)
    : m_stored(stored), m_current(current)
{
    for (const ac::PrjMemSymbolInfo& symbol : current.symbols())
        compareSymbol(stored.find(symbol.section, symbol.name), symbol);
    for (const ac::PrjMemSymbolInfo& symbol : stored.symbols()) {
        if (!current.find(symbol.section, symbol.name))
            listWhole(symbol, Removed);
    }
    m_info.symbols = m_layout.symbols();
}

const char* OnlineChange::kindName(Kind kind)
{
    switch (kind) {
    case Kept: return "kept";
    case Moved: return "moved";
    case Reinitialised: return "re-initialised";
    case Added: return "added";
    case Removed: return "removed";
    case Located: return "located";
    }
    return "";
}

std::string OnlineChange::aliasName(const std::string& typeName)
{
    const std::string upper = ac::upperName(typeName);
    static const std::map<std::string, std::string> aliases = {
        {"BYTE", "USINT"}, {"WORD", "UINT"}, {"DWORD", "UDINT"}, {"LWORD", "ULINT"},
        {"DATE_AND_TIME", "DT"}, {"TIME_OF_DAY", "TOD"}};
    const auto it = aliases.find(upper);
    return it == aliases.end() ? upper : it->second;
}

void OnlineChange::note(const ac::PrjMemSymbolInfo& symbol, const std::string& member, Kind kind,
                        unsigned long long oldOffset, unsigned long long newOffset)
{
    m_changes.push_back(Change{symbol.section, symbol.name, member, kind, oldOffset, newOffset});
}

void OnlineChange::listWhole(const ac::PrjMemSymbolInfo& symbol, Kind kind)
{
    note(symbol, std::string(), kind, 0, 0);
    for (const ac::SymbolMemberInfo& member : symbol.members) {
        if (SerializeData::isFiller(member))
            continue;
        note(symbol, member.name, kind, kind == Removed ? member.offset : 0, kind == Added ? member.offset : 0);
    }
}

void OnlineChange::compareSymbol(const ac::PrjMemSymbolInfo* stored, const ac::PrjMemSymbolInfo& current)
{
    if (!stored) {
        listWhole(current, Added);
        m_layout.addSymbol(current);
        return;
    }
    note(current, std::string(), Kept, 0, 0);
    switch (current.section) {
    case SerializeData::EnumSection:
        compareEnum(*stored, current);
        break;
    case SerializeData::GlobalSection:
    case SerializeData::ProgramSection:
        if (current.name != SerializeData::DeviceVarsName) {
            compareBlock(*stored, current);
            break;
        }
        compareTypeOrDevice(*stored, current); // the controller decides where its variables are
        break;
    default:
        compareTypeOrDevice(*stored, current);
    }
}

bool OnlineChange::copyable(const ac::SymbolMemberInfo& oldMember, const ac::SymbolMemberInfo& newMember) const
{
    const ac::MemberDataType& a = oldMember.type;
    const ac::MemberDataType& b = newMember.type;
    if (b.constant || a.visitScope == ac::VS_TEMP || b.visitScope == ac::VS_TEMP)
        return false;
    bool sameType = false;
    return isVaildCopyType(a, b, sameType);
}

void OnlineChange::compareEnum(const ac::PrjMemSymbolInfo& stored, const ac::PrjMemSymbolInfo& current)
{
    m_layout.addSymbol(current);
    for (const ac::SymbolMemberInfo& value : current.members) {
        const ac::SymbolMemberInfo* before = memberNamed(stored, value.name);
        if (!before)
            note(current, value.name, Added, 0, value.offset);
        else
            note(current, value.name, before->offset == value.offset ? Kept : Reinitialised, before->offset, value.offset);
    }
    for (const ac::SymbolMemberInfo& value : stored.members) {
        if (!memberNamed(current, value.name))
            note(current, value.name, Removed, value.offset, 0);
    }
}

void OnlineChange::compareTypeOrDevice(const ac::PrjMemSymbolInfo& stored, const ac::PrjMemSymbolInfo& current)
{
    m_layout.addSymbol(current);
    const bool device = current.name == SerializeData::DeviceVarsName;
    for (const ac::SymbolMemberInfo& member : current.members) {
        if (SerializeData::isFiller(member))
            continue;
        const ac::SymbolMemberInfo* before = memberNamed(stored, member.name);
        if (!before) {
            note(current, member.name, Added, 0, member.offset);
            continue;
        }
        if (!isValidOnlineChangeType(before->type, member.type))
            m_blockers.push_back(current.name + "." + member.name);
        if (!copyable(*before, member)) {
            note(current, member.name, Reinitialised, before->offset, member.offset);
            continue;
        }
        note(current, member.name, before->offset == member.offset && isSameDataType(before->type, member.type) ? Kept : Moved,
             before->offset, member.offset);
        // Types are carried in their instances; the controller's variables are copied here.
        if (device)
            emitCopies(current.name, member.name, before->type, member.type, before->offset, member.offset,
                       m_info.copies, 0);
    }
    for (const ac::SymbolMemberInfo& member : stored.members) {
        if (!SerializeData::isFiller(member) && !memberNamed(current, member.name))
            note(current, member.name, Removed, member.offset, 0);
    }
}

void OnlineChange::compareBlock(const ac::PrjMemSymbolInfo& stored, const ac::PrjMemSymbolInfo& current)
{
    std::map<std::string, const ac::SymbolMemberInfo*> currentByName; // placed members only
    std::set<std::string> currentLocated;
    for (const ac::SymbolMemberInfo& member : current.members) {
        if (SerializeData::isFiller(member))
            continue;
        if (member.isFixedAddress())
            currentLocated.insert(ac::upperName(member.name));
        else
            currentByName[ac::upperName(member.name)] = &member;
    }

    std::vector<Slot> gaps;  // free before this change: new members may take them
    std::vector<Slot> freed; // freed by this change: kept free, nothing of it is written
    std::map<std::string, unsigned long long> keptAt; // upper name -> offset kept
    struct Pending
    {
        const ac::SymbolMemberInfo* before = nullptr;
        bool copy = false;
    };
    std::map<std::string, Pending> pending; // upper name -> the stored member it moves from
    unsigned long long end = SerializeData::blockEnd(stored);
    ac::PrjMemSymbolInfo out;
    out.section = current.section;
    out.name = current.name;

    for (const ac::SymbolMemberInfo& before : stored.members) {
        if (SerializeData::isFiller(before)) {
            // A filler at a fixed address holds no place in the block (nothing of ours writes
            // one); taking it as a gap would lay a filler over the members it overlaps.
            if (!before.isFixedAddress())
                gaps.push_back({before.offset, before.type.byteSize});
            continue;
        }
        const std::string key = ac::upperName(before.name);
        if (before.isFixedAddress()) {
            if (!currentLocated.count(key) && !currentByName.count(key))
                note(current, before.name, Removed, before.offset, 0);
            continue;
        }
        const auto it = currentByName.find(key);
        if (it == currentByName.end()) {
            freed.push_back({before.offset, before.type.byteSize});
            if (!currentLocated.count(key))
                note(current, before.name, Removed, before.offset, 0);
            continue;
        }
        const ac::SymbolMemberInfo& now = *it->second;
        if (!isValidOnlineChangeType(before.type, now.type))
            m_blockers.push_back(current.name + "." + now.name);
        const bool copy = copyable(before, now);
        if (now.type.byteSize <= before.type.byteSize && before.offset % alignmentOf(now.type) == 0) {
            ac::SymbolMemberInfo placed = now;
            placed.offset = before.offset;
            out.members.push_back(placed);
            keptAt[key] = before.offset;
            freed.push_back({before.offset + now.type.byteSize, before.type.byteSize - now.type.byteSize});
            note(current, now.name, copy ? Kept : Reinitialised, before.offset, before.offset);
            if (copy)
                emitCopies(current.name, now.name, before.type, now.type, before.offset, before.offset, m_info.copies, 0);
        } else {
            freed.push_back({before.offset, before.type.byteSize});
            pending[key] = Pending{&before, copy};
        }
    }

    gaps = merged(std::move(gaps));
    std::vector<ac::SymbolMemberInfo> located;
    for (const ac::SymbolMemberInfo& now : current.members) {
        if (SerializeData::isFiller(now))
            continue;
        const std::string key = ac::upperName(now.name);
        if (now.isFixedAddress()) {
            const ac::SymbolMemberInfo* before = memberNamed(stored, now.name);
            note(current, now.name, Located, before ? before->offset : 0, now.offset);
            located.push_back(now);
            continue;
        }
        if (keptAt.count(key))
            continue;
        // First gap that holds the member at its alignment; else behind the last member.
        const unsigned align = alignmentOf(now.type);
        unsigned long long offset = alignUp(end, align);
        for (size_t i = 0; i < gaps.size(); ++i) {
            const unsigned long long start = alignUp(gaps[i].offset, align);
            if (start + now.type.byteSize > gaps[i].end())
                continue;
            const Slot gap = gaps[i];
            gaps.erase(gaps.begin() + static_cast<long>(i));
            gaps.push_back({gap.offset, start - gap.offset});
            gaps.push_back({start + now.type.byteSize, gap.end() - start - now.type.byteSize});
            gaps = merged(std::move(gaps));
            offset = start;
            break;
        }
        if (offset + now.type.byteSize > ac::SymbolDataType::maxByteSize()) {
            // Only a damaged or foreign stored layout ends this close to 4 GiB; the member has
            // no place, so the change cannot be carried and the layout leaves it out.
            m_blockers.push_back(current.name + "." + now.name);
            continue;
        }
        if (offset >= end) {
            if (offset > end)
                freed.push_back({end, offset - end}); // alignment padding
            end = offset + now.type.byteSize;
        }
        ac::SymbolMemberInfo placed = now;
        placed.offset = offset;
        out.members.push_back(placed);
        const auto moved = pending.find(key);
        if (moved == pending.end()) {
            note(current, now.name, Added, 0, offset);
            continue;
        }
        const ac::SymbolMemberInfo& before = *moved->second.before;
        note(current, now.name, moved->second.copy ? Moved : Reinitialised, before.offset, offset);
        if (moved->second.copy)
            emitCopies(current.name, now.name, before.type, now.type, before.offset, offset, m_info.copies, 0);
    }

    gaps.insert(gaps.end(), freed.begin(), freed.end());
    for (const Slot& slot : merged(std::move(gaps)))
        out.members.push_back(filler(slot));
    std::sort(out.members.begin(), out.members.end(),
              [](const ac::SymbolMemberInfo& a, const ac::SymbolMemberInfo& b) { return a.offset < b.offset; });
    out.members.insert(out.members.end(), located.begin(), located.end());
    m_layout.addSymbol(std::move(out));
}

bool OnlineChange::sameDefinition(const std::string& typeName, int depth) const
{
    const std::string key = aliasName(typeName);
    const auto cached = m_sameDefinition.find(key);
    if (cached != m_sameDefinition.end())
        return cached->second;
    const ac::PrjMemSymbolInfo* before = m_stored.findType(typeName);
    const ac::PrjMemSymbolInfo* now = m_current.findType(typeName);
    bool result = !before && !now; // a type neither layout describes: nothing to compare
    if (before && now && before->section == now->section && before->members.size() == now->members.size()) {
        m_sameDefinition[key] = true; // a type never holds itself by value
        result = true;
        for (size_t i = 0; result && i < now->members.size(); ++i) {
            const ac::SymbolMemberInfo& a = before->members[i];
            const ac::SymbolMemberInfo& b = now->members[i];
            result = ac::sameName(a.name, b.name) && a.offset == b.offset
                && (now->section == SerializeData::EnumSection || same(a.type, b.type, depth + 1));
        }
    }
    m_sameDefinition[key] = result;
    return result;
}

bool OnlineChange::enumKeepsValues(const std::string& typeName) const
{
    const std::string key = aliasName(typeName);
    const auto cached = m_enumKeeps.find(key);
    if (cached != m_enumKeeps.end())
        return cached->second;
    const ac::PrjMemSymbolInfo* before = m_stored.find(SerializeData::EnumSection, typeName);
    const ac::PrjMemSymbolInfo* now = m_current.find(SerializeData::EnumSection, typeName);
    bool result = before && now;
    for (size_t i = 0; result && i < before->members.size(); ++i) {
        const ac::SymbolMemberInfo* value = memberNamed(*now, before->members[i].name);
        result = value && value->offset == before->members[i].offset;
    }
    return m_enumKeeps[key] = result;
}

bool OnlineChange::same(const ac::MemberDataType& a, const ac::MemberDataType& b, int depth) const
{
    if (depth > kMaxDepth)
        return false;
    if (a.basicDataType != b.basicDataType || a.byteSize != b.byteSize || a.arraryRangeSize != b.arraryRangeSize
        || !a.child != !b.child || !sameRange(a.arraryRange, b.arraryRange) || !sameTypeName(a.typeName, b.typeName))
        return false;
    if (a.child && !same(*a.child, *b.child, depth + 1))
        return false;
    const bool defined = a.basicDataType == ac::BT_ENUM || a.basicDataType == ac::BT_STRUCT
        || a.basicDataType == ac::BT_FB_INSTANCE;
    return !defined || sameDefinition(a.typeName, depth);
}

bool OnlineChange::isSameDataType(const ac::MemberDataType& oldType, const ac::MemberDataType& newType) const
{
    return same(oldType, newType, 0);
}

bool OnlineChange::copyableType(const ac::MemberDataType& a, const ac::MemberDataType& b, int depth) const
{
    if (depth > kMaxDepth)
        return false;
    if (same(a, b, depth))
        return true;
    const int from = a.basicDataType;
    const int to = b.basicDataType;
    if (isIntegerCode(from) && isIntegerCode(to)) {
        if (from == to)
            return a.byteSize == b.byteSize;
        // Every old value must have a new one: more bytes, and no sign lost.
        return b.byteSize > a.byteSize && b.byteSize <= 8 && (!isSignedCode(from) || isSignedCode(to));
    }
    switch (from) {
    case ac::BT_ENUM:
        return to == ac::BT_ENUM && a.byteSize == b.byteSize && sameTypeName(a.typeName, b.typeName)
            && enumKeepsValues(a.typeName);
    case ac::BT_REAL:
        return (to == ac::BT_REAL && a.byteSize == b.byteSize) || (to == ac::BT_LREAL && a.byteSize == 4 && b.byteSize == 8);
    case ac::BT_LREAL:
    case ac::BT_TIME:
    case ac::BT_LTIME:
    case ac::BT_DATE:
    case ac::BT_DATE_AND_TIME:
    case ac::BT_TIME_OF_DAY:
        return to == from && a.byteSize == b.byteSize;
    case ac::BT_STRING:
    case ac::BT_WSTRING:
        return to == from && b.byteSize >= a.byteSize;
    case ac::BT_POINTER:
        return to == ac::BT_POINTER && a.byteSize == b.byteSize && !a.child == !b.child
            && (!a.child || sameTypeName(a.child->typeName, b.child->typeName));
    case ac::BT_ARRAY:
        return to == ac::BT_ARRAY && a.child && b.child && a.arraryRangeSize == b.arraryRangeSize
            && sameRange(a.arraryRange, b.arraryRange) && copyableType(*a.child, *b.child, depth + 1);
    case ac::BT_STRUCT:
    case ac::BT_FB_INSTANCE:
        return to == from && sameTypeName(a.typeName, b.typeName);
    default:
        return false;
    }
}

bool OnlineChange::isVaildCopyType(const ac::MemberDataType& oldType, const ac::MemberDataType& newType, bool& sameType) const
{
    sameType = same(oldType, newType, 0);
    return sameType || copyableType(oldType, newType, 0);
}

bool OnlineChange::isValidBasicTypeChange(const ac::MemberDataType& oldType, const ac::MemberDataType& newType)
{
    const ac::MemberDataType* a = &oldType;
    const ac::MemberDataType* b = &newType;
    for (int depth = 0; a && b && depth <= kMaxDepth; ++depth) {
        if (a->basicDataType != b->basicDataType && (!isChangeable(a->basicDataType) || !isChangeable(b->basicDataType)))
            return false;
        if (!a->child != !b->child)
            return a->basicDataType != b->basicDataType; // a new kind of type: its children are its own
        a = a->child.get();
        b = b->child.get();
    }
    return true;
}

bool OnlineChange::isValidOnlineChangeType(const ac::MemberDataType& oldType, const ac::MemberDataType& newType)
{
    // The same kind of composite (another structure, another function block) is re-initialised.
    return oldType.basicDataType == newType.basicDataType || isValidBasicTypeChange(oldType, newType);
}

unsigned OnlineChange::alignmentOf(const ac::MemberDataType& type, int depth) const
{
    switch (type.basicDataType) {
    case ac::BT_STRING:
        return 1;
    case ac::BT_WSTRING:
        return 2;
    case ac::BT_ARRAY:
        return type.child && depth < kMaxDepth ? alignmentOf(*type.child, depth + 1) : 1;
    case ac::BT_STRUCT:
    case ac::BT_FB_INSTANCE: {
        const std::string key = aliasName(type.typeName);
        const auto cached = m_alignment.find(key);
        if (cached != m_alignment.end())
            return cached->second;
        unsigned align = 1;
        const ac::PrjMemSymbolInfo* definition = m_current.findType(type.typeName);
        if (!definition || depth >= kMaxDepth)
            align = 8; // unknown: the strictest alignment is always right
        else
            for (const ac::SymbolMemberInfo& member : definition->members)
                if (!member.isFixedAddress())
                    align = std::max(align, alignmentOf(member.type, depth + 1));
        return m_alignment[key] = align;
    }
    default:
        if (type.byteSize == 0)
            return 1;
        return type.byteSize >= 8 ? 8 : type.byteSize >= 4 ? 4 : type.byteSize >= 2 ? 2 : 1;
    }
}

void OnlineChange::emitCopies(const std::string& symbol, const std::string& path, const ac::MemberDataType& oldType,
                              const ac::MemberDataType& newType, unsigned long long oldBase,
                              unsigned long long newBase, std::vector<ac::PrjMemCopyMember>& out, int depth) const
{
    if (depth > kMaxDepth || oldType.byteSize == 0)
        return;
    ac::PrjMemCopyMember copy;
    copy.symbolName = symbol;
    copy.memberName = path;
    copy.oldOffset = oldBase;
    copy.newOffset = newBase;
    copy.byteSize = oldType.byteSize;
    copy.newByteSize = newType.byteSize;
    if (same(oldType, newType, depth)) {
        out.push_back(copy);
        return;
    }
    if (!copyableType(oldType, newType, depth))
        return;
    const int from = oldType.basicDataType;
    if (isIntegerCode(from) || from == ac::BT_REAL) {
        copy.oldType = from;
        copy.newType = newType.basicDataType;
        out.push_back(copy);
        return;
    }
    if (from != ac::BT_ARRAY && from != ac::BT_STRUCT && from != ac::BT_FB_INSTANCE) {
        out.push_back(copy); // same representation; a longer string gets the rest cleared
        return;
    }
    if (from == ac::BT_ARRAY) {
        const ac::MemberDataType& oldElement = *oldType.child;
        const ac::MemberDataType& newElement = *newType.child;
        if (oldElement.byteSize == 0 || newElement.byteSize == 0)
            return;
        const unsigned long long count = oldType.byteSize / oldElement.byteSize;
        std::vector<ac::PrjMemCopyMember> element;
        emitCopies(symbol, path + "[]", oldElement, newElement, 0, 0, element, depth + 1);
        const bool flat = std::all_of(element.begin(), element.end(), [](const ac::PrjMemCopyMember& c) { return c.count == 1; });
        if (!flat && count * element.size() > kMaxExpandedCopies)
            return;
        for (unsigned long long i = 0; i < (flat ? 1 : count); ++i) {
            for (ac::PrjMemCopyMember c : element) {
                c.oldOffset += oldBase + i * oldElement.byteSize;
                c.newOffset += newBase + i * newElement.byteSize;
                if (flat) {
                    c.count = count;
                    c.oldStride = oldElement.byteSize;
                    c.newStride = newElement.byteSize;
                }
                out.push_back(c);
            }
        }
        return;
    }
    const ac::PrjMemSymbolInfo* before = m_stored.findType(oldType.typeName);
    const ac::PrjMemSymbolInfo* now = m_current.findType(newType.typeName);
    if (!before || !now)
        return;
    for (const ac::SymbolMemberInfo& member : now->members) {
        if (SerializeData::isFiller(member) || member.isFixedAddress())
            continue;
        const ac::SymbolMemberInfo* old = memberNamed(*before, member.name);
        if (old && copyable(*old, member))
            emitCopies(symbol, path + "." + member.name, old->type, member.type, oldBase + old->offset,
                       newBase + member.offset, out, depth + 1);
    }
}
