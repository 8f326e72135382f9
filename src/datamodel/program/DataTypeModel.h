#pragma once

#include "datamodel/model/DatamodelExport.h"
#include "datamodel/model/SubModel.h"
#include "datamodel/program/DeclaredObject.h"

#include <QString>

#include <memory>
#include <string>
#include <vector>

class DataTypeModelPrivate;

// The user data types of a project (table DataType): structures and enumerations, each one
// TYPE declaration text. Every content change marks the project as needing compilation.
class DATAMODEL_EXPORT DataTypeModel : public SubModel
{
    Q_OBJECT
public:
    class DataUnit;
    // Stored and handed back, never interpreted here.
    enum PrjDataType : int { Struct = 0, Enum = 1 };

    DataTypeModel(const std::string& name, AbstractProjectModel* project);
    ~DataTypeModel() override;

    // A new type under the first free id; null only when no id is left. Names are not
    // checked: two types may bear one name.
    DataUnit* addDataUnit(const std::string& name, PrjDataType type, unsigned int folderId);
    DataUnit* dataUnit(unsigned int id) const;
    // The first type in id order whose name equals `name` ignoring case.
    DataUnit* dataUnit(const QString& name) const;
    void allDataUnits(std::vector<DataUnit*>& out) const;
    bool removeDataUnit(DataUnit* unit);

public slots:
    bool open() override;
    bool save() override;
    bool saveAs(bool flag) override;
    bool insertObject(const QString& path, const QString& data) override;
    bool removeObject(const QString& path, QString& data) override;
    bool renameObject(const QString& path, const QString& name) override;
    bool moveObject(const QString& path, const QString& to) override;
    QString getObjPath(ModelObject* obj) override;
    QString getObjIndex(ModelObject* obj) override;
    QString objToData(ModelObject* obj) override;

private slots:
    bool saveObject(ModelObject* obj) override;
    bool loadObject(ModelObject* obj) override;

private:
    bool writeRow(DataUnit* unit);
    void markModified() const;

    std::unique_ptr<DataTypeModelPrivate> d;
};

class DATAMODEL_EXPORT DataTypeModel::DataUnit : public DeclaredObject
{
public:
    DataUnit(unsigned int id, const std::string& name, PrjDataType type, unsigned int folderId, SubModel* owner);

    PrjDataType type() const { return m_type; }
    long long synceTime() const { return syncTime(); }
    void setSynceTime(long long time) { setSyncTime(time); }
    int coreParseKind() const override;

    void rename(const std::string& name);

private:
    friend class DataTypeModel;
    PrjDataType m_type;
};
