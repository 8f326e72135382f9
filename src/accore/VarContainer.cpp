#include "accore/VarContainer.h"

#include "accore/SymbolDataType.h"
#include "accore/SymbolVariable.h"
#include "accore/TypeResolver.h"
#include "accore/internal/Identifier.h"

#include <algorithm>
#include <atomic>
#include <set>
#include <utility>

namespace ac {

namespace {
std::atomic<unsigned long long> g_layoutGeneration{0};

unsigned long long saturatingAdd(unsigned long long a, unsigned long long b)
{
    return a > ~0ull - b ? ~0ull : a + b;
}

// The bytes a variable occupies in its block and their alignment.
void storage(const SymbolVariable& v, unsigned long long& size, unsigned& align)
{
    size = 0;
    align = 1;
    if (v.scope() == VS_INOUT) {
        size = 4; // passed by reference: a controller pointer
        align = 4;
    } else if (v.dataType()) {
        size = v.dataType()->byteSize();
        align = v.dataType()->alignment();
    }
    if (align == 0)
        align = 1;
}

bool containsByValue(const SymbolDataType* type, const Symbol* wanted, std::set<const SymbolDataType*>& seen)
{
    if (!type)
        return false;
    if (type == wanted)
        return true;
    if (!seen.insert(type).second)
        return false;
    if (type->isArray())
        return containsByValue(type->elementType(), wanted, seen);
    for (const auto& member : *type) {
        if (containsByValue(member->dataType(), wanted, seen))
            return true;
    }
    return false;
}
} // namespace

VarContainer::VarContainer(std::string name, int symbolType) : Symbol(std::move(name), symbolType) {}

VarContainer::~VarContainer() = default;

unsigned long long VarContainer::layoutGeneration()
{
    return g_layoutGeneration.load();
}

void VarContainer::touchLayout()
{
    ++g_layoutGeneration;
}

bool VarContainer::addParam(const std::string& name, const std::string& typeText, int scope, int position)
{
    if (!m_resolver)
        return false;
    std::string error;
    std::shared_ptr<SymbolDataType> type = m_resolver->resolveTypeText(typeText, error);
    if (!type)
        return false;
    return addParam(std::make_unique<SymbolVariable>(name, type, scope), position);
}

bool VarContainer::addParam(const std::string& name, SymbolDataType* type, int scope, int position)
{
    if (!type)
        return false;
    // Every type of the core is held by a shared pointer; share it so that the variable
    // keeps its type alive.
    std::shared_ptr<SymbolDataType> shared = type->weak_from_this().lock();
    if (!shared)
        return false;
    return addParam(std::make_unique<SymbolVariable>(name, shared, scope), position);
}

bool VarContainer::addParam(std::unique_ptr<SymbolVariable> variable, int position)
{
    if (!variable || !variable->dataType() || !isIdentifier(variable->name()))
        return false;
    if (param(variable->name()))
        return false;
    if (isContainedIn(variable->dataType()))
        return false;
    variable->setParent(this);
    if (fileId() >= 0 && variable->fileId() < 0)
        variable->setFileId(fileId());
    if (position < 0 || position >= paramsCount())
        m_params.push_back(std::move(variable));
    else
        m_params.insert(m_params.begin() + position, std::move(variable));
    touchLayout();
    return true;
}

bool VarContainer::removeParam(const std::string& name)
{
    const int index = paramIndex(name);
    if (index < 0)
        return false;
    m_params.erase(m_params.begin() + index);
    touchLayout();
    return true;
}

void VarContainer::markErroneous(const std::string& name)
{
    if (!isErroneous(name))
        m_erroneous.push_back(upperName(name));
}

bool VarContainer::isErroneous(const std::string& name) const
{
    if (m_erroneous.empty())
        return false;
    const std::string upper = upperName(name);
    for (const std::string& e : m_erroneous) {
        if (e == upper)
            return true;
    }
    return false;
}

SymbolVariable* VarContainer::param(const std::string& name) const
{
    const int index = paramIndex(name);
    return index < 0 ? nullptr : m_params[static_cast<size_t>(index)].get();
}

int VarContainer::paramIndex(const std::string& name) const
{
    for (size_t i = 0; i < m_params.size(); ++i) {
        if (sameName(m_params[i]->name(), name))
            return static_cast<int>(i);
    }
    return -1;
}

SymbolVariable* VarContainer::paramAt(int index) const
{
    if (index < 0 || index >= paramsCount())
        return nullptr;
    return m_params[static_cast<size_t>(index)].get();
}

std::vector<Symbol*> VarContainer::chilren() const
{
    std::vector<Symbol*> out;
    out.reserve(m_params.size());
    for (const auto& p : m_params)
        out.push_back(p.get());
    return out;
}

bool VarContainer::isContainedIn(const SymbolDataType* type) const
{
    std::set<const SymbolDataType*> seen;
    return containsByValue(type, this, seen);
}

void VarContainer::setPlacement(std::map<std::string, unsigned long long> offsets, unsigned long long reservedSize)
{
    m_placement = std::move(offsets);
    m_reservedSize = m_placement.empty() ? 0 : reservedSize;
    touchLayout();
}

void VarContainer::computeLayout() const
{
    const unsigned long long generation = layoutGeneration();
    if (m_layoutGeneration == generation)
        return;
    m_offsets.assign(m_params.size(), 0);
    unsigned long long offset = m_reservedSize;
    unsigned maxAlign = 1;
    std::vector<size_t> unplaced;
    for (size_t i = 0; i < m_params.size(); ++i) {
        const SymbolVariable& v = *m_params[i];
        if (v.scope() == VS_EXTERNAL) {
            m_offsets[i] = 0; // the global's memory, not this block's
            continue;
        }
        if (v.isFixedAddress()) {
            // Located variables live in the I/O or marker area, not in this block.
            m_offsets[i] = v.fixedAddress().byteOffset;
            continue;
        }
        unsigned long long size = 0;
        unsigned align = 1;
        storage(v, size, align);
        if (align > maxAlign)
            maxAlign = align;
        const auto placed = m_placement.empty() ? m_placement.end() : m_placement.find(upperName(v.name()));
        if (placed == m_placement.end()) {
            unplaced.push_back(i);
            continue;
        }
        m_offsets[i] = placed->second;
        offset = std::max(offset, saturatingAdd(placed->second, size));
    }
    for (size_t i : unplaced) {
        unsigned long long size = 0;
        unsigned align = 1;
        storage(*m_params[i], size, align);
        offset = saturatingAdd(offset, (align - offset % align) % align);
        m_offsets[i] = offset;
        offset = saturatingAdd(offset, size);
    }
    if (offset == 0)
        offset = 1; // an empty block still has an address of its own
    offset = saturatingAdd(offset, (maxAlign - offset % maxAlign) % maxAlign);
    m_size = offset;
    m_alignment = maxAlign;
    m_layoutGeneration = generation;
}

unsigned long long VarContainer::offsetOf(const SymbolVariable* variable) const
{
    computeLayout();
    for (size_t i = 0; i < m_params.size(); ++i) {
        if (m_params[i].get() == variable)
            return m_offsets[i];
    }
    return ~0ull;
}

unsigned long long VarContainer::offsetAt(int index) const
{
    if (index < 0 || index >= paramsCount())
        return ~0ull;
    computeLayout();
    return m_offsets[static_cast<size_t>(index)];
}

unsigned long long VarContainer::layoutSize() const
{
    computeLayout();
    return m_size;
}

unsigned VarContainer::layoutAlignment() const
{
    computeLayout();
    return m_alignment;
}

} // namespace ac
