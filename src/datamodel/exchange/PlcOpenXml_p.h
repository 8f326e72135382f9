#pragma once

// The pieces of a TC6 file that the writer puts together, in the schema's element order.
#include "datamodel/exchange/PlcOpenFormat_p.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <map>
#include <string>
#include <vector>

class QXmlStreamWriter;

namespace PlcOpenXml {

// <addData><data name=OUR NAMESPACE handleUnknown="discard"> ... </data></addData>
void startData(QXmlStreamWriter& xml);
void endData(QXmlStreamWriter& xml);

// A text element of our namespace: the text as CDATA when XML keeps it, else Base64 with
// encoding="base64" (carriage returns, control characters, bytes that are no UTF-8).
void writeText(QXmlStreamWriter& xml, const QString& element, const std::string& text);
void writeBytes(QXmlStreamWriter& xml, const QByteArray& bytes);

void writeType(QXmlStreamWriter& xml, const PlcOpenFormat::TypeRef& type);
void writeValue(QXmlStreamWriter& xml, const PlcOpenFormat::Value& value);
void writeVariable(QXmlStreamWriter& xml, const PlcOpenFormat::Variable& variable);
void writeInterface(QXmlStreamWriter& xml, const PlcOpenFormat::PouDecl& pou);
// Opens the list's element and writes its variables; the caller may add addData and closes it.
void startVarList(QXmlStreamWriter& xml, const PlcOpenFormat::VarList& list, const QString& name = QString());
void writeTextBody(QXmlStreamWriter& xml, const char* language, const QString& text);
// A task of tasks.json with its calls of the POUs written as <pou> (id -> name) as pouInstance
// elements; every call also in our addData.
void writeTask(QXmlStreamWriter& xml, const QJsonObject& task, const std::map<qint64, QString>& pouNames);

// TC6 body element of a graphic language ("FBD", "LD", "SFC"); empty for the others.
QString graphicElement(int language);
// True when `xml` is one element `element` of the TC6 namespace, well-formed, without DTD.
bool isFragment(const QByteArray& xml, const QString& element);
// The body element name when `graph` is a TC6 body fragment of that language (as the reader
// keeps one), else empty.
QString fragmentOf(const QByteArray& graph, int language);
// POU properties that keep the actions and transitions of an SFC from another tool as XML.
inline const char* const ActionsProperty = "PlcOpenActions";
inline const char* const TransitionsProperty = "PlcOpenTransitions";
QString fragmentMark(int index);
// Puts fragment i where the comment fragmentMark(i) stands.
QByteArray insertFragments(const QByteArray& document, const std::vector<QByteArray>& fragments);

} // namespace PlcOpenXml
