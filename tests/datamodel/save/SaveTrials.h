#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

#include <memory>
#include <string>

class AbstractProjectModel;
class PlcProjectModel;

// What the save trials share: a generated project, one large edit across every kind of
// object, and a digest of every table's rows that tells the state before a save from the
// state after it.
namespace savetrials {

// A user project "<folder>/<name>.nvp" filled by the generator and saved; the database file.
std::string makeProject(const QString& folder, const std::string& name, int pous, int lists, int types);

// makeProject() in a new folder `folder`, with the digests of its tables (tableDigests()):
// the state before an edit. Empty digests with `error` set when it could not be made.
struct BaseProject
{
    std::string file;
    QMap<QString, QByteArray> digests;
};
BaseProject makeBaseProject(const QString& folder, const std::string& name, int pous, int lists, int types,
                            QString* error);

// The project opened for editing as a host opens it (not registered), or null.
std::unique_ptr<PlcProjectModel> openForEditing(const QString& folder, const std::string& file,
                                                const std::string& name);

// Adds, changes, renames and removes objects of every kind: POUs (declaration, logic, graph
// data), global variable lists, data types, folders, tasks with their calls, the project
// information and the device tree. The same project and scale give the same rows.
bool makeLargeEdit(AbstractProjectModel& project, int scale, QString* error);

// The objects whose modified flag is set, over every sub-model that the edit touches.
int modifiedObjects(AbstractProjectModel& project);
// All objects of those sub-models.
int objects(AbstractProjectModel& project);

// One digest per table of every row's values, time stamps left out (the columns whose name
// ends in "Time" and the members of JSON texts that do), so that the same edit made twice
// gives the same digests. Empty with `error` set when the file does not open or a table does
// not read to its end.
QMap<QString, QByteArray> tableDigests(const std::string& file, QString* error,
                                       const QString& password = QStringLiteral("kv rond"));

// "old", "new" or "mixed (TABLE, ...)" for digests against the two expected ones.
QString classify(const QMap<QString, QByteArray>& found, const QMap<QString, QByteArray>& before,
                 const QMap<QString, QByteArray>& after);

} // namespace savetrials
