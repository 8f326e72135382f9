#include "datamodel/project/PlcProjectModel.h"

#include "datamodel/auxiliary/HmiCfgModel.h"
#include "datamodel/auxiliary/SoftComponentModel.h"
#include "datamodel/auxiliary/WatchListModel.h"
#include "datamodel/device/DeviceTreeModel.h"
#include "datamodel/model/SubModel.h"
#include "datamodel/motion/AxisGroupModel.h"
#include "datamodel/motion/AxisModel.h"
#include "datamodel/motion/EcamModel.h"
#include "datamodel/motion/TraceModel.h"
#include "datamodel/program/TaskModel.h"

#include <memory>

PlcProjectModel::PlcProjectModel(std::string name, std::string filePath, std::string absoluteFilePath)
    : PlcLibraryModel(std::move(name), std::move(filePath), std::move(absoluteFilePath))
{
}

PlcProjectModel::~PlcProjectModel() = default;

void PlcProjectModel::createProjectModels()
{
    // A sub-model registered already (this object opened a second time) stays.
    auto add = [this](std::unique_ptr<SubModel> model) {
        if (addSubModel(model.get()))
            model.release(); // owned by the project model now
    };
    add(std::make_unique<TaskModel>("TaskModel", this));
    add(std::make_unique<WatchListModel>("WatchListModel", this));
    add(std::make_unique<TraceModel>("TraceModel", this));
    add(std::make_unique<DeviceTreeModel>("DeviceTreeModel", this));
    add(std::make_unique<AxisModel>("AxisModel", this));
    add(std::make_unique<AxisGroupModel>("AxisGroupModel", this));
    add(std::make_unique<EcamModel>("EcamModel", this));
    add(std::make_unique<HmiCfgModel>("HmiCfgModel", this));
    add(std::make_unique<SoftComponentModel>("SoftComponentModel", this));
}

bool PlcProjectModel::open(const std::string& name, const std::string& filePath, const std::string& password,
                           bool writable)
{
    createProjectModels();
    if (!PlcLibraryModel::open(name, filePath, password, writable))
        return false;
    // The compiler core is set up after the sub-models were read: the motion objects declare
    // their variables in it now.
    if (writable) {
        if (auto* axes = subModel<AxisModel>())
            axes->loadVariables();
        if (auto* groups = subModel<AxisGroupModel>())
            groups->loadVariables();
        if (auto* cams = subModel<EcamModel>())
            cams->loadVariables();
    }
    return true;
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
