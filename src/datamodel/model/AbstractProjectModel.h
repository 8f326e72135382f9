#pragma once

#include "datamodel/model/DatamodelExport.h"

#include <QObject>
#include <QSqlDatabase>
#include <QString>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

class SubModel;
class AbstractProjectModelPrivate;
class QSqlQuery;

// The in-memory form of one open project: its name, where it lives, its database connection,
// its sub-models (owned, keyed by name) and extension objects (not owned).
//
// For a project opened for editing, filePath() is the project folder (it holds the database
// file, the lock file "project.nvlock", "project.mem" and the Libraries folder) and
// absoultFilePath() is the database file in it. A library opened only to be read may be
// constructed with its database file as both.
//
// This base knows no sub-model kind: the project models above it (project/) create the
// sub-models, and the sub-models reach their project, its connection and its type through
// this class alone.
class DATAMODEL_EXPORT AbstractProjectModel : public QObject
{
    Q_OBJECT
public:
    enum ProjectType : int32_t {
        Project = 0,
        UserLib = 1,
        FirmwareLib = 2,
        Unknown = 3, // any other creation text; also the type between open and reading the record
        CompiledLib = 4,
    };

    // Every project and library file is created and first opened with this password.
    static const QString DefaultPassword;
    // The driver's error number for a file that is a database under another password.
    static constexpr int WrongPasswordError = 200;
    // The driver's error number of a file refused because it holds code (a trigger, a view,
    // an index on expressions) that no project file has.
    static constexpr int UntrustedFileError = 201;

    AbstractProjectModel(std::string name, std::string filePath, std::string absoluteFilePath);
    ~AbstractProjectModel() override;

    const std::string& name() const;
    void setName(std::string name);
    const std::string& filePath() const;
    void setFilePath(std::string filePath);
    const std::string& absoultFilePath() const;

    ProjectType type() const;
    void setProjectType(ProjectType type);
    int getFileID() const;
    void setFileId(int fileId);
    // While false, changes do not stamp the project information's change times.
    bool isUpdateStatue() const;
    void setUpdateStatue(bool update);

    QSqlDatabase db() const;
    // Takes over the connection `db` (opened by openDB) and removes the one held before.
    void setSqlDatabase(QSqlDatabase* db);
    void closeDb();
    QString password() const;
    void setPassword(const QString& password);
    // A statement prepared once per connection and reused: bind values and exec. The reference
    // is valid until the connection changes.
    QSqlQuery& preparedQuery(const QString& statement);

    // Why the last save or open failed: the first failure reported while it ran, naming the
    // object and the cause ("save POU 'Main' failed: database or disk is full"); empty after
    // one that succeeded.
    QString lastError() const;
    // Records `text` as the cause of the failing save or open, unless one was recorded already
    // since clearLastError(). Sub-models report through SubModel::logFailure().
    void noteFailure(const std::string& text);
    void clearLastError();

    static QString typeText(ProjectType type);
    static ProjectType typeFromText(const std::string& text);

    // Opens a library file read-only as a project model of the kind this project reads its
    // libraries with; null when the file does not open. The base reads no libraries: the
    // project models that create sub-models override it.
    virtual std::unique_ptr<AbstractProjectModel> openLibraryFile(const std::string& name,
                                                                  const std::string& filePath,
                                                                  const QString& password) const;

    // Registers a sub-model under its name and takes ownership of it. False when a sub-model
    // of that name is registered already: the first one stays and the caller keeps `model`.
    bool addSubModel(SubModel* model);
    SubModel* subModel(const std::string& name) const;
    // The sub-model registered under the class name of T, or null.
    template <typename T>
    T* subModel() const
    {
        return dynamic_cast<T*>(subModel(T::staticMetaObject.className()));
    }
    // Every sub-model in name order; every loop over the sub-models runs in this order.
    std::vector<SubModel*> subModels() const;
    const std::map<std::string, SubModel*>& subModelMap() const;

    bool addExtension(QObject* extension);
    QObject* extension(const std::string& name) const;

public slots:
    virtual bool open(const std::string& name, const std::string& filePath, const std::string& password,
                      bool writable) = 0;
    virtual bool create(const std::map<std::string, std::string>& params) = 0;
    virtual bool save() = 0;
    virtual bool saveAs(const std::string& name, const std::string& filePath, bool flag) = 0;

protected:
    void deleteSubModels();
    // Makes `db` the model's connection and hands back the one held before, still open, so
    // that a switch to another file can be undone. Statements of the old one are finished.
    QSqlDatabase exchangeDatabase(QSqlDatabase db);
    // Finishes and forgets every prepared statement: VACUUM and re-keying need the connection
    // without pending statements.
    void finishStatements();

private:
    std::unique_ptr<AbstractProjectModelPrivate> d;
};
