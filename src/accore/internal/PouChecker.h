#pragma once

#include "accore/ACMessage.h"

#include <string>
#include <vector>

namespace ac {

class ASTNode;
class SymbolDataType;
class SymbolPOU;
class SymbolTable;
class VarContainer;

// Resolves every identifier of a structured text tree against a POU, the global lists, the
// types, the built-ins and the POUs, and reports what nothing declares.
class PouChecker
{
public:
    PouChecker(const SymbolTable& table, const VarContainer* internalVars, const SymbolPOU& pou,
               std::vector<ACMessage>& messages);

    void check(const ASTNode* root);

private:
    // The type of an expression when it can be told; null otherwise.
    const SymbolDataType* visit(const ASTNode* node, int depth);
    // `variable` (when given) tells whether the name is a variable of the POU, a list or the system.
    const SymbolDataType* identifier(const ASTNode* node, bool callee, bool* variable = nullptr);
    const SymbolDataType* member(const ASTNode* node, int depth);
    const SymbolDataType* call(const ASTNode* node, int depth);
    // A name that a refused declaration left behind: its message was given there.
    bool isErroneous(const std::string& name) const;
    void checkInputCount(const ASTNode* node, const std::string& function);
    void report(const ACMessage& message);

    const SymbolTable& m_table;
    const VarContainer* m_internal;
    const SymbolPOU& m_pou;
    std::vector<ACMessage>& m_messages;
};

} // namespace ac
