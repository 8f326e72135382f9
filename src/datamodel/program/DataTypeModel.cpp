#include "datamodel/program/DataTypeModel.h"

#include "datamodel/model/HostServices.h"
#include "datamodel/model/ObjectTable_p.h"
#include "datamodel/program/ObjectData_p.h"
#include "datamodel/program/RowWriter_p.h"

#include "accore/ACCore.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

class DataTypeModelPrivate
{
public:
    ObjectTable<DataTypeModel::DataUnit> units{QStringLiteral("DATATYPE")};
    // Cleared by an automatic save into another file: the objects then stay modified.
    bool clearModifiedOnSave = true;
    const RowWriter writer{QStringLiteral("DATATYPE"),
                           {QStringLiteral("TYPE"), QStringLiteral("NAME"), QStringLiteral("VARDECLARATION"),
                            QStringLiteral("FOLDERID"), QStringLiteral("PROPERTIES"), QStringLiteral("MODIFYTIME")}};
};

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
    : SubModel(name, project), d(std::make_unique<DataTypeModelPrivate>())
{
    d->units.reset();
}

DataTypeModel::~DataTypeModel() = default;

DataTypeModel::DataUnit* DataTypeModel::addDataUnit(const std::string& name, PrjDataType type, unsigned int folderId)
{
    const unsigned int id = d->units.nextId();
    if (id == IDDistributor::INVALID_ID) {
        writeLog(HostServices::LogInfo, "add data type '" + name + "' failed: no data type id is left");
        return nullptr;
    }
    DataUnit* unit = d->units.insert(std::make_unique<DataUnit>(id, name, type, folderId, this));
    unit->setModified(true);
    markModified();
    writeLog(HostServices::LogInfo, "添加数据类型:" + name);
    return unit;
}

DataTypeModel::DataUnit* DataTypeModel::dataUnit(unsigned int id) const
{
    return d->units.find(id);
}

DataTypeModel::DataUnit* DataTypeModel::dataUnit(const QString& name) const
{
    return d->units.findFirst([&name](const DataUnit& unit) {
        return QString::fromStdString(unit.name()).compare(name, Qt::CaseInsensitive) == 0;
    });
}

void DataTypeModel::allDataUnits(std::vector<DataUnit*>& out) const
{
    d->units.forEach([&out](DataUnit* unit) { out.push_back(unit); });
}

bool DataTypeModel::removeDataUnit(DataUnit* unit)
{
    if (!d->units.contains(unit))
        return false;
    const std::string name = unit->name();
    markModified();
    d->units.erase(unit);
    writeLog(HostServices::LogInfo, "删除数据类型:" + name);
    return true;
}

void DataTypeModel::markModified() const
{
    markProjectModified(false);
}

bool DataTypeModel::open()
{
    d->units.reset();
    QSqlQuery query(database());
    query.setForwardOnly(true);
    const bool ok = query.exec(QStringLiteral("SELECT ID, TYPE, ") + ObjectData::textColumn(NAME) + ", "
                               + ObjectData::textColumn(VARDECLARATION) + ", FOLDERID, MODIFYTIME, " + ObjectData::textColumn(PROPERTIES) + " FROM DATATYPE");
    writeLog(HostServices::LogInfo, "加载DataTypeModel数据");
    if (!ok) {
        writeLog(HostServices::LogInfo, "reading the data types failed: " + query.lastError().text().toStdString());
        return false;
    }
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
        d->units.insertLoaded(std::move(unit));
    }
    return true;
}

bool DataTypeModel::writeRow(DataUnit* unit)
{
    QString error;
    if (d->writer.write(projectModel(), unit->id(),
                        {static_cast<int>(unit->type()), QString::fromStdString(unit->name()),
                         QString::fromStdString(unit->varDeclaration()), unit->folderId(),
                         unit->propertiesJson(), unit->modifiedTime()},
                        d->units.rows().contains(unit->id()), &error))
        return true;
    writeLog(HostServices::LogInfo, "save data type '" + unit->name() + "' failed: " + error.toStdString());
    return false;
}

bool DataTypeModel::save()
{
    writeLog(HostServices::LogInfo, "保存数据");
    QString error;
    const bool ok = d->units.save(
        database(), [this](DataUnit* unit) { return writeRow(unit); },
        [this](DataUnit* unit) {
            if (d->clearModifiedOnSave)
                unit->setModified(false);
        },
        &error);
    if (!ok && !error.isEmpty())
        writeLog(HostServices::LogInfo, "save of the data types failed: " + error.toStdString());
    return ok;
}

bool DataTypeModel::saveAs(bool flag)
{
    d->clearModifiedOnSave = flag;
    d->writer.learnStoredRows(database(), d->units.rows());
    return true;
}

bool DataTypeModel::saveObject(ModelObject* obj)
{
    auto* unit = dynamic_cast<DataUnit*>(obj);
    if (!unit || !writeRow(unit))
        return false;
    d->units.rows().add(unit->id());
    if (d->clearModifiedOnSave)
        unit->setModified(false);
    return true;
}

bool DataTypeModel::loadObject(ModelObject* obj)
{
    auto* unit = dynamic_cast<DataUnit*>(obj);
    if (!unit)
        return false;
    QSqlQuery query(database());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT NAME, VARDECLARATION FROM DATATYPE WHERE ID = ?"));
    query.addBindValue(unit->id());
    if (!query.exec()) {
        writeLog(HostServices::LogInfo, "reload data type '" + unit->name() + "' failed: "
                                            + query.lastError().text().toStdString());
        return false;
    }
    while (query.next()) {
        unit->m_name = query.value(0).toString().toStdString();
        unit->m_varDeclaration = query.value(1).toString().toStdString();
    }
    unit->setModified(false);
    writeLog(HostServices::LogInfo, "重载数据:" + unit->name());
    return true;
}

bool DataTypeModel::insertObject(const QString& path, const QString& data)
{
    QJsonObject object;
    unsigned int id = 0, folderId = 0;
    int type = 0;
    if (!ObjectData::parse(data, object) || !ObjectData::freeId(object, path, d->units.ids(), id)
        || !ObjectData::toInt(object, TYPE, type) || !ObjectData::toUnsigned(object, FOLDERID, folderId))
        return false;
    auto unit = std::make_unique<DataUnit>(id, ObjectData::utf8(object, NAME), static_cast<PrjDataType>(type),
                                           folderId, this);
    unit->m_varDeclaration = ObjectData::utf8(object, VARDECLARATION);
    unit->m_properties.merge(ObjectData::text(object, PROPERTIES));
    unit->m_modifiedTime = nowSeconds();
    unit->setModified(true);
    d->units.insert(std::move(unit));
    markModified();
    return true;
}

bool DataTypeModel::removeObject(const QString& path, QString& data)
{
    DataUnit* unit = d->units.find(path);
    if (!unit)
        return false;
    data = objToData(unit);
    return removeDataUnit(unit);
}

bool DataTypeModel::renameObject(const QString& path, const QString& name)
{
    DataUnit* unit = d->units.find(path);
    if (!unit)
        return false;
    unit->rename(name.toStdString());
    return true;
}

bool DataTypeModel::moveObject(const QString& path, const QString& to)
{
    DataUnit* unit = d->units.find(path);
    return unit && ObjectData::move(*unit, to);
}

QString DataTypeModel::getObjPath(ModelObject* obj)
{
    auto* unit = dynamic_cast<DataUnit*>(obj);
    return unit ? ObjectPath::fromId(unit->id()) : QString();
}

QString DataTypeModel::getObjIndex(ModelObject* obj)
{
    auto* unit = dynamic_cast<DataUnit*>(obj);
    return unit ? ObjectData::index(*unit) : QString();
}

QString DataTypeModel::objToData(ModelObject* obj)
{
    auto* unit = dynamic_cast<DataUnit*>(obj);
    if (!unit)
        return QString();
    QJsonObject object;
    object.insert(ID, QString::number(unit->id()));
    object.insert(TYPE, QString::number(unit->type()));
    object.insert(NAME, QString::fromStdString(unit->name()));
    object.insert(VARDECLARATION, QString::fromStdString(unit->varDeclaration()));
    object.insert(FOLDERID, QString::number(unit->folderId()));
    object.insert(MODIFYTIME, QString::number(unit->modifiedTime()));
    object.insert(PROPERTIES, unit->propertiesJson());
    return ObjectData::toText(object);
}

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
