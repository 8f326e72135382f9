#pragma once

#include "datamodel/model/DatamodelExport.h"
#include "datamodel/project/PlcLibraryModel.h"

// A user project: the library model's sub-models plus those of tasks, motion, devices and the
// auxiliary tables.
class DATAMODEL_EXPORT PlcProjectModel : public PlcLibraryModel
{
    Q_OBJECT
public:
    PlcProjectModel(std::string name, std::string filePath, std::string absoluteFilePath);
    ~PlcProjectModel() override;

public slots:
    bool open(const std::string& name, const std::string& filePath, const std::string& password,
              bool writable) override;
    bool create(const std::map<std::string, std::string>& params) override;
    bool isOpen() const override;

private:
    void createProjectModels();
};
