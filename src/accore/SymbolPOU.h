#pragma once

#include "accore/SymbolDataType.h"

#include <memory>
#include <string>

namespace ac {

// A programme organisation unit. A POU is also the type of its instances: a function
// block's variables are the members of every instance of it (code BT_FB_INSTANCE).
class SymbolPOU : public SymbolDataType
{
public:
    SymbolPOU(std::string name, int pouKind);

    int pouKind() const { return m_kind; } // PouKind
    bool isProgram() const { return m_kind == PK_PROGRAM; }
    bool isFunction() const { return m_kind == PK_FUNCTION; }
    bool isFunctionBlock() const { return m_kind == PK_FUNCTION_BLOCK; }

    // Functions: the type of the result (null for the other kinds).
    SymbolDataType* returnType() const { return m_returnType.get(); }
    void setReturnType(std::shared_ptr<SymbolDataType> type) { m_returnType = std::move(type); }

    bool isBuiltin() const { return m_builtin; }
    void setBuiltin(bool builtin) { m_builtin = builtin; }

private:
    int m_kind;
    std::shared_ptr<SymbolDataType> m_returnType;
    bool m_builtin = false;
};

} // namespace ac
