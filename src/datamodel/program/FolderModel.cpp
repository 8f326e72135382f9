#include "datamodel/program/FolderModel.h"

#include "datamodel/model/AbstractProjectModel.h"
#include "datamodel/model/HostServices.h"
#include "datamodel/model/ObjectData_p.h"
#include "datamodel/model/TableSubModel_p.h"
#include "datamodel/program/DataTypeModel.h"
#include "datamodel/program/GlobalVarModel.h"
#include "datamodel/program/PouModel.h"
#include "datamodel/program/ProgramRules_p.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <set>

namespace {

using Column = ObjectData;
const QString PARENTID = QStringLiteral("PARENTID");

} // namespace

FolderModel::FolderModel(const std::string& name, AbstractProjectModel* project)
    : TableSubModel(name, project, QStringLiteral("FOLDER"), {PARENTID, Column::Type, Column::Name, Column::Properties}, "folder")
{
}

FolderModel::~FolderModel() = default;

FolderModel::Folder* FolderModel::addFolder(const std::string& name, unsigned int parentId, FolderType type)
{
    if (!allowAdd(name))
        return nullptr;
    const QString parent = parentRefusal(type, nullptr, parentId);
    if (!parent.isEmpty()) {
        refuse(QStringLiteral("add folder '%1' refused: %2").arg(QString::fromStdString(name), parent));
        return nullptr;
    }
    const unsigned int id = newObjectId(name);
    if (id == IDDistributor::INVALID_ID)
        return nullptr;
    return insertNew(std::make_unique<Folder>(id, parentId, type, name, this));
}

FolderModel::Folder* FolderModel::folder(unsigned int id) const
{
    return objects().find(id);
}

FolderModel::Folder* FolderModel::folder(const QString& name) const
{
    return findByName(name);
}

void FolderModel::allFolders(std::vector<Folder*>& out, int typeMask) const
{
    objects().forEach([&out, typeMask](Folder* folder) {
        if ((folder->type() & typeMask) != 0)
            out.push_back(folder);
    });
}

bool FolderModel::removeFolder(Folder* folder)
{
    return objects().contains(folder) && allowRemove(*folder) && objects().erase(folder);
}

QString FolderModel::removalRefusal(const Folder& folder) const
{
    return ProgramRules::folderContents(projectModel(), folder);
}

QString FolderModel::folderRefusal(const Folder* folder, unsigned int parentId) const
{
    return folder ? parentRefusal(folder->type(), folder, parentId) : QString();
}

QString FolderModel::parentRefusal(FolderType type, const Folder* folder, unsigned int parentId) const
{
    if (parentId == 0)
        return QString();
    const Folder* parent = this->folder(parentId);
    if (!parent)
        return QStringLiteral("folder %1 does not exist").arg(parentId);
    if (parent->type() != type)
        return QStringLiteral("folder %1 '%2' is of another type").arg(QString::number(parentId), QString::fromStdString(parent->name()));
    // Up from the new parent to the top: the folder itself on the way would close a circle.
    // A broken chain in the file (a parent that is gone) ends the walk.
    std::size_t steps = 0;
    for (const Folder* up = parent; up && steps <= objects().size(); up = this->folder(up->parentId()), ++steps)
        if (folder && up == folder)
            return QStringLiteral("folder %1 '%2' lies within it").arg(QString::number(parentId), QString::fromStdString(parent->name()));
    return QString();
}

QString FolderModel::selectStatement() const
{
    return QStringLiteral("SELECT * FROM FOLDER");
}

bool FolderModel::readRows(QSqlQuery& query)
{
    const QSqlRecord columns = query.record();
    const int id = columns.indexOf(Column::Id), parent = columns.indexOf(PARENTID), type = columns.indexOf(Column::Type),
              name = columns.indexOf(Column::Name), properties = columns.indexOf(Column::Properties);
    while (query.next()) {
        auto folder = std::make_unique<Folder>(query.value(id).toUInt(), query.value(parent).toUInt(),
                                               static_cast<FolderType>(query.value(type).toInt()),
                                               query.value(name).toString().toStdString(), this);
        folder->loadProperties(query.value(properties).toString());
        insertLoaded(std::move(folder));
    }
    return true;
}

QVector<QVariant> FolderModel::rowValues(const Folder& folder) const
{
    return {folder.parentId(), static_cast<int>(folder.type()), QString::fromStdString(folder.name()),
            folder.propertiesJson()};
}

// The file deletes what is filed under a deleted folder (trigger delete_folder_table); the
// models in memory follow it, so that nothing is shown, or saved later, that the file no
// longer holds.
void FolderModel::saved(const std::vector<unsigned int>& deletedFolders)
{
    if (deletedFolders.empty() || !projectModel())
        return;
    const std::set<unsigned int> gone(deletedFolders.begin(), deletedFolders.end());
    auto dropFiled = [&](const char* kind, const auto& objects, auto remove) {
        for (DeclaredObject* object : objects)
            if (gone.count(object->folderId())) {
                writeLog(HostServices::LogInfo, std::string(kind) + " '" + object->name()
                                                    + "' removed with its folder " + std::to_string(object->folderId()));
                remove(object);
            }
    };
    if (auto* pous = projectModel()->subModel<PouModel>()) {
        std::vector<PouModel::PouUnit*> all;
        pous->allPous(all, PouModel::AllPouTypes);
        dropFiled("POU", all, [pous](DeclaredObject* object) { pous->removePou(static_cast<PouModel::PouUnit*>(object)); });
    }
    if (auto* units = projectModel()->subModel<DataTypeModel>()) {
        std::vector<DataTypeModel::DataUnit*> all;
        units->allDataUnits(all);
        dropFiled("data type", all,
                  [units](DeclaredObject* object) { units->removeDataUnit(static_cast<DataTypeModel::DataUnit*>(object)); });
    }
    if (auto* lists = projectModel()->subModel<GlobalVarModel>()) {
        std::vector<GlobalVarModel::GlobalVarTable*> all;
        lists->allVarTables(all);
        dropFiled("global variable list", all, [lists](DeclaredObject* object) {
            lists->removeVarTable(static_cast<GlobalVarModel::GlobalVarTable*>(object));
        });
    }
}

QString FolderModel::reloadStatement() const
{
    return QStringLiteral("SELECT NAME FROM FOLDER WHERE ID = ?");
}

void FolderModel::reloadRow(Folder& folder, const QSqlQuery& query)
{
    folder.setName(query.value(0).toString().toStdString());
}

std::unique_ptr<FolderModel::Folder> FolderModel::fromData(unsigned int id, const QJsonObject& data)
{
    unsigned int parentId = 0;
    int type = 0;
    if (!ObjectData::toUnsigned(data, PARENTID, parentId) || !ObjectData::toInt(data, Column::Type, type))
        return nullptr;
    // Id 0 is always taken: it stands for the top of the tree.
    if (!objects().isUsed(parentId))
        return nullptr;
    auto folder = std::make_unique<Folder>(id, parentId, static_cast<FolderType>(type),
                                           ObjectData::utf8(data, Column::Name), this);
    folder->loadProperties(ObjectData::text(data, Column::Properties));
    return folder;
}

bool FolderModel::moveTo(Folder& folder, const QString& index)
{
    return ObjectData::move(folder, index, &Folder::setParentId);
}

QString FolderModel::indexOf(const Folder& folder) const
{
    return ObjectPath::index(folder.parentId(), QString::fromStdString(folder.property("Row")));
}

QJsonObject FolderModel::toData(const Folder& folder) const
{
    return {{Column::Id, QString::number(folder.id())},
            {Column::Type, QString::number(folder.type())},
            {Column::Name, QString::fromStdString(folder.name())},
            {PARENTID, QString::number(folder.parentId())},
            {Column::Properties, folder.propertiesJson()}};
}

template class TableSubModel<FolderModel>;

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

bool FolderModel::Folder::rename(const std::string& name)
{
    auto* model = qobject_cast<FolderModel*>(subModel());
    if (model && !model->allowRename(*this, name))
        return false;
    setName(name);
    setModified(true);
    return true;
}

void FolderModel::Folder::setName(const std::string& name)
{
    const std::string oldName = m_name;
    m_name = name;
    nameChanged(oldName);
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
