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
//
// Names: a type's name is an identifier of the language, and no other type, POU or global
// variable list has it, compared without regard to case (as dataUnit(name) finds it). A type
// is filed at the top (folder 0) or in a data type folder. Removing a type that declarations
// use (as the type of a variable, an array element, a pointer target, a base type) or that
// logic names ("E_Mode#On") is refused with the list of users: their texts would name a type
// that no longer exists.
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

    // A new type under the first free id; null, with the reason in lastError(), when the name
    // or the folder is refused or no id is left.
    DataUnit* addDataUnit(const std::string& name, PrjDataType type, unsigned int folderId);
    DataUnit* dataUnit(unsigned int id) const;
    // The first type in id order whose name equals `name` ignoring case.
    DataUnit* dataUnit(const QString& name) const;
    void allDataUnits(std::vector<DataUnit*>& out) const;
    // False, with the reason in lastError(), for a type that other texts use.
    bool removeDataUnit(DataUnit* unit);

private:
    DATAMODEL_TABLE_HOOKS(DataTypeModel, DataUnit)
    bool removeFromModel(DataUnit* unit) { return removeDataUnit(unit); }
    void saved(const std::vector<unsigned int>& deletedIds);
    QString nameRule(const std::string& name) const;
    QString nameTaken(const std::string& name, const DataUnit* self) const;
    QString removalRefusal(const DataUnit& unit) const;
    QString folderRefusal(const DataUnit* unit, unsigned int folderId) const;
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

    // False, with the reason in the model's lastError(), when the model refuses the name.
    bool rename(const std::string& name);

private:
    friend class DataTypeModel;
    PrjDataType m_type;
};
