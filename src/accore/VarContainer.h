#pragma once

#include "accore/Symbol.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace ac {

class SymbolDataType;
class SymbolVariable;
class TypeResolver;

// A symbol that holds variables in declaration order: POUs, global variable lists and
// structured data types. Each variable gets a byte offset under the layout rule of
// SymbolDataType (natural alignment up to 8 bytes, members in declaration order).
class VarContainer : public Symbol
{
public:
    ~VarContainer() override;

    // Declares a variable at `position` (-1 or past the end: append). The type text is
    // parsed like a declaration's type ("INT", "STRING(20)", "ARRAY[0..3] OF AXIS_REF").
    // Refused (false) for an invalid name, a name already present, an unknown type or a
    // type that would contain this container itself.
    bool addParam(const std::string& name, const std::string& typeText, int scope, int position = -1);
    bool addParam(const std::string& name, SymbolDataType* type, int scope, int position = -1);
    bool addParam(std::unique_ptr<SymbolVariable> variable, int position = -1);
    bool removeParam(const std::string& name);

    SymbolVariable* param(const std::string& name) const; // case-insensitive; null when absent

    // Names whose declaration was rejected (its message given): later uses of them stay
    // quiet instead of reporting an unknown name.
    void markErroneous(const std::string& name);
    bool isErroneous(const std::string& name) const;
    int paramIndex(const std::string& name) const;        // -1 when absent
    int paramsCount() const { return static_cast<int>(m_params.size()); }
    SymbolVariable* paramAt(int index) const;

    using Params = std::vector<std::unique_ptr<SymbolVariable>>;
    Params::const_iterator begin() const { return m_params.begin(); }
    Params::const_iterator end() const { return m_params.end(); }

    std::vector<Symbol*> chilren() const override;

    // Byte offset of a variable inside this container's memory; ~0ull when absent.
    unsigned long long offsetOf(const SymbolVariable* variable) const;
    // The same for the variable at `index` (declaration order), without a search.
    unsigned long long offsetAt(int index) const;

    // Places that an online change keeps (upper-case name -> byte offset) and the bytes the
    // block keeps reserved (removed members' places included). Variables not named are laid
    // out behind them. An empty map returns to declaration order.
    void setPlacement(std::map<std::string, unsigned long long> offsets, unsigned long long reservedSize);
    bool hasPlacement() const { return !m_placement.empty(); }
    // Bytes of all variables laid out, padded to the largest alignment.
    unsigned long long layoutSize() const;
    unsigned layoutAlignment() const;

    void setTypeResolver(TypeResolver* resolver) { m_resolver = resolver; }
    TypeResolver* typeResolver() const { return m_resolver; }

    // True when `type` is this container or holds it by value somewhere below.
    bool isContainedIn(const SymbolDataType* type) const;

    // Incremented by every change of any container, so that cached layouts notice it.
    static unsigned long long layoutGeneration();

protected:
    VarContainer(std::string name, int symbolType);
    static void touchLayout();

private:
    void computeLayout() const;

    Params m_params;
    std::vector<std::string> m_erroneous; // upper-case; few, and only after a mistake
    TypeResolver* m_resolver = nullptr; // the core's symbol table; outlives its containers

    std::map<std::string, unsigned long long> m_placement; // upper-case names
    unsigned long long m_reservedSize = 0;

    mutable std::vector<unsigned long long> m_offsets;
    mutable unsigned long long m_size = 0;
    mutable unsigned m_alignment = 1;
    mutable unsigned long long m_layoutGeneration = ~0ull;
};

} // namespace ac
