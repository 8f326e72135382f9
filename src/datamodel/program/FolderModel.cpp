#include "datamodel/program/FolderModel.h"

#include "datamodel/model/HostServices.h"
#include "datamodel/model/AbstractProjectModel.h"
#include "datamodel/model/ObjectTable_p.h"
#include "datamodel/program/DataTypeModel.h"
#include "datamodel/program/GlobalVarModel.h"
#include "datamodel/program/PouModel.h"
#include "datamodel/program/ObjectData_p.h"
#include "datamodel/program/RowWriter_p.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <set>

class FolderModelPrivate
{
public:
    ObjectTable<FolderModel::Folder> folders{QStringLiteral("FOLDER")};
    // Cleared by an automatic save into another file: the objects then stay modified.
    bool clearModifiedOnSave = true;
    const RowWriter writer{QStringLiteral("FOLDER"),
                           {QStringLiteral("PARENTID"), QStringLiteral("TYPE"), QStringLiteral("NAME"),
                            QStringLiteral("PROPERTIES")}};
};

FolderModel::FolderModel(const std::string& name, AbstractProjectModel* project)
    : SubModel(name, project), d(std::make_unique<FolderModelPrivate>())
{
    d->folders.reset();
}

FolderModel::~FolderModel() = default;

FolderModel::Folder* FolderModel::addFolder(const std::string& name, unsigned int parentId, FolderType type)
{
    const unsigned int id = d->folders.nextId();
    if (id == IDDistributor::INVALID_ID) {
        writeLog(HostServices::LogInfo, "add folder '" + name + "' failed: no folder id is left");
        return nullptr;
    }
    Folder* folder = d->folders.insert(std::make_unique<Folder>(id, parentId, type, name, this));
    // A new folder has no row yet: without the flag the next save would not write it.
    folder->setModified(true);
    return folder;
}

FolderModel::Folder* FolderModel::folder(unsigned int id) const
{
    return d->folders.find(id);
}

void FolderModel::allFolders(std::vector<Folder*>& out, int typeMask) const
{
    d->folders.forEach([&out, typeMask](Folder* folder) {
        if ((folder->type() & typeMask) != 0)
            out.push_back(folder);
    });
}

bool FolderModel::removeFolder(Folder* folder)
{
    return d->folders.erase(folder);
}

bool FolderModel::open()
{
    d->folders.reset();
    QSqlQuery query(database());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT * FROM FOLDER"))) {
        writeLog(HostServices::LogInfo, "reading the folders failed: " + query.lastError().text().toStdString());
        return false;
    }
    const QSqlRecord columns = query.record();
    const int id = columns.indexOf(QStringLiteral("ID")), parent = columns.indexOf(QStringLiteral("PARENTID")),
              type = columns.indexOf(QStringLiteral("TYPE")), name = columns.indexOf(QStringLiteral("NAME")),
              properties = columns.indexOf(QStringLiteral("PROPERTIES"));
    while (query.next()) {
        auto folder = std::make_unique<Folder>(query.value(id).toUInt(), query.value(parent).toUInt(),
                                               static_cast<FolderType>(query.value(type).toInt()),
                                               query.value(name).toString().toStdString(), this);
        folder->loadProperties(query.value(properties).toString());
        d->folders.insertLoaded(std::move(folder));
    }
    return true;
}

bool FolderModel::writeRow(Folder* folder)
{
    QString error;
    if (d->writer.write(projectModel(), folder->id(),
                        {folder->parentId(), static_cast<int>(folder->type()), QString::fromStdString(folder->name()),
                         folder->propertiesJson()},
                        d->folders.rows().contains(folder->id()), &error))
        return true;
    writeLog(HostServices::LogInfo, "save folder '" + folder->name() + "' failed: " + error.toStdString());
    return false;
}

bool FolderModel::save()
{
    QString error;
    std::vector<unsigned int> deleted;
    const bool ok = d->folders.save(
        database(), [this](Folder* folder) { return writeRow(folder); },
        [this](Folder* folder) {
            if (d->clearModifiedOnSave)
                folder->setModified(false);
        },
        &error, &deleted);
    if (!ok && !error.isEmpty())
        writeLog(HostServices::LogInfo, "save of the folders failed: " + error.toStdString());
    dropContentsOf(deleted);
    return ok;
}

// The file deletes what is filed under a deleted folder (trigger delete_folder_table); the
// models in memory follow it, so that nothing is shown, or saved later, that the file no
// longer holds.
void FolderModel::dropContentsOf(const std::vector<unsigned int>& deletedFolders)
{
    if (deletedFolders.empty() || !projectModel())
        return;
    const std::set<unsigned int> gone(deletedFolders.begin(), deletedFolders.end());
    auto dropped = [&](const char* kind, const std::string& name, unsigned int folder) {
        writeLog(HostServices::LogInfo, std::string(kind) + " '" + name + "' removed with its folder "
                                            + std::to_string(folder));
    };
    if (auto* pous = projectModel()->subModel<PouModel>()) {
        std::vector<PouModel::PouUnit*> all;
        pous->allPous(all, ~0);
        for (auto* pou : all)
            if (gone.count(pou->folderId())) {
                dropped("POU", pou->name(), pou->folderId());
                pous->removePou(pou);
            }
    }
    if (auto* units = projectModel()->subModel<DataTypeModel>()) {
        std::vector<DataTypeModel::DataUnit*> all;
        units->allDataUnits(all);
        for (auto* unit : all)
            if (gone.count(unit->folderId())) {
                dropped("data type", unit->name(), unit->folderId());
                units->removeDataUnit(unit);
            }
    }
    if (auto* lists = projectModel()->subModel<GlobalVarModel>()) {
        std::vector<GlobalVarModel::GlobalVarTable*> all;
        lists->allVarTables(all);
        for (auto* list : all)
            if (gone.count(list->folderId())) {
                dropped("global variable list", list->name(), list->folderId());
                lists->removeVarTable(list);
            }
    }
}

bool FolderModel::saveAs(bool flag)
{
    d->clearModifiedOnSave = flag;
    d->writer.learnStoredRows(database(), d->folders.rows());
    return true;
}

bool FolderModel::saveObject(ModelObject* obj)
{
    auto* folder = dynamic_cast<Folder*>(obj);
    if (!folder || !writeRow(folder))
        return false;
    d->folders.rows().add(folder->id());
    if (d->clearModifiedOnSave)
        folder->setModified(false);
    return true;
}

bool FolderModel::loadObject(ModelObject* obj)
{
    auto* folder = dynamic_cast<Folder*>(obj);
    if (!folder)
        return false;
    QSqlQuery query(database());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT NAME FROM FOLDER WHERE ID = ?"));
    query.addBindValue(folder->id());
    if (!query.exec()) {
        writeLog(HostServices::LogInfo, "reload folder '" + folder->name() + "' failed: "
                                            + query.lastError().text().toStdString());
        return false;
    }
    while (query.next())
        folder->rename(query.value(0).toString().toStdString());
    folder->setModified(false);
    return true;
}

bool FolderModel::insertObject(const QString& path, const QString& data)
{
    QJsonObject object;
    unsigned int id = 0, parentId = 0;
    int type = 0;
    if (!ObjectData::parse(data, object) || !ObjectData::freeId(object, path, d->folders.ids(), id)
        || !ObjectData::toUnsigned(object, QStringLiteral("PARENTID"), parentId)
        || !ObjectData::toInt(object, QStringLiteral("TYPE"), type))
        return false;
    // Id 0 is always taken: it stands for the top of the tree.
    if (!d->folders.isUsed(parentId))
        return false;
    auto folder = std::make_unique<Folder>(id, parentId, static_cast<FolderType>(type),
                                           ObjectData::utf8(object, QStringLiteral("NAME")), this);
    folder->loadProperties(ObjectData::text(object, QStringLiteral("PROPERTIES")));
    folder->setModified(true);
    d->folders.insert(std::move(folder));
    return true;
}

bool FolderModel::removeObject(const QString& path, QString& data)
{
    Folder* folder = d->folders.find(path);
    if (!folder)
        return false;
    data = objToData(folder);
    return removeFolder(folder);
}

bool FolderModel::renameObject(const QString& path, const QString& name)
{
    Folder* folder = d->folders.find(path);
    if (!folder)
        return false;
    folder->rename(name.toStdString());
    return true;
}

bool FolderModel::moveObject(const QString& path, const QString& to)
{
    Folder* folder = d->folders.find(path);
    QString parent, row;
    unsigned int parentId = 0;
    if (!folder || !ObjectPath::splitIndex(to, parent, row) || !ObjectPath::toId(parent, parentId))
        return false;
    folder->setParentId(parentId);
    folder->setProperty("Row", row.toStdString());
    return true;
}

QString FolderModel::getObjPath(ModelObject* obj)
{
    auto* folder = dynamic_cast<Folder*>(obj);
    return folder ? ObjectPath::fromId(folder->id()) : QString();
}

QString FolderModel::getObjIndex(ModelObject* obj)
{
    auto* folder = dynamic_cast<Folder*>(obj);
    return folder ? ObjectPath::index(folder->parentId(), QString::fromStdString(folder->property("Row"))) : QString();
}

QString FolderModel::objToData(ModelObject* obj)
{
    auto* folder = dynamic_cast<Folder*>(obj);
    if (!folder)
        return QString();
    QJsonObject object;
    object.insert(QStringLiteral("ID"), QString::number(folder->id()));
    object.insert(QStringLiteral("TYPE"), QString::number(folder->type()));
    object.insert(QStringLiteral("NAME"), QString::fromStdString(folder->name()));
    object.insert(QStringLiteral("PARENTID"), QString::number(folder->parentId()));
    object.insert(QStringLiteral("PROPERTIES"), folder->propertiesJson());
    return ObjectData::toText(object);
}

FolderModel::Folder::Folder(unsigned int id, unsigned int parentId, FolderType type, const std::string& name,
                            SubModel* owner)
    : ModelObject(owner), m_id(id), m_parentId(parentId), m_type(type), m_name(name)
{
}

void FolderModel::Folder::setParentId(unsigned int parentId)
{
    m_parentId = parentId;
    setModified(true);
}

void FolderModel::Folder::rename(const std::string& name)
{
    m_name = name;
    setModified(true);
}

std::string FolderModel::Folder::property(const std::string& key, const std::string& defaultValue) const
{
    return m_properties.value(key, defaultValue);
}

bool FolderModel::Folder::setProperty(const std::string& key, const std::string& value)
{
    m_properties.set(key, value);
    setModified(true);
    return true;
}

void FolderModel::Folder::loadProperties(const QString& json)
{
    m_properties.merge(json);
}
