#pragma once

#include "accore/SourceLocation.h"

#include <string>

namespace ac {

// One diagnostic of the core: where (object, line, column), how bad, and what happened.
// Messages are values: the data model stores them unchanged in its objects.
class ACMessage
{
public:
    enum Severity { Error, Warning, Info };

    ACMessage() = default;
    ACMessage(Severity severity, std::string objectName, SourceLocation at, std::string text);

    Severity severity() const { return m_severity; }
    const std::string& objectName() const { return m_objectName; }
    int line() const { return m_at.line; }
    int column() const { return m_at.column; }
    SourceLocation location() const { return m_at; }
    const std::string& message() const { return m_text; }
    bool isError() const { return m_severity == Error; }

    void setObjectName(const std::string& name) { m_objectName = name; }

    // "OBJECT:LINE:COLUMN: severity: message"
    std::string toString() const;
    static const char* severityWord(Severity severity);

    // Named constructors, one per kind of diagnostic. `found` is the text of what was
    // read (quoted in the message), `expected` says what would have been accepted.
    static ACMessage unexpectedToken(const std::string& object, SourceLocation at,
                                     const std::string& found, const std::string& expected);
    static ACMessage unknownType(const std::string& object, SourceLocation at, const std::string& typeName);
    static ACMessage duplicateName(const std::string& object, SourceLocation at, const std::string& name,
                                   const std::string& container);
    static ACMessage missingEndVar(const std::string& object, SourceLocation at, const std::string& found,
                                   int sectionLine);
    static ACMessage valueDoesNotFit(const std::string& object, SourceLocation at, const std::string& value,
                                     const std::string& typeName, const std::string& why);
    static ACMessage undeclaredIdentifier(const std::string& object, SourceLocation at, const std::string& name);
    static ACMessage unknownMember(const std::string& object, SourceLocation at, const std::string& member,
                                   const std::string& typeName);
    static ACMessage invalidType(const std::string& object, SourceLocation at, const std::string& why);
    static ACMessage invalidLiteral(const std::string& object, SourceLocation at, const std::string& text,
                                    const std::string& why);
    static ACMessage invalidAddress(const std::string& object, SourceLocation at, const std::string& text);
    static ACMessage unterminated(const std::string& object, SourceLocation at, const std::string& what);
    static ACMessage tooDeep(const std::string& object, SourceLocation at);
    static ACMessage nameMismatch(const std::string& object, SourceLocation at, const std::string& declared);
    static ACMessage notConstant(const std::string& object, SourceLocation at, const std::string& name);
    static ACMessage typeCycle(const std::string& object, SourceLocation at, const std::string& name,
                               const std::string& through);
    static ACMessage notAllowed(const std::string& object, SourceLocation at, const std::string& what);

private:
    Severity m_severity = Error;
    std::string m_objectName;
    SourceLocation m_at;
    std::string m_text;
};

} // namespace ac
