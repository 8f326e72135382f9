#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

namespace nvlbuild {

// One declaration source of a library: a data type, a global variable list or a POU, with
// the folder (the source's sub-folder) it is filed under.
struct SourceObject
{
    enum Kind { DataType, GlobalList, Pou };

    Kind kind = Pou;
    QString name;
    QString folder;       // "Alarms", "Utilities/Scaling"; empty for the top
    QString file;         // the declaration source, for messages
    std::string declaration;
    std::string logic;    // POUs: the body from "<name>.logic.st"
    int subKind = 0;      // DataTypeModel::PrjDataType or PouModel::PouType
};

// The translated comment of one key in every language of the library.
struct Translation
{
    QString key;                   // a POU, type or list name, or "POU.variable"
    QMap<QString, QString> texts;  // language ("zh_CN") -> text
};

// A library's source folder: "library.json" names the library, its type and version and its
// declaration sources in the order in which they depend on each other; a tab-separated
// translation file holds the comments of its objects, one language per column.
class LibraryManifest
{
public:
    bool read(const QString& folder, QString* error);

    // Which object a declaration text declares, from its first keyword.
    static bool classify(const QString& text, SourceObject& object, QString* error);

    QString name;     // the base name: "sys_include" makes "sys_include.nvl"
    QString type;     // "UserLib" or "FirmwareLib"
    QString version;
    QString author;
    QString comments;
    std::vector<SourceObject> objects;
    QStringList languages;
    std::vector<Translation> translations;

private:
    bool readTranslations(const QString& file, QString* error);
};

} // namespace nvlbuild
