#pragma once

#include "datamodel/model/DatamodelExport.h"

#include <QObject>

#include <map>
#include <memory>
#include <string>
#include <vector>

class SubModel;
class AbstractProjectModelPrivate;

// The in-memory form of one open project: its name, where it lives, its sub-models (owned,
// keyed by name) and extension objects (not owned).
//
// For a project opened for editing, filePath() is the project folder (it holds the database
// file, the lock file "project.nvlock", "project.mem" and the Libraries folder) and
// absoultFilePath() is the database file in it. A library opened only to be read may be
// constructed with its database file as both.
class DATAMODEL_EXPORT AbstractProjectModel : public QObject
{
    Q_OBJECT
public:
    AbstractProjectModel(std::string name, std::string filePath, std::string absoluteFilePath);
    ~AbstractProjectModel() override;

    const std::string& name() const;
    void setName(std::string name);
    const std::string& filePath() const;
    void setFilePath(std::string filePath);
    const std::string& absoultFilePath() const;

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

private:
    std::unique_ptr<AbstractProjectModelPrivate> d;
};
