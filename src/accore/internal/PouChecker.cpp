#include "accore/internal/PouChecker.h"

#include "accore/ASTNode.h"
#include "accore/SymbolDataType.h"
#include "accore/SymbolEnumType.h"
#include "accore/SymbolGVL.h"
#include "accore/SymbolPOU.h"
#include "accore/SymbolVariable.h"
#include "accore/internal/SymbolTable.h"

namespace ac {

PouChecker::PouChecker(const SymbolTable& table, const VarContainer* internalVars, const SymbolPOU& pou,
                       std::vector<ACMessage>& messages)
    : m_table(table), m_internal(internalVars), m_pou(pou), m_messages(messages)
{
}

void PouChecker::report(const ACMessage& message)
{
    m_messages.push_back(message);
}

void PouChecker::check(const ASTNode* root)
{
    visit(root, 0);
}

const SymbolDataType* PouChecker::identifier(const ASTNode* node, bool callee)
{
    const std::string& name = node->text();
    if (const SymbolVariable* v = m_pou.param(name))
        return v->dataType();
    if (sameName(name, m_pou.name()))
        return m_pou.returnType(); // a function assigns its result to its own name
    if (const SymbolVariable* v = m_table.globalVariable(name))
        return v->dataType();
    if (m_internal) {
        if (const SymbolVariable* v = m_internal->param(name))
            return v->dataType();
    }
    if (auto pou = m_table.pou(name))
        return pou->isFunction() ? pou->returnType() : pou.get();
    if (callee && m_table.isStandardFunction(name))
        return nullptr;
    if (auto type = m_table.dataType(name))
        return type.get(); // E_State.Idle, or a type name given to SIZEOF
    if (m_table.isEnumerator(name))
        return nullptr;
    report(ACMessage::undeclaredIdentifier(m_pou.name(), node->location(), name));
    return nullptr;
}

const SymbolDataType* PouChecker::member(const ASTNode* node, int depth)
{
    const ASTNode* object = node->child(0);
    const ASTNode* name = node->child(1);
    const SymbolDataType* type = visit(object, depth + 1);
    if (!type || !name || name->kind() != ASTNode::Identifier)
        return nullptr;
    if (const auto* e = dynamic_cast<const SymbolEnumType*>(type)) {
        // Only the type name itself has members: "E_State.Idle".
        if (object->kind() == ASTNode::Identifier && sameName(object->text(), e->name())) {
            bool ok = false;
            e->value(name->text(), ok);
            if (!ok)
                report(ACMessage::unknownMember(m_pou.name(), name->location(), name->text(), "enumeration " + e->name()));
        }
        return nullptr;
    }
    if (type->isStruct() || type->isFunctionBlock()) {
        if (const SymbolVariable* v = type->param(name->text()))
            return v->dataType();
        report(ACMessage::unknownMember(m_pou.name(), name->location(), name->text(), type->typeText()));
    }
    return nullptr;
}

const SymbolDataType* PouChecker::visit(const ASTNode* node, int depth)
{
    if (!node || depth > 4000)
        return nullptr;
    switch (node->kind()) {
    case ASTNode::Identifier:
        return identifier(node, false);
    case ASTNode::Member:
        return member(node, depth);
    case ASTNode::Index: {
        const SymbolDataType* type = visit(node->child(0), depth + 1);
        for (size_t i = 1; i < node->childCount(); ++i)
            visit(node->child(i), depth + 1);
        if (type && type->isArray())
            return type->elementType();
        if (type && type->isString())
            return nullptr;
        return nullptr;
    }
    case ASTNode::Deref: {
        const SymbolDataType* type = visit(node->child(0), depth + 1);
        return type && type->isPointer() ? type->refType() : nullptr;
    }
    case ASTNode::Call: {
        const ASTNode* callee = node->child(0);
        const SymbolDataType* result = nullptr;
        const SymbolDataType* calleeType = nullptr;
        if (callee && callee->kind() == ASTNode::Identifier)
            calleeType = result = identifier(callee, true);
        else
            calleeType = result = visit(callee, depth + 1);
        // Formal parameter names must be inputs or outputs of the called block or function.
        const SymbolDataType* interface = nullptr;
        if (calleeType && calleeType->isFunctionBlock())
            interface = calleeType;
        if (callee && callee->kind() == ASTNode::Identifier) {
            if (auto pou = m_table.pou(callee->text()))
                interface = pou.get();
        }
        for (size_t i = 1; i < node->childCount(); ++i) {
            const ASTNode* argument = node->child(i);
            if (interface && !argument->text().empty() && !interface->param(argument->text()))
                report(ACMessage::unknownMember(m_pou.name(), argument->location(), argument->text(),
                                                "the interface of " + interface->name()));
            visit(argument->child(0), depth + 1);
        }
        if (calleeType && calleeType->isFunctionBlock())
            return nullptr; // an FB call has no value
        return result;
    }
    default:
        for (const ASTNode* child : node->children())
            visit(child, depth + 1);
        return nullptr;
    }
}

} // namespace ac
