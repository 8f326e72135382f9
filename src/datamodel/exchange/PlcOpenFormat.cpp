#include "datamodel/exchange/PlcOpenFormat_p.h"

#include "datamodel/exchange/ExchangeFormat_p.h"
#include "datamodel/memory/Md5.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QStringList>

namespace PlcOpenFormat {

namespace {

// TC6 names of elementary types and our spelling where it differs.
const std::pair<const char*, const char*> elementaries[] = {
    {"BOOL", "BOOL"},   {"BYTE", "BYTE"},   {"WORD", "WORD"},   {"DWORD", "DWORD"}, {"LWORD", "LWORD"},
    {"SINT", "SINT"},   {"INT", "INT"},     {"DINT", "DINT"},   {"LINT", "LINT"},   {"USINT", "USINT"},
    {"UINT", "UINT"},   {"UDINT", "UDINT"}, {"ULINT", "ULINT"}, {"REAL", "REAL"},   {"LREAL", "LREAL"},
    {"TIME", "TIME"},   {"DATE", "DATE"},   {"DT", "DATE_AND_TIME"}, {"TOD", "TIME_OF_DAY"}};

const std::pair<int, const char*> sections[] = {
    {4, "inputVars"}, {8, "outputVars"}, {12, "inOutVars"}, {2, "localVars"},
    {32, "tempVars"}, {64, "externalVars"}, {1, "globalVars"}};

QString iecKeyword(const QString& section)
{
    static const std::pair<const char*, const char*> keywords[] = {
        {"inputVars", "VAR_INPUT"}, {"outputVars", "VAR_OUTPUT"}, {"inOutVars", "VAR_IN_OUT"}, {"localVars", "VAR"},
        {"tempVars", "VAR_TEMP"}, {"externalVars", "VAR_EXTERNAL"}, {"globalVars", "VAR_GLOBAL"}};
    for (const auto& [tc6, iec] : keywords)
        if (section == QLatin1String(tc6))
            return QLatin1String(iec);
    return QStringLiteral("VAR");
}

// A comment that no text of it can close early.
QString comment(const QString& text)
{
    QString safe = text;
    safe.replace(QStringLiteral("*)"), QStringLiteral("* )")).replace('\n', ' ').replace('\r', ' ');
    return QStringLiteral(" (* %1 *)").arg(safe);
}

QString variableLine(const Variable& variable, const QString& indent)
{
    QString line = indent + variable.name;
    if (!variable.address.isEmpty())
        line += QStringLiteral(" AT ") + variable.address;
    line += QStringLiteral(" : ") + typeText(variable.type);
    if (variable.initialValue)
        line += QStringLiteral(" := ") + valueText(*variable.initialValue);
    line += ';';
    if (!variable.documentation.isEmpty())
        line += comment(variable.documentation);
    return line + '\n';
}

QString listsText(const std::vector<VarList>& lists)
{
    QString text;
    for (const VarList& list : lists) {
        text += iecKeyword(list.section);
        if (list.constant)
            text += QStringLiteral(" CONSTANT");
        if (list.retain)
            text += QStringLiteral(" RETAIN");
        text += '\n';
        for (const Variable& variable : list.variables)
            text += variableLine(variable, QStringLiteral("    "));
        text += QStringLiteral("END_VAR\n");
    }
    return text;
}

// The part after "name :" of a TYPE declaration.
QString definitionText(const TypeRef& type)
{
    switch (type.kind) {
    case TypeRef::Struct: {
        QString text = QStringLiteral("STRUCT\n");
        for (const Variable& member : type.members)
            text += variableLine(member, QStringLiteral("    "));
        return text + QStringLiteral("END_STRUCT");
    }
    case TypeRef::Enum: {
        QStringList values;
        for (const auto& [name, value] : type.values)
            values << QStringLiteral("    ") + name + (value.isEmpty() ? QString() : QStringLiteral(" := ") + value);
        const QString base = type.base ? typeText(*type.base) + ' ' : QString();
        return base + QStringLiteral("(\n") + values.join(QStringLiteral(",\n")) + QStringLiteral("\n)");
    }
    default:
        return typeText(type);
    }
}

} // namespace

bool isElementary(const QString& tc6Name)
{
    return !elementaryFromIec(tc6Name).isEmpty() || tc6Name == QLatin1String("DT") || tc6Name == QLatin1String("TOD");
}

QString elementaryFromIec(const QString& iecName)
{
    for (const auto& [tc6, iec] : elementaries)
        if (iecName.compare(QLatin1String(iec), Qt::CaseInsensitive) == 0)
            return QLatin1String(tc6);
    return {};
}

QString typeText(const TypeRef& type)
{
    switch (type.kind) {
    case TypeRef::Elementary:
        for (const auto& [tc6, iec] : elementaries)
            if (type.name == QLatin1String(tc6))
                return QLatin1String(iec);
        return type.name;
    case TypeRef::String:
    case TypeRef::WString: {
        const QString base = type.kind == TypeRef::String ? QStringLiteral("STRING") : QStringLiteral("WSTRING");
        return type.length.isEmpty() ? base : base + '(' + type.length + ')';
    }
    case TypeRef::Array: {
        QStringList dimensions;
        for (const auto& [lower, upper] : type.dimensions)
            dimensions << lower + QStringLiteral("..") + upper;
        return QStringLiteral("ARRAY[") + dimensions.join(QStringLiteral(", ")) + QStringLiteral("] OF ")
            + (type.base ? typeText(*type.base) : QStringLiteral("?"));
    }
    case TypeRef::Pointer: return QStringLiteral("POINTER TO ") + (type.base ? typeText(*type.base) : QStringLiteral("?"));
    case TypeRef::Subrange:
        return (type.base ? typeText(*type.base) : QStringLiteral("INT")) + QStringLiteral(" (") + type.lower
            + QStringLiteral("..") + type.upper + ')';
    case TypeRef::Derived: return type.name;
    case TypeRef::Enum:
    case TypeRef::Struct: return definitionText(type);
    }
    return type.name;
}

QString valueText(const Value& value)
{
    QStringList items;
    switch (value.kind) {
    case Value::Simple: return value.text;
    case Value::Array:
        for (const auto& [repeat, item] : value.items)
            items << (repeat.isEmpty() || repeat == QLatin1String("1") ? valueText(item)
                                                                       : repeat + '(' + valueText(item) + ')');
        return '[' + items.join(QStringLiteral(", ")) + ']';
    case Value::Struct:
        for (const auto& [member, item] : value.items)
            items << member + QStringLiteral(" := ") + valueText(item);
        return '(' + items.join(QStringLiteral(", ")) + ')';
    }
    return value.text;
}

QString pouText(const PouDecl& pou)
{
    QString header = pou.pouType == QLatin1String("function")        ? QStringLiteral("FUNCTION ")
                   : pou.pouType == QLatin1String("functionBlock") ? QStringLiteral("FUNCTION_BLOCK ")
                                                                    : QStringLiteral("PROGRAM ");
    header += pou.name;
    if (pou.returnType)
        header += QStringLiteral(" : ") + typeText(*pou.returnType);
    return header + '\n' + listsText(pou.lists);
}

QString typesText(const std::vector<TypeDecl>& types)
{
    QString text = types.size() == 1 ? QStringLiteral("TYPE ") : QStringLiteral("TYPE\n");
    for (const TypeDecl& type : types) {
        text += type.name + QStringLiteral(" :\n") + definitionText(type.type);
        if (type.initialValue)
            text += QStringLiteral(" := ") + valueText(*type.initialValue);
        text += QStringLiteral(";\n");
    }
    return text + QStringLiteral("END_TYPE\n");
}

QString listText(const std::vector<VarList>& lists)
{
    return listsText(lists);
}

bool keepsInXml(const QString& text)
{
    for (const QChar c : text)
        if (c.unicode() < 0x20 && c != '\t' && c != '\n')
            return false;
    return true;
}

QString xmlSafe(const QString& text)
{
    QString out = text;
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace('\r', '\n');
    out.remove(QRegularExpression(QStringLiteral("[\\x00-\\x08\\x0b\\x0c\\x0e-\\x1f]")));
    return out;
}

QString fingerprint(const QString& declarationText)
{
    const QByteArray bytes = declarationText.toUtf8();
    return QString::fromStdString(Md5::getMd5Hex(bytes.constData(), std::size_t(bytes.size())));
}

std::map<QString, IndexedObject> indexedObjects(const std::map<QString, QByteArray>& files)
{
    std::map<QString, IndexedObject> out;
    for (const auto& [path, bytes] : files) {
        if (!path.startsWith(ExchangeFormat::ProgramFolder + '/') || !path.endsWith('/' + ExchangeFormat::IndexFile))
            continue;
        const QString dir = path.left(path.size() - ExchangeFormat::IndexFile.size());
        for (const QJsonValue& value : QJsonDocument::fromJson(bytes).array()) {
            const QJsonObject entry = value.toObject();
            const QString file = entry.value(QStringLiteral("file")).toString();
            if (file.contains('.') && !file.contains('/'))
                out[dir + file] = IndexedObject{dir + file, path, entry};
        }
    }
    return out;
}

QString sectionName(int scope)
{
    for (const auto& [code, name] : sections)
        if (code == scope)
            return QLatin1String(name);
    return {};
}

int sectionScope(const QString& section)
{
    for (const auto& [code, name] : sections)
        if (section == QLatin1String(name))
            return code;
    return 0;
}

} // namespace PlcOpenFormat
