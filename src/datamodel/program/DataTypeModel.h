#pragma once

#include "datamodel/model/DatamodelExport.h"
#include "datamodel/model/TableSubModel.h"
#include "datamodel/program/DeclaredObject.h"

#include <QString>

#include <memory>
#include <string>
#include <vector>


// The user data types of a project (table DataType): structures and enumerations, each one
// TYPE declaration text. Every content change marks the project as needing compilation.
class DATAMODEL_EXPORT DataTypeModel : public TableSubModel<DataTypeModel>
{
    Q_OBJECT
public:
    class DataUnit;
    using Object = DataUnit;
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

private:
    DATAMODEL_TABLE_HOOKS(DataTypeModel, DataUnit)
    bool removeFromModel(DataUnit* unit) { return removeDataUnit(unit); }
    void saved(const std::vector<unsigned int>& deletedIds);
};

extern template class TableSubModel<DataTypeModel>;

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
