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
    // The same, with the driver's text of a failure in `error`.
    static bool openDB(const std::string& name, const std::string& filePath, QSqlDatabase& db, QString password,
                       bool writable, QString* error);
    // Whether SQLite left a hot journal beside the file: a save was interrupted (a crash, a
    // kill, a power cut) and its changes are still to be rolled back. A read-write open does
    // that; a read-only open refuses the file until then.
    static bool hasHotJournal(const std::string& filePath);
    // Rolls back what an interrupted save left in the journal of `filePath`, as SQLite does on
    // a read-write open, before anything else reads the file. True when nothing was left or it
    // was rolled back; false with the cause in `error`. The caller holds the project's lock.
    static bool recoverInterruptedSave(const std::string& filePath, const QString& password, QString* error);
    // Why `filePath` does not open as a project with `password`, naming the file and the true
    // cause (missing, a folder, empty, unreadable, damaged, plain SQLite, wrong password, ...).
    static QString whyNotAProject(const std::string& filePath, const QString& password);
    // Empty when every page of the open database reads and its structure is sound; else what
    // is broken.
    static QString damageOf(const QSqlDatabase& db);
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

private:
    // VACUUM after a save that left much free space in the file.
    void reclaimFreePages();

    // The flag of the last saveAs(): false after an automatic save into another file.
    bool m_clearFlagsOnSave = true;
};
