#pragma once

// What a PLCopen TC6 file says about declarations, shared by the writer and the reader: the
// writer fills it from the compiler core's symbols, the reader from the XML, and both render
// it as declaration text. That text is also the fingerprint of an object's TC6 content: when
// the text rendered from a file equals the one rendered at export, no other tool changed the
// object, and our own import takes the original text kept in addData (with its comments,
// pragmas and layout) instead of the rendered one.
#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace ac {
class ACCore;
}

namespace PlcOpenFormat {

inline const QString Namespace = QStringLiteral("http://www.plcopen.org/xml/tc6_0201");
inline const QString XhtmlNamespace = QStringLiteral("http://www.w3.org/1999/xhtml");
// Our own addData: ids, folders, original texts, editor data, devices, motion objects.
inline const QString DataNamespace = QStringLiteral("urn:norvale:datamodel:plcopen:1");

struct Variable;

// A type as TC6 writes it (the content of <type>, <baseType> or <returnType>).
struct TypeRef
{
    enum Kind { Elementary, String, WString, Array, Derived, Pointer, Enum, Struct, Subrange };
    Kind kind = Elementary;
    QString name;   // Elementary: the TC6 element name ("INT", "DT"); Derived: the type's name
    QString length; // strings: the declared length, empty for the default
    std::vector<std::pair<QString, QString>> dimensions; // arrays: lower, upper
    std::shared_ptr<TypeRef> base;                       // array element, pointer target, subrange base
    std::vector<std::pair<QString, QString>> values;     // enums: name, value (empty: implicit)
    std::vector<Variable> members;                       // structs
    QString lower, upper;                                // subranges

    static TypeRef named(Kind kind, const QString& name)
    {
        TypeRef type;
        type.kind = kind;
        type.name = name;
        return type;
    }
};

// An initial value: a literal, an array of (repetition, value) or a structure of (member, value).
struct Value
{
    enum Kind { Simple, Array, Struct };
    Kind kind = Simple;
    QString text;
    std::vector<std::pair<QString, Value>> items;
};

struct Variable
{
    QString name;
    TypeRef type;
    std::optional<Value> initialValue;
    QString address; // as declared: "%IX0.0"
    QString documentation;
};

// One variable section: its TC6 element name ("inputVars", "globalVars", ...) and flags.
struct VarList
{
    QString section;
    bool constant = false;
    bool retain = false;
    std::vector<Variable> variables;
};

struct PouDecl
{
    QString name;
    QString pouType; // "program", "function", "functionBlock"
    std::optional<TypeRef> returnType;
    std::vector<VarList> lists;
};

struct TypeDecl
{
    QString name;
    TypeRef type;
    std::optional<Value> initialValue;
};

// The elementary types TC6 has elements for, and our names of those it spells otherwise.
bool isElementary(const QString& tc6Name);
QString elementaryFromIec(const QString& iecName); // "DATE_AND_TIME" -> "DT"; empty when none

// Declaration text as the compiler core reads it.
QString typeText(const TypeRef& type);
QString valueText(const Value& value);
QString pouText(const PouDecl& pou);
QString typesText(const std::vector<TypeDecl>& types);
QString listText(const std::vector<VarList>& lists);

// From the compiler core's symbols (parsed before). Null / empty when the core lacks them.
std::optional<PouDecl> pouFromCore(const ac::ACCore& core, const QString& name);
std::vector<TypeDecl> typesFromCore(const ac::ACCore& core, const QString& unitName);
std::vector<VarList> listFromCore(const ac::ACCore& core, const QString& name);

// Text that XML 1.0 keeps as it is: no carriage return (a reader turns it into a line feed)
// and no control character other than tab and line feed.
bool keepsInXml(const QString& text);
// What is left of `text` after a trip through XML (line ends as line feeds, other control
// characters dropped): the body written for a text that XML cannot keep.
QString xmlSafe(const QString& text);

// The digest that marks an object's TC6 content at export (of its rendered declaration).
QString fingerprint(const QString& declarationText);

// An object of the program tree of an export (ProjectText): its file and its index entry.
struct IndexedObject
{
    QString path;      // "program/Programs/Main.prg.st"
    QString indexPath; // the index.json that lists it
    QJsonObject entry;
};
// Every object listed in an index.json of `files`, by path.
std::map<QString, IndexedObject> indexedObjects(const std::map<QString, QByteArray>& files);

// TC6 element name of a variable section of the core, and back (0 when unknown).
QString sectionName(int scope);
int sectionScope(const QString& section);

} // namespace PlcOpenFormat
