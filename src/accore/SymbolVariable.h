#pragma once

#include "accore/HeapAddress.h"
#include "accore/Symbol.h"

#include <memory>
#include <string>

namespace ac {

class InitValueTree;
class SymbolDataType;

// One declared variable (or structure member): its type, section, flags, fixed address and
// initial value. The type is shared: a variable keeps its type alive even after the type's
// declaration was parsed again.
class SymbolVariable : public Symbol
{
public:
    SymbolVariable(std::string name, std::shared_ptr<SymbolDataType> type, int scope);
    ~SymbolVariable() override;

    SymbolDataType* dataType() const { return m_type.get(); }
    const std::shared_ptr<SymbolDataType>& sharedType() const { return m_type; }
    int scope() const { return m_scope; } // VisitScope code
    void setScope(int scope) { m_scope = scope; }

    bool isRetain() const { return m_retain; }
    void setRetain(bool retain) { m_retain = retain; }
    bool isConstant() const { return m_constant; }
    void setConstant(bool constant) { m_constant = constant; }

    // Edge-triggered inputs ("in : BOOL R_EDGE;").
    enum Edge { NoEdge, RisingEdge, FallingEdge };
    Edge edge() const { return m_edge; }
    void setEdge(Edge edge) { m_edge = edge; }

    bool isFixedAddress() const { return !m_addressText.empty(); }
    const std::string& fixedAddressText() const { return m_addressText; } // "%IX0.0"
    const HeapAddress& fixedAddress() const { return m_address; }
    void setFixedAddress(const std::string& text, const HeapAddress& address);

    const InitValueTree* initValue() const { return m_init.get(); }
    void setInitValue(std::unique_ptr<InitValueTree> init);

    // Byte offset inside the container that holds the variable; the fixed address's
    // byte offset for a located variable.
    unsigned long long backendAddress() const;

    unsigned long long memBitSize(bool valueBits = false) const override;
    std::vector<Symbol*> chilren() const override;

    void renameTo(const std::string& name) { rename(name); }

private:
    std::shared_ptr<SymbolDataType> m_type;
    int m_scope;
    bool m_retain = false;
    bool m_constant = false;
    Edge m_edge = NoEdge;
    std::string m_addressText;
    HeapAddress m_address;
    std::unique_ptr<InitValueTree> m_init;
};

} // namespace ac
