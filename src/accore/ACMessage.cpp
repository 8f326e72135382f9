#include "accore/ACMessage.h"

#include <utility>

namespace ac {

namespace {
std::string quoted(const std::string& text)
{
    // Keep messages one line long and bounded even for garbage input.
    std::string shown = text.size() > 40 ? text.substr(0, 40) + "..." : text;
    for (char& c : shown) {
        if (c == '\n' || c == '\r' || c == '\t')
            c = ' ';
    }
    return "'" + shown + "'";
}
} // namespace

ACMessage::ACMessage(Severity severity, std::string objectName, SourceLocation at, std::string text)
    : m_severity(severity), m_objectName(std::move(objectName)), m_at(at), m_text(std::move(text))
{
}

const char* ACMessage::severityWord(Severity severity)
{
    switch (severity) {
    case Error: return "error";
    case Warning: return "warning";
    case Info: return "info";
    }
    return "error";
}

std::string ACMessage::toString() const
{
    return m_objectName + ":" + std::to_string(m_at.line) + ":" + std::to_string(m_at.column) + ": "
        + severityWord(m_severity) + ": " + m_text;
}

ACMessage ACMessage::unexpectedToken(const std::string& object, SourceLocation at, const std::string& found,
                                     const std::string& expected)
{
    const std::string what = found.empty() ? std::string("end of text") : quoted(found);
    return {Error, object, at, "unexpected " + what + ", expected " + expected};
}

ACMessage ACMessage::unknownType(const std::string& object, SourceLocation at, const std::string& typeName)
{
    return {Error, object, at, "unknown type " + quoted(typeName)};
}

ACMessage ACMessage::duplicateName(const std::string& object, SourceLocation at, const std::string& name,
                                   const std::string& container)
{
    return {Error, object, at, "duplicate name " + quoted(name) + " in " + container};
}

ACMessage ACMessage::missingEndVar(const std::string& object, SourceLocation at, const std::string& found,
                                   int sectionLine)
{
    const std::string what = found.empty() ? std::string("end of text") : quoted(found);
    return {Error, object, at,
            "missing END_VAR for the section opened at line " + std::to_string(sectionLine) + ", found " + what};
}

ACMessage ACMessage::valueDoesNotFit(const std::string& object, SourceLocation at, const std::string& value,
                                     const std::string& typeName, const std::string& why)
{
    return {Error, object, at, "value " + quoted(value) + " does not fit type " + typeName + ": " + why};
}

ACMessage ACMessage::undeclaredIdentifier(const std::string& object, SourceLocation at, const std::string& name)
{
    return {Error, object, at, "undeclared identifier " + quoted(name)};
}

ACMessage ACMessage::unknownMember(const std::string& object, SourceLocation at, const std::string& member,
                                   const std::string& typeName)
{
    return {Error, object, at, quoted(member) + " is not a member of " + typeName};
}

ACMessage ACMessage::invalidType(const std::string& object, SourceLocation at, const std::string& why)
{
    return {Error, object, at, "invalid type: " + why};
}

ACMessage ACMessage::invalidLiteral(const std::string& object, SourceLocation at, const std::string& text,
                                    const std::string& why)
{
    return {Error, object, at, "invalid literal " + quoted(text) + ": " + why};
}

ACMessage ACMessage::invalidAddress(const std::string& object, SourceLocation at, const std::string& text)
{
    return {Error, object, at,
            "invalid address " + quoted(text) + ", expected %I, %Q or %M with X, B, W, D or L inside the device memory"};
}

ACMessage ACMessage::unterminated(const std::string& object, SourceLocation at, const std::string& what)
{
    return {Error, object, at, "unterminated " + what};
}

ACMessage ACMessage::tooDeep(const std::string& object, SourceLocation at)
{
    return {Error, object, at, "nesting too deep"};
}

ACMessage ACMessage::nameMismatch(const std::string& object, SourceLocation at, const std::string& declared)
{
    return {Warning, object, at, "declared name " + quoted(declared) + " differs from the object name " + quoted(object)};
}

ACMessage ACMessage::notConstant(const std::string& object, SourceLocation at, const std::string& name)
{
    return {Error, object, at, quoted(name) + " is not a constant"};
}

ACMessage ACMessage::typeCycle(const std::string& object, SourceLocation at, const std::string& name,
                               const std::string& through)
{
    return {Error, object, at, "type " + quoted(name) + " refers to itself through " + quoted(through)};
}

ACMessage ACMessage::notAllowed(const std::string& object, SourceLocation at, const std::string& what)
{
    return {Error, object, at, what};
}

} // namespace ac
