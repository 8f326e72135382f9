// The TC6 view of declarations, taken from the compiler core's symbols.
#include "datamodel/exchange/PlcOpenFormat_p.h"

#include "accore/ACCore.h"
#include "accore/BasicDataType.h"
#include "accore/InitValueTree.h"
#include "accore/SymbolDataType.h"
#include "accore/SymbolEnumType.h"
#include "accore/SymbolGVL.h"
#include "accore/SymbolPOU.h"
#include "accore/SymbolSubrangeType.h"
#include "accore/SymbolVariable.h"

namespace PlcOpenFormat {

namespace {

QString q(const std::string& text)
{
    return QString::fromStdString(text);
}

TypeRef elementary(int basicType)
{
    TypeRef ref;
    ref.name = elementaryFromIec(QLatin1String(ac::SymbolDataType::basicTypeName(basicType)));
    if (ref.name.isEmpty()) { // LTIME and the like: no TC6 element, named as a type
        ref.kind = TypeRef::Derived;
        ref.name = QLatin1String(ac::SymbolDataType::basicTypeName(basicType));
    }
    return ref;
}

std::vector<Variable> variablesOf(const ac::VarContainer& container, bool skipReturn);

TypeRef referenceOf(const ac::SymbolDataType& type);

// The spelled-out forms that a reference and a TYPE definition share.
TypeRef stringOf(const ac::SymbolDataType& type)
{
    TypeRef ref;
    ref.kind = type.dataType() == ac::BT_WSTRING ? TypeRef::WString : TypeRef::String;
    ref.length = QString::number(type.stringLength());
    return ref;
}

TypeRef arrayOf(const ac::SymbolDataType& type)
{
    TypeRef ref;
    ref.kind = TypeRef::Array;
    for (const ac::SymbolDataType::Bound& bound : type.bounds())
        ref.dimensions.emplace_back(QString::number(bound.lower), QString::number(bound.upper));
    if (type.elementType())
        ref.base = std::make_shared<TypeRef>(referenceOf(*type.elementType()));
    return ref;
}

TypeRef subrangeOf(const ac::SymbolSubrangeType& range)
{
    TypeRef ref;
    ref.kind = TypeRef::Subrange;
    ref.base = std::make_shared<TypeRef>(elementary(range.dataType()));
    ref.lower = QString::number(range.low());
    ref.upper = QString::number(range.high());
    return ref;
}

// A type as a variable refers to it: by name when it has one of its own, else spelled out.
TypeRef referenceOf(const ac::SymbolDataType& type)
{
    const QString name = q(type.name());
    TypeRef ref;
    if (type.isString() && (name.startsWith(QLatin1String("STRING(")) || name.startsWith(QLatin1String("WSTRING("))))
        return stringOf(type);
    if (type.isArray() && name.startsWith(QLatin1String("ARRAY[")))
        return arrayOf(type);
    if (type.isPointer() && name.startsWith(QLatin1String("POINTER TO "))) {
        ref.kind = TypeRef::Pointer;
        if (type.refType())
            ref.base = std::make_shared<TypeRef>(referenceOf(*type.refType()));
        else
            ref.base = std::make_shared<TypeRef>(TypeRef::named(TypeRef::Derived, name.mid(11)));
        return ref;
    }
    if (const auto* range = dynamic_cast<const ac::SymbolSubrangeType*>(&type); range && name.contains('('))
        return subrangeOf(*range);
    if (type.isElementary() && !elementaryFromIec(name).isEmpty()) {
        ref.name = elementaryFromIec(name);
        return ref;
    }
    ref.kind = TypeRef::Derived;
    ref.name = name;
    return ref;
}

// A named type as its TYPE declaration defines it.
TypeRef definitionOf(const ac::SymbolDataType& type)
{
    TypeRef ref;
    if (const auto* enumeration = dynamic_cast<const ac::SymbolEnumType*>(&type)) {
        ref.kind = TypeRef::Enum;
        for (const auto& [name, value] : enumeration->enumerators())
            ref.values.emplace_back(q(name), QString::number(value));
        if (enumeration->baseType() != ac::BT_INT)
            ref.base = std::make_shared<TypeRef>(elementary(enumeration->baseType()));
        return ref;
    }
    if (const auto* range = dynamic_cast<const ac::SymbolSubrangeType*>(&type))
        return subrangeOf(*range);
    if (type.isStruct()) {
        ref.kind = TypeRef::Struct;
        ref.members = variablesOf(type, false);
        return ref;
    }
    if (type.isString())
        return stringOf(type);
    if (type.isArray())
        return arrayOf(type);
    if (type.isPointer() && type.refType()) {
        ref.kind = TypeRef::Pointer;
        ref.base = std::make_shared<TypeRef>(referenceOf(*type.refType()));
        return ref;
    }
    return elementary(type.dataType());
}

Value valueOf(const ac::InitValueTree& tree, const ac::SymbolDataType* type)
{
    Value value;
    switch (tree.kind()) {
    case ac::InitValueTree::Literal: value.text = q(tree.toStContext(type)); break;
    case ac::InitValueTree::Array:
        value.kind = Value::Array;
        for (const ac::InitValueTree::Element& element : tree.elements())
            if (element.value)
                value.items.emplace_back(QString::number(element.repeat),
                                         valueOf(*element.value, type && type->isArray() ? type->elementType() : nullptr));
        break;
    case ac::InitValueTree::Struct:
        value.kind = Value::Struct;
        for (const ac::InitValueTree::Member& member : tree.members()) {
            const ac::SymbolVariable* field = type ? type->param(member.name) : nullptr;
            if (member.value)
                value.items.emplace_back(q(member.name), valueOf(*member.value, field ? field->dataType() : nullptr));
        }
        break;
    }
    return value;
}

Variable variableOf(const ac::SymbolVariable& symbol)
{
    Variable variable;
    variable.name = q(symbol.name());
    if (symbol.dataType())
        variable.type = referenceOf(*symbol.dataType());
    if (symbol.initValue())
        variable.initialValue = valueOf(*symbol.initValue(), symbol.dataType());
    variable.address = q(symbol.fixedAddressText());
    variable.documentation = q(symbol.comment());
    return variable;
}

std::vector<Variable> variablesOf(const ac::VarContainer& container, bool skipReturn)
{
    std::vector<Variable> out;
    for (const auto& symbol : container)
        if (!skipReturn || symbol->scope() != ac::VS_RETURN)
            out.push_back(variableOf(*symbol));
    return out;
}

// Consecutive variables of one section and the same flags share a list, as they were declared.
std::vector<VarList> listsOf(const ac::VarContainer& container)
{
    std::vector<VarList> lists;
    for (const auto& symbol : container) {
        const QString section = sectionName(symbol->scope());
        if (section.isEmpty())
            continue;
        if (lists.empty() || lists.back().section != section || lists.back().constant != symbol->isConstant()
            || lists.back().retain != symbol->isRetain())
            lists.push_back(VarList{section, symbol->isConstant(), symbol->isRetain(), {}});
        lists.back().variables.push_back(variableOf(*symbol));
    }
    return lists;
}

} // namespace

std::optional<PouDecl> pouFromCore(const ac::ACCore& core, const QString& name)
{
    const ac::SymbolPOU* symbol = core.symbolPOU(name.toStdString());
    if (!symbol || symbol->isBuiltin())
        return std::nullopt;
    PouDecl pou;
    pou.name = q(symbol->name());
    pou.pouType = symbol->isFunction()        ? QStringLiteral("function")
                : symbol->isFunctionBlock() ? QStringLiteral("functionBlock")
                                            : QStringLiteral("program");
    if (symbol->isFunction() && symbol->returnType())
        pou.returnType = referenceOf(*symbol->returnType());
    pou.lists = listsOf(*symbol);
    return pou;
}

std::vector<TypeDecl> typesFromCore(const ac::ACCore& core, const QString& unitName)
{
    std::vector<TypeDecl> out;
    for (const std::string& name : core.objectTypeNames(unitName.toStdString()))
        if (const ac::SymbolDataType* type = core.symbolType(name))
            out.push_back(TypeDecl{q(type->name()), definitionOf(*type), std::nullopt});
    return out;
}

std::vector<VarList> listFromCore(const ac::ACCore& core, const QString& name)
{
    const ac::SymbolGVL* list = core.symbolGVL(name.toStdString());
    return list ? listsOf(*list) : std::vector<VarList>();
}

} // namespace PlcOpenFormat
