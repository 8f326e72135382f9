#pragma once

#include "datamodel/model/DatamodelExport.h"
#include "datamodel/model/AbstractProjectModel.h"

#include <QMap>
#include <QSqlDatabase>
#include <QString>

#include <cstdint>
#include <memory>

class AbstractPlcProjectModelPrivate;
class PlcLibraryModel;
class QSqlQuery;

// A PLC project or library database: the connection, the password, the project type, and the
// static operations that open, check and re-key a database file or read its project
// information without a model.
class DATAMODEL_EXPORT AbstractPlcProjectModel : public AbstractProjectModel
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
    static constexpr int WrongPasswordError = 200;

    AbstractPlcProjectModel(std::string name, std::string filePath, std::string absoluteFilePath);
    ~AbstractPlcProjectModel() override;

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

    static QString typeText(ProjectType type);
    static ProjectType typeFromText(const std::string& text);

    static bool openDB(const std::string& name, const std::string& filePath, QSqlDatabase& db, QString password,
                       bool writable);
    static bool checkDbFile(const std::string& name, const std::string& filePath, int& error, QString password);
    static bool checkDbValid(const std::string& name, const std::string& filePath);
    static bool modifyDbPassword(AbstractPlcProjectModel* model, const QString& password);

    // Opens a library file read-only as a model; null when it does not open. Owned by the caller.
    static PlcLibraryModel* openLibrary(const std::string& name, const std::string& filePath, QString password);
    static QMap<QString, QString> getProjectInfo(QString name, QString filePath,
                                                 const QString& password = DefaultPassword);
    static bool setProjectInfo(QString name, QString filePath, const QMap<QString, QString>& info,
                               const QString& password = DefaultPassword);
    static void setDeviceMemery(const std::string& name);

public slots:
    bool open(const std::string& name, const std::string& filePath, const std::string& password,
              bool writable) override;
    bool create(const std::map<std::string, std::string>& params) override;
    bool save() override;
    bool saveAs(const std::string& name, const std::string& filePath, bool flag) override;

protected:
    static void initHiddenData(AbstractProjectModel* project);
    bool releaseDBBroken();
    void log(const std::string& text) const;

private:
    std::unique_ptr<AbstractPlcProjectModelPrivate> d;
};
