#pragma once

#include "datamodel/model/DatamodelExport.h"

#include <QObject>
#include <QSqlDatabase>
#include <QString>

#include <functional>
#include <map>
#include <string>

class AbstractProjectModel;
class ModelObject;
class QSqlQuery;

// Base of every sub-model: one table family of a project database, its objects in memory,
// and the fifteen operations through which the project model and the command stack drive it
// without knowing its kind. The base versions of the editing slots refuse (false / empty), so
// a command aimed at a sub-model that does not support it has no effect.
//
// Saving. The project model's save() holds one transaction open on the project's connection
// and calls save() on every sub-model inside it; the commit at its end is the one moment the
// new state reaches the file, and a failure anywhere rolls all of it back. A sub-model's
// save() therefore
//   - writes through database() only, and may open ScopedTransactions of its own: nested in
//     the project's, they are savepoints, committed with it or rolled back with it;
//   - stops at its first failed write and returns false, with a log line naming the object
//     and the cause (SQLite may have rolled the whole transaction back already: nothing
//     written after that point would be part of it);
//   - never clears a modified flag or forgets a deleted row itself, but hands that work to
//     afterSave(), which runs it once the project's transaction has committed and drops it
//     when the save fails, so that every object stays modified and the next save writes it
//     again.
// Outside a project save (saveObject() of one object, a sub-model saved on its own) the same
// calls commit by themselves and afterSave() work runs when they do. TableSubModel follows
// these rules; a new table sub-model derived from it gets them without further work.
class DATAMODEL_EXPORT SubModel : public QObject
{
    Q_OBJECT
    friend class ModelObject;

public:
    SubModel(const std::string& name, AbstractProjectModel* projectModel);
    ~SubModel() override;

    const std::string& name() const { return m_name; }
    AbstractProjectModel* projectModel() const { return m_projectModel; }

    // Why the last add, rename, move or removal of this model was refused, in words for a
    // user ("rename POU 'A' to 'B' refused: a POU named 'B' exists already"); empty when the
    // last one went through.
    const QString& lastError() const { return m_lastError; }
    // Whether an object of this model keeps the id `id` of the sub-model named `subModel`
    // (a task's call of a POU): such an id is not handed out again while it is kept.
    virtual bool refersTo(const std::string& subModel, unsigned int id) const;

public slots:
    virtual bool open() = 0;
    // Fills the tables of a new project; a sub-model without creation work of its own reads
    // back what the creation script wrote.
    virtual bool create(const std::map<std::string, std::string>& params);
    virtual bool save() = 0;
    virtual bool saveAs(bool flag) = 0;
    virtual bool insertObject(const QString& path, const QString& data);
    virtual bool removeObject(const QString& path, QString& data);
    virtual bool renameObject(const QString& path, const QString& name);
    virtual bool moveObject(const QString& path, const QString& to);
    virtual bool changeProperty(const QString& path, const QString& key, const QString& from,
                                const QString& to);
    virtual QString getObjPath(ModelObject* obj);
    virtual QString getObjIndex(ModelObject* obj);
    virtual QString objToData(ModelObject* obj);
    virtual bool restoreObj(ModelObject* obj, const QString& data);

private slots:
    virtual bool saveObject(ModelObject* obj) = 0;
    virtual bool loadObject(ModelObject* obj) = 0;

protected:
    // The project's database connection (invalid when the project has none).
    QSqlDatabase database() const;
    // One log line through the host, category "datamodel", this sub-model's name as module.
    void writeLog(int type, const std::string& text) const;
    // A failure of a save or a load: logged as writeLog() does, and kept by the project as the
    // cause of its failed save or open (AbstractProjectModel::lastError()). The text names the
    // object and the cause.
    void logFailure(const std::string& text) const;
    // After a loop over the rows of `query` read from `table`: false, with the failure logged
    // and kept as the cause of the open, when the loop ended on a read error (a damaged page,
    // an I/O error) instead of after the last row. A half-read table is never taken for the
    // whole one.
    bool readToTheEnd(const QSqlQuery& query, const char* table) const;
    // Work that may happen only once this sub-model's writes are in the file (clearing modified
    // flags, forgetting deleted rows): runs when the transaction open on the project's
    // connection commits, is dropped when it rolls back, and runs at once when none is open.
    void afterSave(std::function<void()> work) const;
    // Marks the project as needing compilation ("Compile" = "false") and stamps the time of
    // the program change (cfg false) or of the configuration change (cfg true).
    void markProjectModified(bool cfg) const;
    // Records and logs why an edit was refused; returns false for the caller to pass on.
    bool refuse(const QString& message) const;
    void clearLastError() const { m_lastError.clear(); }

private:
    // An object of this model set its modified flag, or changed its name from `oldName`.
    virtual void objectModified(ModelObject*) {}
    virtual void objectRenamed(ModelObject*, const std::string& /*oldName*/) {}

    std::string m_name;
    AbstractProjectModel* m_projectModel = nullptr; // not owned
    mutable QString m_lastError;
};
