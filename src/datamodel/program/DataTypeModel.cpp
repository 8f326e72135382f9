#include "datamodel/program/DataTypeModel.h"

#include "datamodel/model/HostServices.h"
#include "datamodel/model/ObjectData_p.h"
#include "datamodel/model/TableSubModel_p.h"

#include "accore/ACCore.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {

const QString ID = QStringLiteral("ID");
const QString TYPE = QStringLiteral("TYPE");
const QString NAME = QStringLiteral("NAME");
const QString VARDECLARATION = QStringLiteral("VARDECLARATION");
const QString FOLDERID = QStringLiteral("FOLDERID");
const QString MODIFYTIME = QStringLiteral("MODIFYTIME");
const QString PROPERTIES = QStringLiteral("PROPERTIES");

unsigned int nowSeconds()
{
    return static_cast<unsigned int>(QDateTime::currentSecsSinceEpoch());
}

} // namespace

DataTypeModel::DataTypeModel(const std::string& name, AbstractProjectModel* project)
    : TableSubModel(name, project, QStringLiteral("DATATYPE"),
                    {TYPE, NAME, VARDECLARATION, FOLDERID, PROPERTIES, MODIFYTIME}, "data type")
{
}

DataTypeModel::~DataTypeModel() = default;

DataTypeModel::DataUnit* DataTypeModel::addDataUnit(const std::string& name, PrjDataType type, unsigned int folderId)
{
    const unsigned int id = objects().nextId();
    if (id == IDDistributor::INVALID_ID) {
        writeLog(HostServices::LogInfo, "add data type '" + name + "' failed: no data type id is left");
        return nullptr;
    }
    DataUnit* unit = objects().insert(std::make_unique<DataUnit>(id, name, type, folderId, this));
    unit->setModified(true);
    markModified();
    writeLog(HostServices::LogInfo, "添加数据类型:" + name);
    return unit;
}

DataTypeModel::DataUnit* DataTypeModel::dataUnit(unsigned int id) const
{
    return objects().find(id);
}

DataTypeModel::DataUnit* DataTypeModel::dataUnit(const QString& name) const
{
    return objects().findFirst([&name](const DataUnit& unit) {
        return QString::fromStdString(unit.name()).compare(name, Qt::CaseInsensitive) == 0;
    });
}

void DataTypeModel::allDataUnits(std::vector<DataUnit*>& out) const
{
    objects().forEach([&out](DataUnit* unit) { out.push_back(unit); });
}

bool DataTypeModel::removeDataUnit(DataUnit* unit)
{
    if (!objects().contains(unit))
        return false;
    const std::string name = unit->name();
    markModified();
    objects().erase(unit);
    writeLog(HostServices::LogInfo, "删除数据类型:" + name);
    return true;
}

void DataTypeModel::markModified() const
{
    markProjectModified(false);
}

QString DataTypeModel::selectStatement() const
{
    return QStringLiteral("SELECT ID, TYPE, ") + ObjectData::textColumn(NAME) + ", "
           + ObjectData::textColumn(VARDECLARATION) + ", FOLDERID, MODIFYTIME, " + ObjectData::textColumn(PROPERTIES)
           + " FROM DATATYPE";
}

bool DataTypeModel::readRows(QSqlQuery& query)
{
    const QSqlRecord columns = query.record();
    const int id = columns.indexOf(ID), type = columns.indexOf(TYPE), name = columns.indexOf(NAME),
              text = columns.indexOf(VARDECLARATION), folder = columns.indexOf(FOLDERID),
              modifyTime = columns.indexOf(MODIFYTIME), properties = columns.indexOf(PROPERTIES);
    while (query.next()) {
        auto unit = std::make_unique<DataUnit>(query.value(id).toUInt(), ObjectData::utf8(query.value(name)),
                                               static_cast<PrjDataType>(query.value(type).toInt()),
                                               query.value(folder).toUInt(), this);
        unit->m_varDeclaration = ObjectData::utf8(query.value(text));
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
    unit.m_name = query.value(0).toString().toStdString();
    unit.m_varDeclaration = query.value(1).toString().toStdString();
    writeLog(HostServices::LogInfo, "重载数据:" + unit.name());
}

std::unique_ptr<DataTypeModel::DataUnit> DataTypeModel::fromData(unsigned int id, const QJsonObject& data)
{
    unsigned int folderId = 0;
    int type = 0;
    if (!ObjectData::toInt(data, TYPE, type) || !ObjectData::toUnsigned(data, FOLDERID, folderId))
        return nullptr;
    auto unit = std::make_unique<DataUnit>(id, ObjectData::utf8(data, NAME), static_cast<PrjDataType>(type),
                                           folderId, this);
    unit->m_varDeclaration = ObjectData::utf8(data, VARDECLARATION);
    unit->m_properties.merge(ObjectData::text(data, PROPERTIES));
    unit->m_modifiedTime = nowSeconds();
    return unit;
}

QJsonObject DataTypeModel::toData(const DataUnit& unit) const
{
    QJsonObject object;
    object.insert(ID, QString::number(unit.id()));
    object.insert(TYPE, QString::number(unit.type()));
    object.insert(NAME, QString::fromStdString(unit.name()));
    object.insert(VARDECLARATION, QString::fromStdString(unit.varDeclaration()));
    object.insert(FOLDERID, QString::number(unit.folderId()));
    object.insert(MODIFYTIME, QString::number(unit.modifiedTime()));
    object.insert(PROPERTIES, unit.propertiesJson());
    return object;
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
    case Struct: return ac::ACCore::StructKind;
    case Enum: return ac::ACCore::EnumKind;
    }
    return ac::ACCore::AnyKind;
}

void DataTypeModel::DataUnit::rename(const std::string& name)
{
    m_name = name;
    touch();
    logThroughOwner("重命名:" + name);
}
