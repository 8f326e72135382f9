#include "datamodel/memory/DeclarationWriter_p.h"

#include "datamodel/memory/DataConversion.h"
#include "datamodel/model/HostServices.h"

#include "accore/InitValueTree.h"
#include "accore/SymbolEnumType.h"
#include "accore/SymbolPOU.h"
#include "accore/SymbolVariable.h"

namespace {

const char* sectionKeyword(int scope)
{
    switch (scope) {
    case ac::VS_GLOBAL: return "VAR_GLOBAL";
    case ac::VS_LOCAL: return "VAR";
    case ac::VS_INPUT: return "VAR_INPUT";
    case ac::VS_OUTPUT: return "VAR_OUTPUT";
    case ac::VS_INOUT: return "VAR_IN_OUT";
    case ac::VS_TEMP: return "VAR_TEMP";
    default: return nullptr;
    }
}

} // namespace

DeclarationWriter::DeclarationWriter(ac::Symbol* container, int kind, std::string name)
    : m_container(container), m_kind(kind), m_name(std::move(name))
{
    if (m_name.empty() && m_container)
        m_name = m_container->name();
}

std::string DeclarationWriter::text() const
{
    if (m_kind == DataConversion::EnumText)
        return enumText();
    const auto* container = dynamic_cast<const ac::VarContainer*>(m_container);
    if (!container)
        return {};
    switch (m_kind) {
    case DataConversion::GlobalVarsText: return sections(*container);
    case DataConversion::ProgramText: return "PROGRAM " + m_name + "\n" + sections(*container);
    case DataConversion::FunctionBlockText: return "FUNCTION_BLOCK " + m_name + "\n" + sections(*container);
    case DataConversion::FunctionText: return functionHead(*container) + sections(*container);
    case DataConversion::StructText: return structText(*container);
    default: return {};
    }
}

// Consecutive variables of the same section, retain and constant flags share one section.
std::string DeclarationWriter::sections(const ac::VarContainer& container) const
{
    std::string out;
    const ac::SymbolVariable* open = nullptr; // the first variable of the open section
    for (const auto& variable : container) {
        if (variable->scope() == ac::VS_RETURN && m_kind == DataConversion::FunctionText)
            continue; // the function's head line carries it
        const char* keyword = sectionKeyword(variable->scope());
        if (!keyword) {
            HostServices::log("DataConversion", HostServices::LogInfo,
                              "paramToText: variable '" + variable->name() + "' of '" + m_name + "' has section "
                                  + std::to_string(variable->scope()) + ", which a declaration cannot name; left out");
            continue;
        }
        if (!open || open->scope() != variable->scope() || open->isRetain() != variable->isRetain()
            || open->isConstant() != variable->isConstant()) {
            if (open)
                out += "END_VAR\n";
            out += keyword;
            out += variable->isRetain() ? " RETAIN" : "";
            out += variable->isConstant() ? " CONSTANT" : "";
            out += "\n";
            open = variable.get();
        }
        out += variableText(*variable);
    }
    if (open)
        out += "END_VAR\n";
    return out;
}

std::string DeclarationWriter::functionHead(const ac::VarContainer& container) const
{
    std::string result;
    if (const auto* pou = dynamic_cast<const ac::SymbolPOU*>(&container); pou && pou->returnType())
        result = pou->returnType()->typeText();
    for (const auto& variable : container)
        if (result.empty() && variable->scope() == ac::VS_RETURN && variable->dataType())
            result = variable->dataType()->typeText();
    return "FUNCTION " + m_name + (result.empty() ? std::string() : " : " + result) + "\n";
}

std::string DeclarationWriter::structText(const ac::VarContainer& container) const
{
    std::string out = "TYPE " + m_name + " :\nSTRUCT\n";
    for (const auto& variable : container)
        out += variableText(*variable);
    return out + "END_STRUCT;\nEND_TYPE\n";
}

std::string DeclarationWriter::enumText() const
{
    const auto* enumeration = dynamic_cast<const ac::SymbolEnumType*>(m_container);
    if (!enumeration)
        return {};
    const int base = enumeration->baseType();
    std::string out = "TYPE " + m_name + " :";
    if (base != ac::BT_INT && base != ac::BT_ENUM)
        out += std::string(" ") + ac::SymbolDataType::basicTypeName(base);
    out += "\n(\n";
    const auto& values = enumeration->enumerators();
    for (size_t i = 0; i < values.size(); ++i)
        out += "    " + values[i].first + " := " + std::to_string(values[i].second) + (i + 1 < values.size() ? ",\n" : "\n");
    return out + ");\nEND_TYPE\n";
}

std::string DeclarationWriter::variableText(const ac::SymbolVariable& variable)
{
    std::string out;
    if (!variable.pragma().empty())
        out += "    {" + variable.pragma() + "}\n";
    out += "    " + variable.name();
    if (variable.isFixedAddress())
        out += " AT " + variable.fixedAddressText();
    out += " : " + (variable.dataType() ? variable.dataType()->typeText() : std::string());
    if (variable.initValue())
        out += " := " + variable.initValue()->toStContext(variable.dataType());
    out += ";";
    if (!variable.comment().empty())
        out += "    " + commentText(variable.comment());
    return out + "\n";
}

// A line comment where the text allows it; a block comment keeps the line ends of a
// comment that has them, unless its text would close the block early.
std::string DeclarationWriter::commentText(const std::string& comment)
{
    if (comment.find_first_of("\r\n") == std::string::npos)
        return "//" + comment;
    if (comment.find("*)") == std::string::npos && comment.find("(*") == std::string::npos)
        return "(*" + comment + "*)";
    std::string line = comment;
    for (char& c : line)
        if (c == '\r' || c == '\n')
            c = ' ';
    return "//" + line;
}
