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

// Motion objects, one file each: motion/axes/STEM.axis.json, motion/groups/STEM.group.json,
// motion/cams/STEM.cam.json with its key points in STEM.cam.csv, motion/traces/STEM.trace.json.
inline const QString AxesFolder = QStringLiteral("motion/axes");
inline const QString GroupsFolder = QStringLiteral("motion/groups");
inline const QString CamsFolder = QStringLiteral("motion/cams");
inline const QString TracesFolder = QStringLiteral("motion/traces");
inline const QString AxisSuffix = QStringLiteral(".axis.json");
inline const QString GroupSuffix = QStringLiteral(".group.json");
inline const QString CamSuffix = QStringLiteral(".cam.json");
inline const QString CamPointsSuffix = QStringLiteral(".cam.csv");
inline const QString TraceSuffix = QStringLiteral(".trace.json");
// The auxiliary tables: watch lists one file each, the rest one file per table.
inline const QString WatchFolder = QStringLiteral("auxiliary/watch");
inline const QString WatchSuffix = QStringLiteral(".watch.json");
inline const QString HmiFile = QStringLiteral("auxiliary/hmi.json");
inline const QString CommentsFile = QStringLiteral("auxiliary/comments.json");
inline const QString TranslationsFile = QStringLiteral("auxiliary/translations.json");
// The hidden lists that declare one variable per axis, axis group and cam table. They are
// derived from those objects: not exported, and rebuilt by the import.
inline bool isMotionVariableList(const std::string& name)
{
    return name == "HiddenAxisVar" || name == "HiddenAxisGroupVar" || name == "EcamVars";
}
// The head line of a points file; then one key point per line, in the table's order.
inline const QByteArray CamPointsHead = QByteArrayLiteral("id,mainAxis,slaveAxis,velocity,acceleration,camCurveType,align1,align2,align3");

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

// Helpers of the readers: the 1-based line of a byte offset; a JSON number that is a whole
// unsigned 32-bit id; a JSON object whose members are all texts (or no value at all).
int lineAt(const QByteArray& bytes, int offset);
bool toId(const QJsonValue& value, unsigned int& id);
bool stringMembers(const QJsonValue& value);

QString languageName(int language);
// -1 for an unknown name.
int languageFromName(const QString& name);

} // namespace ExchangeFormat
