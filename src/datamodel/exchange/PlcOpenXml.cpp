#include "datamodel/exchange/PlcOpenXml_p.h"

#include "datamodel/program/PouModel.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QStringList>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

using namespace PlcOpenFormat;

namespace PlcOpenXml {

namespace {

const QString& ns()
{
    return Namespace;
}

void attribute(QXmlStreamWriter& xml, const char* name, const QString& value)
{
    xml.writeAttribute(QLatin1String(name), value);
}

// Unsigned subranges: their base cannot hold a negative bound.
bool isUnsigned(const TypeRef& type)
{
    static const QStringList unsignedNames = {"BYTE", "WORD", "DWORD", "LWORD", "USINT", "UINT", "UDINT", "ULINT"};
    return type.kind == TypeRef::Elementary && unsignedNames.contains(type.name);
}

void writeBase(QXmlStreamWriter& xml, const std::shared_ptr<TypeRef>& base)
{
    xml.writeStartElement(ns(), QStringLiteral("baseType"));
    writeType(xml, base ? *base : TypeRef::named(TypeRef::Elementary, QStringLiteral("INT")));
    xml.writeEndElement();
}

void writeDocumentation(QXmlStreamWriter& xml, const QString& text)
{
    xml.writeStartElement(ns(), QStringLiteral("documentation"));
    xml.writeTextElement(XhtmlNamespace, QStringLiteral("p"), xmlSafe(text));
    xml.writeEndElement();
}

} // namespace

void startData(QXmlStreamWriter& xml)
{
    xml.writeStartElement(ns(), QStringLiteral("addData"));
    xml.writeStartElement(ns(), QStringLiteral("data"));
    attribute(xml, "name", DataNamespace);
    // Another tool that rewrites the file keeps what it does not understand.
    attribute(xml, "handleUnknown", QStringLiteral("preserve"));
}

void endData(QXmlStreamWriter& xml)
{
    xml.writeEndElement();
    xml.writeEndElement();
}

void writeText(QXmlStreamWriter& xml, const QString& element, const std::string& text)
{
    xml.writeStartElement(DataNamespace, element);
    writeBytes(xml, QByteArray::fromStdString(text));
    xml.writeEndElement();
}

void writeBytes(QXmlStreamWriter& xml, const QByteArray& bytes)
{
    const QString text = QString::fromUtf8(bytes);
    if (text.toUtf8() == bytes && keepsInXml(text)) {
        xml.writeCDATA(text); // kept as it is when another tool indents the file
        return;
    }
    attribute(xml, "encoding", QStringLiteral("base64"));
    xml.writeCharacters(QString::fromLatin1(bytes.toBase64()));
}

void writeType(QXmlStreamWriter& xml, const TypeRef& type)
{
    switch (type.kind) {
    case TypeRef::Elementary: xml.writeEmptyElement(ns(), type.name); return;
    case TypeRef::String:
    case TypeRef::WString:
        xml.writeEmptyElement(ns(), type.kind == TypeRef::String ? QStringLiteral("string") : QStringLiteral("wstring"));
        if (!type.length.isEmpty())
            attribute(xml, "length", type.length);
        return;
    case TypeRef::Derived:
        xml.writeEmptyElement(ns(), QStringLiteral("derived"));
        attribute(xml, "name", type.name);
        return;
    case TypeRef::Array:
        xml.writeStartElement(ns(), QStringLiteral("array"));
        for (const auto& [lower, upper] : type.dimensions) {
            xml.writeEmptyElement(ns(), QStringLiteral("dimension"));
            attribute(xml, "lower", lower);
            attribute(xml, "upper", upper);
        }
        writeBase(xml, type.base);
        break;
    case TypeRef::Pointer:
        xml.writeStartElement(ns(), QStringLiteral("pointer"));
        writeBase(xml, type.base);
        break;
    case TypeRef::Enum:
        xml.writeStartElement(ns(), QStringLiteral("enum"));
        xml.writeStartElement(ns(), QStringLiteral("values"));
        for (const auto& [name, value] : type.values) {
            xml.writeEmptyElement(ns(), QStringLiteral("value"));
            attribute(xml, "name", name);
            if (!value.isEmpty())
                attribute(xml, "value", value);
        }
        xml.writeEndElement();
        if (type.base)
            writeBase(xml, type.base);
        break;
    case TypeRef::Struct:
        xml.writeStartElement(ns(), QStringLiteral("struct"));
        for (const Variable& member : type.members)
            writeVariable(xml, member);
        break;
    case TypeRef::Subrange:
        xml.writeStartElement(ns(), type.base && isUnsigned(*type.base) ? QStringLiteral("subrangeUnsigned")
                                                                         : QStringLiteral("subrangeSigned"));
        xml.writeEmptyElement(ns(), QStringLiteral("range"));
        attribute(xml, "lower", type.lower);
        attribute(xml, "upper", type.upper);
        writeBase(xml, type.base);
        break;
    }
    xml.writeEndElement();
}

void writeValue(QXmlStreamWriter& xml, const Value& value)
{
    if (value.kind == Value::Simple) {
        xml.writeEmptyElement(ns(), QStringLiteral("simpleValue"));
        attribute(xml, "value", xmlSafe(value.text));
        return;
    }
    const bool array = value.kind == Value::Array;
    xml.writeStartElement(ns(), array ? QStringLiteral("arrayValue") : QStringLiteral("structValue"));
    for (const auto& [key, item] : value.items) {
        xml.writeStartElement(ns(), QStringLiteral("value"));
        if (!array)
            attribute(xml, "member", key);
        else if (!key.isEmpty() && key != QLatin1String("1"))
            attribute(xml, "repetitionValue", key);
        writeValue(xml, item);
        xml.writeEndElement();
    }
    xml.writeEndElement();
}

void writeVariable(QXmlStreamWriter& xml, const Variable& variable)
{
    xml.writeStartElement(ns(), QStringLiteral("variable"));
    attribute(xml, "name", variable.name);
    if (!variable.address.isEmpty())
        attribute(xml, "address", variable.address);
    xml.writeStartElement(ns(), QStringLiteral("type"));
    writeType(xml, variable.type);
    xml.writeEndElement();
    if (variable.initialValue) {
        xml.writeStartElement(ns(), QStringLiteral("initialValue"));
        writeValue(xml, *variable.initialValue);
        xml.writeEndElement();
    }
    if (!variable.documentation.isEmpty())
        writeDocumentation(xml, variable.documentation);
    xml.writeEndElement();
}

void startVarList(QXmlStreamWriter& xml, const VarList& list, const QString& name)
{
    xml.writeStartElement(ns(), list.section);
    if (!name.isEmpty())
        attribute(xml, "name", name);
    if (list.constant)
        attribute(xml, "constant", QStringLiteral("true"));
    if (list.retain)
        attribute(xml, "retain", QStringLiteral("true"));
    for (const Variable& variable : list.variables)
        writeVariable(xml, variable);
}

void writeInterface(QXmlStreamWriter& xml, const PouDecl& pou)
{
    xml.writeStartElement(ns(), QStringLiteral("interface"));
    if (pou.returnType) {
        xml.writeStartElement(ns(), QStringLiteral("returnType"));
        writeType(xml, *pou.returnType);
        xml.writeEndElement();
    }
    for (const VarList& list : pou.lists) {
        startVarList(xml, list);
        xml.writeEndElement();
    }
    xml.writeEndElement();
}

void writeTextBody(QXmlStreamWriter& xml, const char* language, const QString& text)
{
    xml.writeStartElement(ns(), QStringLiteral("body"));
    xml.writeStartElement(ns(), QLatin1String(language));
    xml.writeStartElement(XhtmlNamespace, QStringLiteral("p"));
    xml.writeCDATA(text);
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndElement();
}

void writeTask(QXmlStreamWriter& xml, const QJsonObject& task, const std::map<qint64, QString>& pouNames)
{
    const QJsonObject properties = task.value("properties").toObject();
    xml.writeStartElement(ns(), QStringLiteral("task"));
    attribute(xml, "name", xmlSafe(task.value("name").toString()));
    const QString interval = properties.value("Interval").toString();
    if (!interval.isEmpty())
        attribute(xml, "interval", xmlSafe(interval));
    bool numeric = false;
    const uint priority = properties.value("Priority").toString().toUInt(&numeric);
    attribute(xml, "priority", QString::number(numeric ? priority : 0));
    QStringList entries;
    for (const QJsonValue& value : task.value("calls").toArray()) {
        const QJsonObject call = value.toObject();
        const QString pou = pouNames.count(qint64(call.value("pou").toDouble())) ? pouNames.at(qint64(call.value("pou").toDouble()))
                                                                                 : QString();
        entries << QString::number(qint64(call.value("entry").toDouble())) + ':' + QString::number(qint64(call.value("pou").toDouble()));
        if (pou.isEmpty())
            continue; // a POU kept in our data only: the call is kept there too
        xml.writeEmptyElement(ns(), QStringLiteral("pouInstance"));
        attribute(xml, "name", pou);
        attribute(xml, "typeName", pou);
    }
    startData(xml);
    xml.writeEmptyElement(DataNamespace, QStringLiteral("task"));
    attribute(xml, "id", QString::number(qint64(task.value("id").toDouble())));
    attribute(xml, "type", QString::number(task.value("type").toInt()));
    attribute(xml, "watchdog", QString::number(qint64(task.value("watchdog").toDouble())));
    attribute(xml, "calls", entries.join(' '));
    attribute(xml, "properties", QString::fromUtf8(QJsonDocument(properties).toJson(QJsonDocument::Compact)));
    endData(xml);
    xml.writeEndElement();
}

QString graphicElement(int language)
{
    switch (language) {
    case PouModel::POU_FBD: return QStringLiteral("FBD");
    case PouModel::POU_LD: return QStringLiteral("LD");
    case PouModel::POU_SFC: return QStringLiteral("SFC");
    default: return {};
    }
}

QString fragmentOf(const QByteArray& graph, int language)
{
    const QString element = graphicElement(language);
    return !element.isEmpty() && isFragment(graph, element) ? element : QString();
}

bool isFragment(const QByteArray& xml, const QString& element)
{
    if (!xml.startsWith('<' + element.toLatin1()))
        return false;
    QXmlStreamReader reader(xml);
    int depth = 0;
    bool rootSeen = false;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            if (depth == 0 && (rootSeen || reader.name() != element || reader.namespaceUri() != Namespace))
                return false;
            rootSeen = true;
            ++depth;
        } else if (reader.isEndElement()) {
            --depth;
        } else if (reader.isDTD() || reader.isEntityReference()) {
            return false;
        }
    }
    return !reader.hasError() && rootSeen;
}

QString fragmentMark(int index)
{
    return QStringLiteral("nv-fragment %1").arg(index);
}

QByteArray insertFragments(const QByteArray& document, const std::vector<QByteArray>& fragments)
{
    QByteArray out = document;
    int from = 0;
    for (std::size_t i = 0; i < fragments.size(); ++i) {
        const QByteArray mark = "<!--" + fragmentMark(int(i)).toUtf8() + "-->";
        const int at = out.indexOf(mark, from);
        if (at < 0)
            continue;
        out.replace(at, mark.size(), fragments[i]);
        from = at + fragments[i].size();
    }
    return out;
}

} // namespace PlcOpenXml
