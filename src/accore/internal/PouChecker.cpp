#include "accore/internal/PouChecker.h"

#include "accore/ASTNode.h"
#include "accore/SymbolDataType.h"
#include "accore/SymbolEnumType.h"
#include "accore/SymbolGVL.h"
#include "accore/SymbolPOU.h"
#include "accore/SymbolVariable.h"
#include "accore/internal/Builtins.h"
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

const SymbolDataType* PouChecker::identifier(const ASTNode* node, bool callee, bool* variable)
{
    const std::string& name = node->text();
    if (variable)
        *variable = true;
    if (const SymbolVariable* v = m_pou.param(name))
        return v->dataType();
    if (sameName(name, m_pou.name())) {
        if (variable)
            *variable = false; // a call of itself
        return m_pou.returnType(); // a function assigns its result to its own name
    }
    if (const SymbolVariable* v = m_table.globalVariable(name))
        return v->dataType();
    if (m_internal) {
        if (const SymbolVariable* v = m_internal->param(name))
            return v->dataType();
    }
    if (variable)
        *variable = false;
    if (auto pou = m_table.pou(name))
        return pou->isFunction() ? pou->returnType() : pou.get();
    if (callee && m_table.isStandardFunction(name))
        return nullptr;
    if (auto type = m_table.dataType(name))
        return type.get(); // E_State.Idle, or a type name given to SIZEOF
    if (m_table.isEnumerator(name) || isErroneous(name))
        return nullptr;
    report(ACMessage::undeclaredIdentifier(m_pou.name(), node->location(), name));
    return nullptr;
}

bool PouChecker::isErroneous(const std::string& name) const
{
    return m_pou.isErroneous(name) || m_table.isErroneousGlobal(name)
        || (m_table.hasBrokenTypes() && m_table.brokenType(upperName(name), std::string()));
}

void PouChecker::checkInputCount(const ASTNode* node, const std::string& function)
{
    int min = 0;
    int max = 0;
    if (!m_table.standardFunctionInputs(function, min, max))
        return;
    int inputs = 0;
    for (size_t i = 1; i < node->childCount(); ++i) {
        const ASTNode* argument = node->child(i);
        if (argument->op() != "=>" && !sameName(argument->text(), "EN"))
            ++inputs;
    }
    if (inputs >= min && (max < 0 || inputs <= max))
        return;
    const std::string wanted = max < 0 ? "at least " + std::to_string(min) : min == max ? std::to_string(min)
                                                                                         : std::to_string(min) + " to " + std::to_string(max);
    report(ACMessage::notAllowed(m_pou.name(), node->child(0)->location(),
                                 "function '" + upperName(function) + "' takes " + wanted + " input"
                                     + (min == 1 && max == 1 ? "" : "s") + ", found " + std::to_string(inputs)));
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
        if (const SymbolVariable* v = interfaceMember(*type, name->text()))
            return v->dataType();
        if (type->isErroneous(name->text()))
            return nullptr;
        report(ACMessage::unknownMember(m_pou.name(), name->location(), name->text(), type->typeText()));
    }
    return nullptr;
}

const SymbolDataType* PouChecker::call(const ASTNode* node, int depth)
{
    const ASTNode* callee = node->child(0);
    const bool named = callee && callee->kind() == ASTNode::Identifier;
    // A variable of the POU or a global list hides a POU or standard function of the same
    // name: "tp : Smooth; tp(...)" calls the instance.
    bool variable = false;
    const SymbolDataType* calleeType = named ? identifier(callee, true, &variable) : visit(callee, depth + 1);
    const SymbolDataType* interface = calleeType && calleeType->isFunctionBlock() ? calleeType : nullptr;
    if (named && !variable) {
        if (auto pou = m_table.pou(callee->text()))
            interface = pou.get();
        else
            checkInputCount(node, callee->text());
    }
    // Formal parameter names must be inputs or outputs of the called block or function.
    for (size_t i = 1; i < node->childCount(); ++i) {
        const ASTNode* argument = node->child(i);
        if (interface && !argument->text().empty() && !interfaceMember(*interface, argument->text()))
            report(ACMessage::unknownMember(m_pou.name(), argument->location(), argument->text(),
                                            "the interface of " + interface->name()));
        visit(argument->child(0), depth + 1);
    }
    if (calleeType && calleeType->isFunctionBlock())
        return nullptr; // an FB call has no value
    return calleeType;
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
    case ASTNode::Call:
        return call(node, depth);
    default:
        for (const ASTNode* child : node->children())
            visit(child, depth + 1);
        return nullptr;
    }
}

} // namespace ac
