#include "datamodel/program/DataTypeModel.h"

#include "datamodel/model/HostServices.h"
#include "datamodel/model/ObjectData_p.h"
#include "datamodel/model/TableSubModel_p.h"
#include "datamodel/program/ProgramRules_p.h"

#include "accore/ACCore.h"
#include "accore/BasicDataType.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {

using Column = ObjectData;
const QString VARDECLARATION = QStringLiteral("VARDECLARATION");

unsigned int nowSeconds()
{
    return static_cast<unsigned int>(QDateTime::currentSecsSinceEpoch());
}

} // namespace

DataTypeModel::DataTypeModel(const std::string& name, AbstractProjectModel* project)
    : TableSubModel(name, project, QStringLiteral("DATATYPE"),
                    {Column::Type, Column::Name, VARDECLARATION, Column::FolderId, Column::Properties, Column::ModifyTime}, "data type")
{
}

DataTypeModel::~DataTypeModel() = default;

DataTypeModel::DataUnit* DataTypeModel::addDataUnit(const std::string& name, PrjDataType type, unsigned int folderId)
{
    if (!allowAdd(name, folderId))
        return nullptr;
    const unsigned int id = newObjectId(name);
    if (id == IDDistributor::INVALID_ID)
        return nullptr;
    DataUnit* unit = insertNew(std::make_unique<DataUnit>(id, name, type, folderId, this));
    writeLog(HostServices::LogInfo, "添加数据类型:" + name);
    return unit;
}

DataTypeModel::DataUnit* DataTypeModel::dataUnit(unsigned int id) const
{
    return objects().find(id);
}

DataTypeModel::DataUnit* DataTypeModel::dataUnit(const QString& name) const
{
    return findByName(name);
}

void DataTypeModel::allDataUnits(std::vector<DataUnit*>& out) const
{
    appendAll(out);
}

bool DataTypeModel::removeDataUnit(DataUnit* unit)
{
    if (!objects().contains(unit) || !allowRemove(*unit))
        return false;
    const std::string name = unit->name();
    if (!eraseObject(unit))
        return false;
    writeLog(HostServices::LogInfo, "删除数据类型:" + name);
    return true;
}

QString DataTypeModel::nameRule(const std::string& name) const
{
    return ProgramRules::identifierRule(name);
}

QString DataTypeModel::nameTaken(const std::string& name, const DataUnit* self) const
{
    return ProgramRules::declaredNameTaken(projectModel(), name, self);
}

QString DataTypeModel::removalRefusal(const DataUnit& unit) const
{
    return ProgramRules::referrers(projectModel(), unit);
}

QString DataTypeModel::folderRefusal(const DataUnit*, unsigned int folderId) const
{
    return ProgramRules::folderRefusal(projectModel(), folderId, FolderModel::DataTypeForder);
}

QString DataTypeModel::selectStatement() const
{
    return QStringLiteral("SELECT ID, TYPE, ") + ObjectData::textColumn(Column::Name) + ", "
           + ObjectData::textColumn(VARDECLARATION) + ", FOLDERID, MODIFYTIME, " + ObjectData::textColumn(Column::Properties)
           + " FROM DATATYPE";
}

bool DataTypeModel::readRows(QSqlQuery& query)
{
    const QSqlRecord columns = query.record();
    const int id = columns.indexOf(Column::Id), type = columns.indexOf(Column::Type), name = columns.indexOf(Column::Name),
              text = columns.indexOf(VARDECLARATION), folder = columns.indexOf(Column::FolderId),
              modifyTime = columns.indexOf(Column::ModifyTime), properties = columns.indexOf(Column::Properties);
    while (query.next()) {
        auto unit = std::make_unique<DataUnit>(query.value(id).toUInt(), ObjectData::utf8(query.value(name)),
                                               static_cast<PrjDataType>(query.value(type).toInt()),
                                               query.value(folder).toUInt(), this);
        unit->assignDeclaration(ObjectData::utf8(query.value(text)));
        unit->m_modifiedTime = query.value(modifyTime).toUInt();
        unit->m_properties.merge(query.value(properties).toByteArray());
        insertLoaded(std::move(unit));
    }
    return true;
}

QVector<QVariant> DataTypeModel::rowValues(const DataUnit& unit) const
{
    return {static_cast<int>(unit.type()), QString::fromStdString(unit.name()),
            QString::fromStdString(unit.varDeclaration()), unit.folderId(), unit.propertiesJson(), unit.modifiedTime()};
}

void DataTypeModel::saved(const std::vector<unsigned int>&)
{
    writeLog(HostServices::LogInfo, "保存数据");
}

QString DataTypeModel::reloadStatement() const
{
    return QStringLiteral("SELECT NAME, VARDECLARATION FROM DATATYPE WHERE ID = ?");
}

void DataTypeModel::reloadRow(DataUnit& unit, const QSqlQuery& query)
{
    unit.setName(query.value(0).toString().toStdString());
    unit.assignDeclaration(query.value(1).toString().toStdString());
    writeLog(HostServices::LogInfo, "重载数据:" + unit.name());
}

std::unique_ptr<DataTypeModel::DataUnit> DataTypeModel::fromData(unsigned int id, const QJsonObject& data)
{
    unsigned int folderId = 0;
    int type = 0;
    if (!ObjectData::toInt(data, Column::Type, type) || !ObjectData::toUnsigned(data, Column::FolderId, folderId))
        return nullptr;
    auto unit = std::make_unique<DataUnit>(id, ObjectData::utf8(data, Column::Name), static_cast<PrjDataType>(type),
                                           folderId, this);
    unit->assignDeclaration(ObjectData::utf8(data, VARDECLARATION));
    unit->m_properties.merge(ObjectData::text(data, Column::Properties));
    unit->m_modifiedTime = nowSeconds();
    return unit;
}

QJsonObject DataTypeModel::toData(const DataUnit& unit) const
{
    return {{Column::Id, QString::number(unit.id())},
            {Column::Type, QString::number(unit.type())},
            {Column::Name, QString::fromStdString(unit.name())},
            {VARDECLARATION, QString::fromStdString(unit.varDeclaration())},
            {Column::FolderId, QString::number(unit.folderId())},
            {Column::ModifyTime, QString::number(unit.modifiedTime())},
            {Column::Properties, unit.propertiesJson()}};
}

template class TableSubModel<DataTypeModel>;

// ---- DataUnit ----

DataTypeModel::DataUnit::DataUnit(unsigned int id, const std::string& name, PrjDataType type, unsigned int folderId,
                                  SubModel* owner)
    : DeclaredObject(DataTypeKind, id, name, folderId, owner), m_type(type)
{
}

int DataTypeModel::DataUnit::coreParseKind() const
{
    switch (m_type) {
    case Struct: return ac::TK_STRUCT;
    case Enum: return ac::TK_ENUM;
    }
    return ac::TK_ANY;
}

bool DataTypeModel::DataUnit::rename(const std::string& name)
{
    auto* model = qobject_cast<DataTypeModel*>(subModel());
    if (model && !model->allowRename(*this, name))
        return false;
    setName(name);
    touch();
    logThroughOwner("重命名:" + name);
    return true;
}
