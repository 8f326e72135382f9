#pragma once

// The export folder's layout, shared by the exporter and the importer.
#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <string>

namespace ExchangeFormat {

inline const QString ProjectFile = QStringLiteral("project.json");
inline const QString TasksFile = QStringLiteral("tasks.json");
inline const QString LibrariesFile = QStringLiteral("libraries.json");
inline const QString DevicesFile = QStringLiteral("devices.json");
inline const QString ProgramFolder = QStringLiteral("program");
// One per folder of the program tree: the folders, POUs, lists and types filed there.
inline const QString IndexFile = QStringLiteral("index.json");
// The line between a POU's declaration and its logic text. A declaration line that looks like
// it (any number of '#' before "LOGIC") is written with one '#' more and read with one less.
inline const QByteArray LogicSeparator = QByteArrayLiteral("(*#LOGIC#*)");

// The file kinds of the program tree: stem + suffix.
inline const QString ProgramSuffix = QStringLiteral(".prg.st");
inline const QString BlockSuffix = QStringLiteral(".fb.st");
inline const QString FunctionSuffix = QStringLiteral(".fc.st");
inline const QString ListSuffix = QStringLiteral(".gvl.st");
inline const QString TypeSuffix = QStringLiteral(".type.st");
inline const QString GraphSuffix = QStringLiteral(".graph"); // after the POU's suffix without ".st"

// Sorted keys, one member per line, LF, final line feed.
inline QByteArray jsonBytes(const QJsonValue& value)
{
    const QJsonDocument document = value.isArray() ? QJsonDocument(value.toArray()) : QJsonDocument(value.toObject());
    return document.toJson(QJsonDocument::Indented);
}

// A text as a file: the text and one line feed, whatever the text ends with.
inline QByteArray textFile(const std::string& text)
{
    return QByteArray::fromStdString(text) + '\n';
}

QByteArray pouFile(const std::string& declaration, const std::string& logic);
// False when no separator line is found; `declaration` and `logic` as written by pouFile.
bool splitPouFile(const QByteArray& file, std::string& declaration, std::string& logic);

QString languageName(int language);
// -1 for an unknown name.
int languageFromName(const QString& name);

} // namespace ExchangeFormat
