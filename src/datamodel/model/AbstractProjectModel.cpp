#include "datamodel/model/AbstractProjectModel.h"

#include "datamodel/model/SubModel.h"

class AbstractProjectModelPrivate
{
public:
    std::string name;
    std::string filePath;
    std::string absoluteFilePath;
    std::map<std::string, SubModel*> subModels; // owned
    std::map<std::string, QObject*> extensions; // not owned
};

AbstractProjectModel::AbstractProjectModel(std::string name, std::string filePath, std::string absoluteFilePath)
    : d(std::make_unique<AbstractProjectModelPrivate>())
{
    d->name = std::move(name);
    d->filePath = std::move(filePath);
    d->absoluteFilePath = std::move(absoluteFilePath);
}

AbstractProjectModel::~AbstractProjectModel()
{
    deleteSubModels();
}

void AbstractProjectModel::deleteSubModels()
{
    for (auto& entry : d->subModels)
        delete entry.second;
    d->subModels.clear();
}

const std::string& AbstractProjectModel::name() const { return d->name; }
void AbstractProjectModel::setName(std::string name) { d->name = std::move(name); }
const std::string& AbstractProjectModel::filePath() const { return d->filePath; }
void AbstractProjectModel::setFilePath(std::string filePath) { d->filePath = std::move(filePath); }
const std::string& AbstractProjectModel::absoultFilePath() const { return d->absoluteFilePath; }

bool AbstractProjectModel::addSubModel(SubModel* model)
{
    if (!model || d->subModels.count(model->name()))
        return false;
    d->subModels[model->name()] = model;
    return true;
}

SubModel* AbstractProjectModel::subModel(const std::string& name) const
{
    auto it = d->subModels.find(name);
    return it == d->subModels.end() ? nullptr : it->second;
}

std::vector<SubModel*> AbstractProjectModel::subModels() const
{
    std::vector<SubModel*> out;
    out.reserve(d->subModels.size());
    for (const auto& entry : d->subModels)
        out.push_back(entry.second);
    return out;
}

const std::map<std::string, SubModel*>& AbstractProjectModel::subModelMap() const
{
    return d->subModels;
}

bool AbstractProjectModel::addExtension(QObject* extension)
{
    if (!extension)
        return false;
    const std::string key = extension->objectName().toStdString();
    if (d->extensions.count(key))
        return false;
    d->extensions[key] = extension;
    return true;
}

QObject* AbstractProjectModel::extension(const std::string& name) const
{
    auto it = d->extensions.find(name);
    return it == d->extensions.end() ? nullptr : it->second;
}
