#include "datamodel/program/GlobalVarModel.h"

#include "datamodel/model/HostServices.h"
#include "datamodel/model/ObjectTable_p.h"
#include "datamodel/program/ObjectData_p.h"
#include "datamodel/program/RowWriter_p.h"

#include "accore/ACCore.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

class GlobalVarModelPrivate
{
public:
    ObjectTable<GlobalVarModel::GlobalVarTable> lists{QStringLiteral("GLOBALVAR")};
    // Cleared by an automatic save into another file: the objects then stay modified.
    bool clearModifiedOnSave = true;
    const RowWriter writer{QStringLiteral("GLOBALVAR"),
                           {QStringLiteral("NAME"), QStringLiteral("LOGICCONTEXT"), QStringLiteral("MODIFYTIME"),
                            QStringLiteral("PROPERTIES"), QStringLiteral("FOLDERID")}};
};

namespace {

const QString ID = QStringLiteral("ID");
const QString NAME = QStringLiteral("NAME");
const QString TEXT = QStringLiteral("LogicContext");
const QString FOLDERID = QStringLiteral("FOLDERID");
const QString MODIFYTIME = QStringLiteral("MODIFYTIME");
const QString PROPERTIES = QStringLiteral("PROPERTIES");

unsigned int nowSeconds()
{
    return static_cast<unsigned int>(QDateTime::currentSecsSinceEpoch());
}

bool equalsIgnoringAsciiCase(const std::string& a, const QByteArray& b)
{
    if (a.size() != static_cast<std::size_t>(b.size()))
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[static_cast<int>(i)];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

} // namespace

GlobalVarModel::GlobalVarModel(const std::string& name, AbstractProjectModel* project)
    : SubModel(name, project), d(std::make_unique<GlobalVarModelPrivate>())
{
    d->lists.reset();
}

GlobalVarModel::~GlobalVarModel() = default;

GlobalVarModel::GlobalVarTable* GlobalVarModel::addVarTable(const std::string& name, unsigned int folderId)
{
    if (d->lists.findFirst([&name](const GlobalVarTable& list) { return list.name() == name; }))
        return nullptr;
    const unsigned int id = d->lists.nextId();
    if (id == IDDistributor::INVALID_ID) {
        writeLog(HostServices::LogInfo, "add global variable list '" + name + "' failed: no list id is left");
        return nullptr;
    }
    GlobalVarTable* list = d->lists.insert(std::make_unique<GlobalVarTable>(id, name, folderId, this));
    list->setModified(true);
    markModified();
    writeLog(HostServices::LogInfo, "添加全局变量表:" + name);
    return list;
}

GlobalVarModel::GlobalVarTable* GlobalVarModel::varTable(unsigned int id) const
{
    return d->lists.find(id);
}

GlobalVarModel::GlobalVarTable* GlobalVarModel::varTable(const QString& name) const
{
    const QByteArray utf8 = name.toUtf8();
    return d->lists.findFirst(
        [&utf8](const GlobalVarTable& list) { return equalsIgnoringAsciiCase(list.name(), utf8); });
}

void GlobalVarModel::allVarTables(std::vector<GlobalVarTable*>& out) const
{
    d->lists.forEach([&out](GlobalVarTable* list) { out.push_back(list); });
}

bool GlobalVarModel::removeVarTable(GlobalVarTable* table)
{
    if (!d->lists.contains(table))
        return false;
    const std::string name = table->name();
    markModified();
    d->lists.erase(table);
    writeLog(HostServices::LogInfo, "删除全局变量表:" + name);
    return true;
}

void GlobalVarModel::markModified() const
{
    markProjectModified(false);
}

bool GlobalVarModel::open()
{
    d->lists.reset();
    writeLog(HostServices::LogInfo, "加载GlobalVarModel数据");
    QSqlQuery query(database());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT ID, ") + ObjectData::textColumn(NAME) + ", " + ObjectData::textColumn(TEXT)
                    + ", " + ObjectData::textColumn(PROPERTIES) + ", FOLDERID, MODIFYTIME FROM GLOBALVAR")) {
        writeLog(HostServices::LogInfo, "reading the global variable lists failed: "
                                            + query.lastError().text().toStdString());
        return false;
    }
    const QSqlRecord columns = query.record();
    const int id = columns.indexOf(ID), name = columns.indexOf(NAME), text = columns.indexOf(TEXT),
              properties = columns.indexOf(PROPERTIES), folder = columns.indexOf(FOLDERID),
              modifyTime = columns.indexOf(MODIFYTIME);
    while (query.next()) {
        auto list = std::make_unique<GlobalVarTable>(query.value(id).toUInt(),
                                                     ObjectData::utf8(query.value(name)),
                                                     query.value(folder).toUInt(), this);
        list->m_varDeclaration = ObjectData::utf8(query.value(text));
        list->m_properties.merge(query.value(properties).toByteArray());
        list->m_modifiedTime = query.value(modifyTime).toUInt();
        d->lists.insertLoaded(std::move(list));
    }
    return true;
}

bool GlobalVarModel::writeRow(GlobalVarTable* list)
{
    QString error;
    if (d->writer.write(projectModel(), list->id(),
                        {QString::fromStdString(list->name()), QString::fromStdString(list->varDeclaration()),
                         list->modifiedTime(), list->propertiesJson(), list->folderId()},
                        d->lists.rows().contains(list->id()), &error))
        return true;
    writeLog(HostServices::LogInfo, "save global variable list '" + list->name() + "' failed: " + error.toStdString());
    return false;
}

bool GlobalVarModel::save()
{
    QString error;
    const bool ok = d->lists.save(
        database(), [this](GlobalVarTable* list) { return writeRow(list); },
        [this](GlobalVarTable* list) {
            if (d->clearModifiedOnSave)
                list->setModified(false);
        },
        &error);
    if (!ok && !error.isEmpty())
        writeLog(HostServices::LogInfo, "保存变量表:" + error.toStdString());
    return ok;
}

bool GlobalVarModel::saveAs(bool flag)
{
    d->clearModifiedOnSave = flag;
    d->writer.learnStoredRows(database(), d->lists.rows());
    return true;
}

bool GlobalVarModel::saveObject(ModelObject* obj)
{
    auto* list = dynamic_cast<GlobalVarTable*>(obj);
    if (!list || !writeRow(list))
        return false;
    d->lists.rows().add(list->id());
    if (d->clearModifiedOnSave)
        list->setModified(false);
    return true;
}

bool GlobalVarModel::loadObject(ModelObject* obj)
{
    auto* list = dynamic_cast<GlobalVarTable*>(obj);
    if (!list)
        return false;
    QSqlQuery query(database());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT NAME, LogicContext FROM GLOBALVAR WHERE ID = ?"));
    query.addBindValue(list->id());
    if (!query.exec()) {
        writeLog(HostServices::LogInfo, "reload global variable list '" + list->name() + "' failed: "
                                            + query.lastError().text().toStdString());
        return false;
    }
    while (query.next()) {
        list->m_name = query.value(0).toString().toStdString();
        list->m_varDeclaration = query.value(1).toString().toStdString();
    }
    list->setModified(false);
    return true;
}

bool GlobalVarModel::insertObject(const QString& path, const QString& data)
{
    QJsonObject object;
    unsigned int id = 0, folderId = 0;
    if (!ObjectData::parse(data, object) || !ObjectData::freeId(object, path, d->lists.ids(), id)
        || !ObjectData::toUnsigned(object, FOLDERID, folderId))
        return false;
    auto list = std::make_unique<GlobalVarTable>(id, ObjectData::utf8(object, NAME), folderId, this);
    list->m_varDeclaration = ObjectData::utf8(object, TEXT);
    list->m_properties.merge(ObjectData::text(object, PROPERTIES));
    list->m_modifiedTime = nowSeconds();
    list->setModified(true);
    d->lists.insert(std::move(list));
    markModified();
    return true;
}

bool GlobalVarModel::removeObject(const QString& path, QString& data)
{
    GlobalVarTable* list = d->lists.find(path);
    if (!list)
        return false;
    data = objToData(list);
    return removeVarTable(list);
}

bool GlobalVarModel::renameObject(const QString& path, const QString& name)
{
    GlobalVarTable* list = d->lists.find(path);
    if (!list)
        return false;
    list->rename(name.toStdString());
    return true;
}

bool GlobalVarModel::moveObject(const QString& path, const QString& to)
{
    GlobalVarTable* list = d->lists.find(path);
    return list && ObjectData::move(*list, to);
}

QString GlobalVarModel::getObjPath(ModelObject* obj)
{
    auto* list = dynamic_cast<GlobalVarTable*>(obj);
    return list ? ObjectPath::fromId(list->id()) : QString();
}

QString GlobalVarModel::getObjIndex(ModelObject* obj)
{
    auto* list = dynamic_cast<GlobalVarTable*>(obj);
    return list ? ObjectData::index(*list) : QString();
}

QString GlobalVarModel::objToData(ModelObject* obj)
{
    auto* list = dynamic_cast<GlobalVarTable*>(obj);
    if (!list)
        return QString();
    QJsonObject object;
    object.insert(ID, QString::number(list->id()));
    object.insert(NAME, QString::fromStdString(list->name()));
    object.insert(TEXT, QString::fromStdString(list->varDeclaration()));
    object.insert(FOLDERID, QString::number(list->folderId()));
    object.insert(MODIFYTIME, QString::number(list->modifiedTime()));
    object.insert(PROPERTIES, list->propertiesJson());
    return ObjectData::toText(object);
}

bool GlobalVarModel::restoreObj(ModelObject* obj, const QString& data)
{
    auto* list = dynamic_cast<GlobalVarTable*>(obj);
    QJsonObject object;
    unsigned int modifiedTime = 0;
    if (!list || !ObjectData::parse(data, object) || !ObjectData::toUnsigned(object, MODIFYTIME, modifiedTime))
        return false;
    list->m_varDeclaration = ObjectData::utf8(object, TEXT);
    list->m_modifiedTime = modifiedTime;
    list->m_properties.merge(ObjectData::text(object, PROPERTIES));
    // The restored text differs from what the file may hold by now: without the flag the next
    // save would keep the undone text in the file.
    list->setModified(true);
    markModified();
    return true;
}

// ---- GlobalVarTable ----

GlobalVarModel::GlobalVarTable::GlobalVarTable(unsigned int id, const std::string& name, unsigned int folderId,
                                               SubModel* owner)
    : DeclaredObject(GlobalVarKind, id, name, folderId, owner)
{
}

int GlobalVarModel::GlobalVarTable::coreParseKind() const
{
    return ac::ACCore::AnyKind;
}

void GlobalVarModel::GlobalVarTable::rename(const std::string& name)
{
    m_name = name;
    stampDeclaration();
    touch();
    logThroughOwner("重命名:" + name);
}
