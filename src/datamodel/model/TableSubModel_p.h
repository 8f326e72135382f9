#pragma once

// The implementation of TableSubModel, for the sources of the models that derive from it.

#include "datamodel/model/TableSubModel.h"

#include "datamodel/model/AbstractProjectModel.h"
#include "datamodel/model/HostServices.h"
#include "datamodel/model/IdReferences_p.h"
#include "datamodel/model/ObjectData_p.h"
#include "datamodel/model/ObjectPath.h"
#include "datamodel/model/ObjectTable_p.h"
#include "datamodel/model/RowWriter_p.h"
#include "datamodel/model/SoftAssert_p.h"
#include "datamodel/model/SystemObjects.h"

#include <QJsonObject>

#include <algorithm>
#include <QSqlError>
#include <QSqlQuery>

template <typename Model>
class TableSubModelData
{
public:
    using Object = typename Model::Object;

    TableSubModelData(const QString& table, const QStringList& columns, const char* kind, const QString& idColumn)
        : objects(table, idColumn), writer(table, columns, idColumn), table(table.toUtf8()), kind(kind)
    {
    }

    ObjectTable<Object> objects;
    const RowWriter writer;
    const QByteArray table;
    const char* const kind;
    // Cleared by an automatic save into another file: the objects then stay modified.
    bool clearModifiedOnSave = true;
    // The ids whose objects went: removed since the model was opened, or missing below the
    // highest id of the file (ids are handed out lowest first, so such a gap once had an
    // object). References to them are stale. An id above all others was never handed out.
    std::unordered_set<unsigned int> released;
};

template <typename Model>
TableSubModel<Model>::TableSubModel(const std::string& name, AbstractProjectModel* project, const QString& table,
                                    const QStringList& columns, const char* kind, const QString& idColumn)
    : SubModel(name, project), m_table(std::make_unique<TableSubModelData<Model>>(table, columns, kind, idColumn))
{
    m_table->objects.reset();
}

template <typename Model>
TableSubModel<Model>::~TableSubModel() = default;

template <typename Model>
auto& TableSubModel<Model>::objects() const
{
    return m_table->objects;
}

template <typename Model>
const char* TableSubModel<Model>::kind() const
{
    return m_table->kind;
}

template <typename Model>
template <typename Object>
void TableSubModel<Model>::insertLoaded(std::unique_ptr<Object> object)
{
    m_table->objects.insertLoaded(std::move(object));
}

template <typename Model>
unsigned int TableSubModel<Model>::newObjectId(const std::string& name)
{
    // An id that another object still keeps (a task's call of a removed POU) would make that
    // reference name the new object: it is passed over.
    const unsigned int id =
        IdReferences::firstFreeId(m_table->objects.ids(), projectModel(), this->name(), &m_table->released);
    if (id == IDDistributor::INVALID_ID)
        writeLog(HostServices::LogInfo,
                 std::string("add ") + kind() + " '" + name + "' failed: no " + kind() + " id is left");
    return id;
}

template <typename Model>
template <typename Object>
Object* TableSubModel<Model>::insertNew(std::unique_ptr<Object> object)
{
    Object* raw = m_table->objects.insert(std::move(object));
    raw->setModified(true);
    model().markModified();
    return raw;
}

template <typename Model>
template <typename Object>
bool TableSubModel<Model>::eraseObject(Object* object)
{
    if (!m_table->objects.contains(object))
        return false;
    model().markModified();
    m_table->released.insert(object->id());
    return m_table->objects.erase(object);
}

template <typename Model>
template <typename Object>
void TableSubModel<Model>::appendAll(std::vector<Object*>& out) const
{
    m_table->objects.forEach([&out](Object* object) { out.push_back(object); });
}

template <typename Model>
template <typename Match>
auto* TableSubModel<Model>::findNamed(const std::string& name, Match&& match) const
{
    return m_table->objects.findNamed(name, std::forward<Match>(match));
}

template <typename Model>
auto* TableSubModel<Model>::findByName(const QString& name) const
{
    using Object = typename Model::Object;
    return m_table->objects.findNamed(name.toStdString(), [&name](const Object& object) {
        return QString::fromStdString(object.name()).compare(name, Qt::CaseInsensitive) == 0;
    });
}

template <typename Model>
auto* TableSubModel<Model>::findExact(const std::string& name) const
{
    using Object = typename Model::Object;
    return m_table->objects.findNamed(name, [&name](const Object& object) { return object.name() == name; });
}

// ---- the rules of names ----

template <typename Model>
QString TableSubModel<Model>::nameRule(const std::string& name) const
{
    for (unsigned char c : name)
        if (c < 0x20 || c == 0x7f)
            return QStringLiteral("the name holds a control character");
    return QString();
}

template <typename Model>
template <typename Object>
QString TableSubModel<Model>::nameTaken(const std::string& name, const Object* self) const
{
    const QString wanted = QString::fromStdString(name);
    for (Object* other : m_table->objects.sameKey(name))
        if (other != self && QString::fromStdString(other->name()).compare(wanted, Qt::CaseInsensitive) == 0)
            return QStringLiteral("a %1 named '%2' exists already")
                .arg(QLatin1String(kind()), QString::fromStdString(other->name()));
    return QString();
}

template <typename Model>
template <typename Object>
QString TableSubModel<Model>::nameRefusal(const std::string& name, const Object* self) const
{
    if (QString::fromStdString(name).trimmed().isEmpty())
        return QStringLiteral("the name is empty");
    QString rule = model().nameRule(name);
    if (!rule.isEmpty())
        return rule;
    if (SystemObjects::isReservedName(name))
        return QStringLiteral("the name '%1' is reserved for the system's own objects").arg(QString::fromStdString(name));
    return model().nameTaken(name, self);
}

template <typename Model>
bool TableSubModel<Model>::allowAdd(const std::string& name, unsigned int folderId) const
{
    using Object = typename Model::Object;
    QString refusal = nameRefusal(name, static_cast<const Object*>(nullptr));
    if (refusal.isEmpty())
        refusal = model().folderRefusal(static_cast<const Object*>(nullptr), folderId);
    if (!refusal.isEmpty())
        return refuse(QStringLiteral("add %1 '%2' refused: %3").arg(QLatin1String(kind()), QString::fromStdString(name), refusal));
    clearLastError();
    return true;
}

template <typename Model>
template <typename Object>
bool TableSubModel<Model>::allowRename(const Object& object, const std::string& name) const
{
    QString refusal;
    if (SystemObjects::isHidden(object.name(), object.property("Hidden")))
        refusal = QStringLiteral("it is one of the system's own objects");
    else if (name != object.name())
        refusal = nameRefusal(name, &object);
    if (!refusal.isEmpty())
        return refuse(QStringLiteral("rename %1 '%2' to '%3' refused: %4")
                          .arg(QLatin1String(kind()), QString::fromStdString(object.name()), QString::fromStdString(name), refusal));
    clearLastError();
    return true;
}

template <typename Model>
template <typename Object>
bool TableSubModel<Model>::allowRemove(const Object& object) const
{
    QString refusal;
    if (SystemObjects::isHidden(object.name(), object.property("Hidden")))
        refusal = QStringLiteral("it is one of the system's own objects");
    else
        refusal = model().removalRefusal(object);
    if (!refusal.isEmpty())
        return refuse(QStringLiteral("remove %1 '%2' refused: %3")
                          .arg(QLatin1String(kind()), QString::fromStdString(object.name()), refusal));
    clearLastError();
    return true;
}

template <typename Model>
void TableSubModel<Model>::objectModified(ModelObject* object)
{
    m_table->objects.modified(object);
}

template <typename Model>
void TableSubModel<Model>::objectRenamed(ModelObject* object, const std::string& oldName)
{
    if (auto* own = m_table->objects.owned(object))
        m_table->objects.renamed(own, oldName);
}

template <typename Model>
auto* TableSubModel<Model>::owned(ModelObject* obj) const
{
    using Object = typename Model::Object;
    Object* object = m_table->objects.owned(obj);
    if (!object)
        object = model().objectOutsideTable(obj);
    DATAMODEL_ASSERT(object, return static_cast<Object*>(nullptr));
    return object;
}

template <typename Model>
bool TableSubModel<Model>::open()
{
    m_table->objects.reset();
    m_table->released.clear();
    QSqlQuery query(database());
    query.setForwardOnly(true);
    if (!query.exec(model().selectStatement())) {
        logFailure(std::string("reading table ") + m_table->table.constData() + " of "
                   + database().databaseName().toStdString() + " failed: " + query.lastError().text().toStdString());
        return false;
    }
    if (!model().readRows(query) || !readToTheEnd(query, m_table->table.constData()))
        return false;
    noteGaps();
    writeLog(HostServices::LogInfo, "加载" + name() + "数据");
    return true;
}

template <typename Model>
void TableSubModel<Model>::noteGaps()
{
    using Object = typename Model::Object;
    std::unordered_set<unsigned int> present;
    unsigned int highest = 0;
    m_table->objects.forEach([&](Object* object) {
        present.insert(object->id());
        highest = std::max(highest, object->id());
    });
    for (unsigned int id = 1; id < highest; ++id)
        if (present.count(id) == 0)
            m_table->released.insert(id);
}

template <typename Model>
template <typename Object>
bool TableSubModel<Model>::writeRow(Object* object)
{
    QString error;
    if (m_table->writer.write(projectModel(), object->id(), model().rowValues(*object),
                              m_table->objects.rows().contains(object->id()), &error))
        return true;
    logFailure(
             std::string("save ") + kind() + " '" + object->name() + "' failed: " + error.toStdString());
    return false;
}

template <typename Model>
bool TableSubModel<Model>::save()
{
    using Object = typename Model::Object;
    QString error;
    const bool ok = m_table->objects.save(
        database(), [this](Object* object) { return model().writeRow(object); },
        [this](Object* object) {
            if (m_table->clearModifiedOnSave)
                object->setModified(false);
        },
        &error, [this](const std::vector<unsigned int>& deleted) { model().saved(deleted); });
    if (!ok && !error.isEmpty())
        logFailure(std::string("save of the ") + kind() + "s failed: " + error.toStdString());
    return ok;
}

template <typename Model>
bool TableSubModel<Model>::saveAs(bool flag)
{
    m_table->clearModifiedOnSave = flag;
    learnStoredRows();
    return true;
}

template <typename Model>
void TableSubModel<Model>::learnStoredRows()
{
    m_table->writer.learnStoredRows(database(), m_table->objects.rows());
}

template <typename Model>
bool TableSubModel<Model>::saveObject(ModelObject* obj)
{
    auto* object = owned(obj);
    if (!object || !model().writeRow(object))
        return false;
    m_table->objects.rows().add(object->id());
    // Inside a save the flag waits for its commit; alone, the row is in the file now.
    afterSave([this, object] {
        // Looked up by address: an object removed meanwhile is not touched.
        const bool live = m_table->objects.contains(object) || model().objectOutsideTable(object) == object;
        if (live && m_table->clearModifiedOnSave)
            object->setModified(false);
    });
    return true;
}

template <typename Model>
bool TableSubModel<Model>::loadObject(ModelObject* obj)
{
    auto* object = owned(obj);
    if (!object)
        return false;
    QSqlQuery query(database());
    query.setForwardOnly(true);
    query.prepare(model().reloadStatement());
    query.addBindValue(object->id());
    if (!query.exec()) {
        writeLog(HostServices::LogInfo, std::string("reload ") + kind() + " '" + object->name() + "' failed: "
                                            + query.lastError().text().toStdString());
        return false;
    }
    while (query.next())
        model().reloadRow(*object, query);
    object->setModified(false);
    return true;
}

template <typename Model>
bool TableSubModel<Model>::insertObject(const QString& path, const QString& data)
{
    QJsonObject values;
    unsigned int id = 0;
    if (!ObjectData::parse(data, values) || !ObjectData::freeId(values, path, m_table->objects.ids(), id))
        return false;
    auto object = model().fromData(id, values);
    if (!object)
        return false;
    object->setModified(true);
    auto* inserted = m_table->objects.insert(std::move(object));
    model().markModified();
    model().inserted(*inserted, values);
    return true;
}

template <typename Model>
bool TableSubModel<Model>::removeObject(const QString& path, QString& data)
{
    auto* object = m_table->objects.find(path);
    if (!object)
        return false;
    // The data is handed back only when the object is gone: an undo of a refused removal would
    // otherwise insert a second copy.
    const QString removed = objToData(object);
    if (!model().removeFromModel(object))
        return false;
    data = removed;
    return true;
}

template <typename Model>
bool TableSubModel<Model>::renameObject(const QString& path, const QString& name)
{
    auto* object = m_table->objects.find(path);
    // The object's own rename checks the name (allowRename) and says why it refuses.
    return object && object->rename(name.toStdString());
}

template <typename Model>
template <typename Object>
bool TableSubModel<Model>::moveTo(Object& object, const QString& index)
{
    return ObjectData::move(object, index);
}

template <typename Model>
bool TableSubModel<Model>::moveObject(const QString& path, const QString& to)
{
    auto* object = m_table->objects.find(path);
    if (!object)
        return false;
    QString folder, row;
    unsigned int folderId = 0;
    if (ObjectPath::splitIndex(to, folder, row) && ObjectPath::toId(folder, folderId)) {
        const QString refusal = model().folderRefusal(object, folderId);
        if (!refusal.isEmpty())
            return refuse(QStringLiteral("move %1 '%2' refused: %3")
                              .arg(QLatin1String(kind()), QString::fromStdString(object->name()), refusal));
    }
    clearLastError();
    return model().moveTo(*object, to);
}

template <typename Model>
QString TableSubModel<Model>::getObjPath(ModelObject* obj)
{
    auto* object = owned(obj);
    return object ? ObjectPath::fromId(object->id()) : QString();
}

template <typename Model>
template <typename Object>
QString TableSubModel<Model>::indexOf(const Object& object) const
{
    return ObjectData::index(object);
}

template <typename Model>
QString TableSubModel<Model>::getObjIndex(ModelObject* obj)
{
    auto* object = owned(obj);
    return object ? model().indexOf(*object) : QString();
}

template <typename Model>
QString TableSubModel<Model>::objToData(ModelObject* obj)
{
    auto* object = owned(obj);
    return object ? ObjectData::toText(model().toData(*object)) : QString();
}

template <typename Model>
template <typename Object>
bool TableSubModel<Model>::restoreFrom(Object&, const QString&)
{
    return true;
}

template <typename Model>
bool TableSubModel<Model>::restoreObj(ModelObject* obj, const QString& data)
{
    auto* object = owned(obj);
    return object && model().restoreFrom(*object, data);
}
