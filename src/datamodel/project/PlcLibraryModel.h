#pragma once

#include "datamodel/model/DatamodelExport.h"
#include "datamodel/project/AbstractPlcProjectModel.h"

// A library project: the seven sub-models that every project has, created from or opened on
// one database file.
namespace ac {
class ACCore;
}

class DATAMODEL_EXPORT PlcLibraryModel : public AbstractPlcProjectModel
{
    Q_OBJECT
public:
    PlcLibraryModel(std::string name, std::string filePath, std::string absoluteFilePath);
    ~PlcLibraryModel() override;

public slots:
    bool open(const std::string& name, const std::string& filePath, const std::string& password,
              bool writable) override;
    bool create(const std::map<std::string, std::string>& params) override;
    virtual bool isOpen() const;

protected:
    // Fills a new file from the embedded script of the project type.
    void initDB(QSqlDatabase* db, const QString& programStyle);
    // Registers the sub-models common to every project.
    void createModel();

private:
    // Adds the tables that older files lack (only when `enable`).
    void createTable(bool enable);
    // Whether the open file is a project (it has its information table); else why not.
    bool holdsProject(QString* why);
    // A compiler core for this project, registered under its name.
    void createCore(const QString& programStyle, const std::string& filePath);

    bool m_registeredCore = false;
    ac::ACCore* m_core = nullptr; // owned by the core registry
};
