#pragma once

#include "datamodel/model/AbstractProjectModel.h"
#include "datamodel/model/DatamodelExport.h"

#include <QMap>
#include <QSqlDatabase>
#include <QString>

#include <memory>

class PlcLibraryModel;

// A PLC project or library database: opening, creating and saving it through its sub-models,
// the hidden objects of a user project, and the static operations that open, check and re-key
// a database file or read its project information without a model. The connection, the
// password and the project type live in the base.
class DATAMODEL_EXPORT AbstractPlcProjectModel : public AbstractProjectModel
{
    Q_OBJECT
public:
    AbstractPlcProjectModel(std::string name, std::string filePath, std::string absoluteFilePath);
    ~AbstractPlcProjectModel() override;

    static bool openDB(const std::string& name, const std::string& filePath, QSqlDatabase& db, QString password,
                       bool writable);
    static bool checkDbFile(const std::string& name, const std::string& filePath, int& error, QString password);
    // The same, with the driver's text of a failure in `errorText` (the refusal of a file that
    // holds code of its author names the object).
    static bool checkDbFile(const std::string& name, const std::string& filePath, int& error, QString password,
                            QString* errorText);
    static bool checkDbValid(const std::string& name, const std::string& filePath);
    static bool modifyDbPassword(AbstractPlcProjectModel* model, const QString& password);

    // Opens a library file read-only as a model; null when it does not open. Owned by the caller.
    static PlcLibraryModel* openLibrary(const std::string& name, const std::string& filePath, QString password);
    static QMap<QString, QString> getProjectInfo(QString name, QString filePath,
                                                 const QString& password = DefaultPassword);
    static bool setProjectInfo(QString name, QString filePath, const QMap<QString, QString>& info,
                               const QString& password = DefaultPassword);
    static void setDeviceMemery(const std::string& name);

    // Libraries are read as PlcLibraryModel (openLibrary).
    std::unique_ptr<AbstractProjectModel> openLibraryFile(const std::string& name, const std::string& filePath,
                                                          const QString& password) const override;

public slots:
    bool open(const std::string& name, const std::string& filePath, const std::string& password,
              bool writable) override;
    bool create(const std::map<std::string, std::string>& params) override;
    bool save() override;
    bool saveAs(const std::string& name, const std::string& filePath, bool flag) override;

protected:
    static void initHiddenData(AbstractProjectModel* project);
    // setDeviceMemery for a project at hand, registered or not yet: its controller's memory
    // layout to the core registered under its name.
    static void handDeviceMemory(AbstractProjectModel& project);
    bool releaseDBBroken();
    void log(const std::string& text) const;
};
