#pragma once

#include <string>

namespace ac {
class Symbol;
class SymbolVariable;
class VarContainer;
} // namespace ac

// Renders a compiler core container as the declaration text its parser reads back to the
// same variables, sections, addresses, initial values, comments and pragmas (the kinds of
// DataConversion::PouType). Used by DataConversion::paramToText.
class DeclarationWriter
{
public:
    DeclarationWriter(ac::Symbol* container, int kind, std::string name);

    // Empty for an unknown kind or a container of the wrong sort.
    std::string text() const;

private:
    std::string sections(const ac::VarContainer& container) const;
    std::string structText(const ac::VarContainer& container) const;
    std::string enumText() const;
    std::string functionHead(const ac::VarContainer& container) const;
    static std::string variableText(const ac::SymbolVariable& variable);
    static std::string commentText(const std::string& comment);

    ac::Symbol* m_container; // not owned
    int m_kind;
    std::string m_name;
};
