#include "datamodel/model/PlcProjectModel.h"

#include "datamodel/model/SubModel.h"

PlcProjectModel::PlcProjectModel(std::string name, std::string filePath, std::string absoluteFilePath)
    : PlcLibraryModel(std::move(name), std::move(filePath), std::move(absoluteFilePath))
{
}

PlcProjectModel::~PlcProjectModel() = default;

void PlcProjectModel::createProjectModels()
{
}

bool PlcProjectModel::open(const std::string& name, const std::string& filePath, const std::string& password,
                           bool writable)
{
    createProjectModels();
    return PlcLibraryModel::open(name, filePath, password, writable);
}

bool PlcProjectModel::create(const std::map<std::string, std::string>& params)
{
    createProjectModels();
    return PlcLibraryModel::create(params);
}

bool PlcProjectModel::isOpen() const
{
    return false;
}
