#include "datamodel/exchange/ProjectImporter.h"

#include "datamodel/device/DeviceTreeModel.h"
#include "datamodel/exchange/ExchangeFormat_p.h"
#include "datamodel/exchange/MotionAuxReader_p.h"
#include "datamodel/model/AbstractProjectModel.h"
#include "datamodel/model/PrjInfoModel.h"
#include "datamodel/model/SystemObjects.h"
#include "datamodel/program/DataTypeModel.h"
#include "datamodel/program/FolderModel.h"
#include "datamodel/program/GlobalVarModel.h"
#include "datamodel/program/LibraryModel.h"
#include "datamodel/program/PouModel.h"
#include "datamodel/program/TaskModel.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

#include <optional>

using namespace ExchangeFormat;

namespace {

// A file or a member of one that cannot be read; `line` 0 when the whole file is meant.
struct ReadError
{
    QString file;
    int line = 1;
    QString message;
};

struct FolderItem
{
    unsigned int id = 0;
    unsigned int parentId = 0;
    int type = 0;
    QString name;
    QJsonObject properties;
};

struct ObjectItem
{
    enum Kind { Pou, List, Type } kind = Pou;
    unsigned int id = 0;
    unsigned int folderId = 0;
    int type = 0;
    int language = PouModel::POU_ST;
    QString name;
    std::string declaration;
    std::string logic;
    QByteArray graph;
    std::optional<unsigned int> modifyTime;
    QJsonObject properties;
};

struct DeviceRow
{
    unsigned int id = 0;
    unsigned int parentId = 0;
    QString typeId;
    QString name;
    QJsonObject properties;
};

// The line of the index entry for `file`, for messages about it.
int entryLine(const QByteArray& index, const QString& file)
{
    const QByteArray needle = "\"file\": " + QJsonDocument(QJsonArray{file}).toJson(QJsonDocument::Compact).mid(1).chopped(1);
    const int at = index.indexOf(needle);
    return at < 0 ? 1 : lineAt(index, at);
}

QString compact(const QJsonObject& object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

bool isPlainFileName(const QString& file)
{
    return !file.isEmpty() && !file.contains('/') && !file.contains('\\') && file != "." && file != "..";
}

} // namespace

class ProjectImporterPrivate
{
public:
    const ProjectText::Files* files = nullptr;
    std::optional<ReadError> error;
    QString failure; // of apply or writeRows

    QJsonObject projectJson;
    std::vector<FolderItem> folders; // parents before children
    std::vector<ObjectItem> objects;
    std::optional<QJsonObject> tasks;
    std::optional<QJsonArray> libraries;
    std::vector<DeviceRow> devices; // parents before children
    MotionAuxReader motion;         // axes, groups, cam tables, traces and the auxiliary tables

    bool fail(const QString& file, int line, const QString& message)
    {
        if (!error)
            error = ReadError{file, line, message};
        return false;
    }

    const QByteArray* file(const QString& path) const
    {
        auto it = files->find(path);
        return it == files->end() ? nullptr : &it->second;
    }

    bool readJson(const QString& path, QJsonDocument& document)
    {
        const QByteArray* bytes = file(path);
        if (!bytes)
            return fail(path, 0, QStringLiteral("missing"));
        QJsonParseError parse;
        document = QJsonDocument::fromJson(*bytes, &parse);
        if (parse.error != QJsonParseError::NoError)
            return fail(path, lineAt(*bytes, parse.offset), parse.errorString());
        return true;
    }

    bool readProject()
    {
        QJsonDocument document;
        if (!readJson(ProjectFile, document))
            return false;
        projectJson = document.object();
        if (!document.isObject() || !projectJson.value("name").isString() || !stringMembers(projectJson.value("properties")))
            return fail(ProjectFile, 1, QStringLiteral("needs a \"name\" and \"properties\" of texts"));
        const auto type = AbstractProjectModel::typeFromText(projectJson.value("type").toString().toStdString());
        if (type == AbstractProjectModel::Unknown)
            return fail(ProjectFile, 1, QStringLiteral("unknown project \"type\" '%1'").arg(projectJson.value("type").toString()));
        return true;
    }

    bool readDirectory(const QString& dir, unsigned int folderId, int depth)
    {
        const QString indexPath = dir + '/' + IndexFile;
        if (depth > 64)
            return fail(indexPath, 0, QStringLiteral("folders nested more than 64 deep"));
        QJsonDocument document;
        if (!readJson(indexPath, document))
            return false;
        if (!document.isArray())
            return fail(indexPath, 1, QStringLiteral("is no JSON array"));
        const QByteArray& index = *file(indexPath);
        for (const QJsonValue& value : document.array()) {
            const QJsonObject entry = value.toObject();
            const QString name = entry.value("file").toString();
            const int line = entryLine(index, name);
            unsigned int id = 0;
            if (!value.isObject() || !isPlainFileName(name) || !toId(entry.value("id"), id) || !entry.value("name").isString()
                || !stringMembers(entry.value("properties")))
                return fail(indexPath, line, QStringLiteral("an entry needs a \"file\", an \"id\", a \"name\" and \"properties\" of texts"));
            const bool ok = name.contains('.') ? readObject(dir, indexPath, line, entry, id, folderId)
                                               : readFolder(dir, indexPath, line, entry, id, folderId, depth);
            if (!ok)
                return false;
        }
        return true;
    }

    bool readFolder(const QString& dir, const QString& indexPath, int line, const QJsonObject& entry, unsigned int id,
                    unsigned int parentId, int depth)
    {
        const QString kind = entry.value("kind").toString();
        int type = kind == "pou" ? FolderModel::PouForder : kind == "gvl" ? FolderModel::GlobleVarForder
                 : kind == "type" ? FolderModel::DataTypeForder : 0;
        bool numeric = false;
        if (type == 0)
            type = kind.toInt(&numeric);
        if (type == 0 && !numeric)
            return fail(indexPath, line, QStringLiteral("unknown folder \"kind\" '%1'").arg(kind));
        if (id == 0)
            return fail(indexPath, line, QStringLiteral("folder id 0 is the top of the tree"));
        folders.push_back({id, parentId, type, entry.value("name").toString(), entry.value("properties").toObject()});
        return readDirectory(dir + '/' + entry.value("file").toString(), id, depth + 1);
    }

    bool readObject(const QString& dir, const QString& indexPath, int line, const QJsonObject& entry, unsigned int id,
                    unsigned int folderId)
    {
        const QString name = entry.value("file").toString();
        const QString path = dir + '/' + name;
        const QByteArray* bytes = file(path);
        if (!bytes)
            return fail(indexPath, line, QStringLiteral("names %1, which is missing").arg(path));
        ObjectItem item;
        item.id = id;
        item.folderId = folderId;
        item.name = entry.value("name").toString();
        item.properties = entry.value("properties").toObject();
        if (entry.contains("modifyTime")) {
            unsigned int time = 0;
            if (!toId(entry.value("modifyTime"), time))
                return fail(indexPath, line, QStringLiteral("\"modifyTime\" is no whole number of seconds"));
            item.modifyTime = time;
        }
        if (name.endsWith(ListSuffix) || name.endsWith(TypeSuffix)) {
            if (!bytes->endsWith('\n'))
                return fail(path, lineAt(*bytes, bytes->size()), QStringLiteral("does not end with a line feed"));
            item.kind = name.endsWith(ListSuffix) ? ObjectItem::List : ObjectItem::Type;
            item.declaration = bytes->chopped(1).toStdString();
            const QString kind = entry.value("kind").toString();
            if (item.kind == ObjectItem::Type && kind != "struct" && kind != "enum")
                return fail(indexPath, line, QStringLiteral("a data type's \"kind\" is struct or enum"));
            item.type = kind == "enum" ? DataTypeModel::Enum : DataTypeModel::Struct;
        } else if (name.endsWith(ProgramSuffix) || name.endsWith(BlockSuffix) || name.endsWith(FunctionSuffix)) {
            item.kind = ObjectItem::Pou;
            item.type = name.endsWith(ProgramSuffix) ? PouModel::PRGPOU
                      : name.endsWith(BlockSuffix)   ? PouModel::FBPOU : PouModel::FCPOU;
            if (!splitPouFile(*bytes, item.declaration, item.logic))
                return fail(path, lineAt(*bytes, bytes->size()),
                            QStringLiteral("no line %1 between declaration and logic, or no final line feed")
                                .arg(QString::fromLatin1(LogicSeparator)));
            item.language = languageFromName(entry.value("language").toString(QStringLiteral("ST")));
            if (item.language < 0)
                return fail(indexPath, line, QStringLiteral("unknown \"language\""));
            if (entry.contains("graph")) {
                const QString graph = entry.value("graph").toString();
                const QByteArray* graphBytes = isPlainFileName(graph) ? file(dir + '/' + graph) : nullptr;
                if (!graphBytes)
                    return fail(indexPath, line, QStringLiteral("\"graph\" names a missing file"));
                item.graph = *graphBytes;
            }
        } else {
            return fail(indexPath, line, QStringLiteral("%1 is of no known kind").arg(name));
        }
        objects.push_back(std::move(item));
        return true;
    }

    bool readDevices()
    {
        if (!file(DevicesFile))
            return true;
        QJsonDocument document;
        if (!readJson(DevicesFile, document))
            return false;
        return readDevice(document.object(), 0, 0);
    }

    bool readDevice(const QJsonObject& node, unsigned int parentId, int depth)
    {
        DeviceRow row;
        if (depth > 64 || !toId(node.value("id"), row.id) || !node.value("typeId").isString() || !node.value("name").isString()
            || !stringMembers(node.value("properties")) || !node.value("children").isArray())
            return fail(DevicesFile, idLine(DevicesFile, node.value("id")), QStringLiteral("a node needs \"id\", \"typeId\", \"name\", \"properties\" of texts and \"children\""));
        row.parentId = parentId;
        row.typeId = node.value("typeId").toString();
        row.name = node.value("name").toString();
        row.properties = node.value("properties").toObject();
        devices.push_back(row);
        const unsigned int id = row.id;
        for (const QJsonValue& child : node.value("children").toArray())
            if (!readDevice(child.toObject(), id, depth + 1))
                return false;
        return true;
    }

    bool readOptionalJson(const QString& path, bool wantArray, QJsonDocument& document)
    {
        if (!file(path))
            return true;
        if (!readJson(path, document))
            return false;
        if (document.isArray() != wantArray)
            return fail(path, 1, wantArray ? QStringLiteral("is no JSON array") : QStringLiteral("is no JSON object"));
        return true;
    }

    // The line of the first `"id": N` in a file, for messages about that entry.
    int idLine(const QString& path, const QJsonValue& id) const
    {
        const QByteArray& bytes = *file(path);
        const int at = bytes.indexOf("\"id\": " + QByteArray::number(qint64(id.toDouble())));
        return at < 0 ? 1 : lineAt(bytes, at);
    }

    bool checkTasks(const QJsonObject& tasks)
    {
        if (!stringMembers(tasks.value("configuration").toObject().value("properties")) || !tasks.value("tasks").isArray())
            return fail(TasksFile, 1, QStringLiteral("needs \"tasks\" and a \"configuration\" with \"properties\" of texts"));
        for (const QJsonValue& value : tasks.value("tasks").toArray()) {
            const QJsonObject task = value.toObject();
            unsigned int id = 0, number = 0;
            bool ok = toId(task.value("id"), id) && id != 0 && task.value("name").isString() && toId(task.value("type"), number)
                && toId(task.value("watchdog"), number) && stringMembers(task.value("properties")) && task.value("calls").isArray();
            for (const QJsonValue& call : task.value("calls").toArray())
                ok = ok && toId(call.toObject().value("pou"), number) && toId(call.toObject().value("entry"), number);
            if (!ok)
                return fail(TasksFile, idLine(TasksFile, task.value("id")),
                            QStringLiteral("a task needs an \"id\" above 0, a \"name\", \"type\", \"watchdog\", "
                                           "\"properties\" of texts and \"calls\" of \"pou\" and \"entry\" ids"));
        }
        return true;
    }

    bool checkLibraries(const QJsonArray& libraries)
    {
        for (const QJsonValue& value : libraries) {
            const QJsonObject library = value.toObject();
            unsigned int number = 0;
            if (!toId(library.value("id"), number) || !library.value("name").isString() || !library.value("path").isString()
                || !toId(library.value("modifiedTime"), number) || !stringMembers(library.value("properties")))
                return fail(LibrariesFile, idLine(LibrariesFile, library.value("id")),
                            QStringLiteral("a library needs an \"id\", a \"name\", a \"path\", a \"modifiedTime\" "
                                           "and \"properties\" of texts"));
        }
        return true;
    }

    bool checkUniqueIds()
    {
        QSet<QPair<int, unsigned int>> seen;
        for (const ObjectItem& item : objects) {
            const QPair<int, unsigned int> key(item.kind, item.id);
            if (seen.contains(key))
                return fail(ProgramFolder, 0, QStringLiteral("id %1 is used twice ('%2')").arg(item.id).arg(item.name));
            seen.insert(key);
        }
        QSet<unsigned int> folderIds;
        for (const FolderItem& folder : folders) {
            if (folderIds.contains(folder.id))
                return fail(ProgramFolder, 0, QStringLiteral("folder id %1 is used twice ('%2')").arg(folder.id).arg(folder.name));
            folderIds.insert(folder.id);
        }
        return true;
    }

    // ---- building ----

    bool applyFailed(const QString& what)
    {
        failure = what;
        return false;
    }

    template <typename Object, typename List, typename Remove>
    static void removeAll(List list, Remove remove)
    {
        std::vector<Object*> existing;
        list(existing);
        for (Object* object : existing)
            remove(object);
    }

    bool insert(SubModel* model, unsigned int id, const QJsonObject& data, const QString& what)
    {
        if (!model || !model->insertObject(QString::number(id), compact(data)))
            return applyFailed(QStringLiteral("%1 (id %2) could not be added").arg(what, QString::number(id)));
        return true;
    }

    bool applyProgram(AbstractProjectModel& project)
    {
        auto* folderModel = project.subModel<FolderModel>();
        auto* pous = project.subModel<PouModel>();
        auto* lists = project.subModel<GlobalVarModel>();
        auto* types = project.subModel<DataTypeModel>();
        // What `create` made is in the export too. The system's own POU and lists (which no
        // one removes) stay and take the exported content in place; the rest goes.
        if (pous)
            removeAll<PouModel::PouUnit>([&](auto& out) { pous->allPous(out, ~0); }, [&](auto* pou) {
                if (!isSystemObject(*pou))
                    pous->removePou(pou);
            });
        if (lists)
            removeAll<GlobalVarModel::GlobalVarTable>([&](auto& out) { lists->allVarTables(out); }, [&](auto* list) {
                if (!isSystemObject(*list))
                    lists->removeVarTable(list);
            });
        if (types)
            removeAll<DataTypeModel::DataUnit>([&](auto& out) { types->allDataUnits(out); },
                                               [&](auto* type) { types->removeDataUnit(type); });
        if (folderModel)
            removeAll<FolderModel::Folder>([&](auto& out) { folderModel->allFolders(out, ~0); },
                                           [&](auto* folder) { folderModel->removeFolder(folder); });
        for (const FolderItem& folder : folders)
            if (!insert(folderModel, folder.id,
                        {{"ID", QString::number(folder.id)}, {"PARENTID", QString::number(folder.parentId)},
                         {"TYPE", QString::number(folder.type)}, {"NAME", folder.name},
                         {"PROPERTIES", compact(folder.properties)}},
                        QStringLiteral("folder '%1'").arg(folder.name)))
                return false;
        for (const ObjectItem& item : objects)
            if (!applyObject(item, pous, lists, types))
                return false;
        return true;
    }

    static bool isSystemObject(const DeclaredObject& object)
    {
        return SystemObjects::isHidden(object.name(), object.property("Hidden"));
    }

    // A system object that the new project has already: it must have the exported id, and
    // takes the exported texts and properties.
    bool updateSystemObject(const ObjectItem& item, DeclaredObject& existing, PouModel* pous)
    {
        if (existing.id() != item.id)
            return applyFailed(QStringLiteral("the system's object '%1' has id %2 in a new project, %3 in the export")
                                   .arg(item.name, QString::number(existing.id()), QString::number(item.id)));
        existing.setVarDeclaration(item.declaration);
        for (auto it = item.properties.begin(); it != item.properties.end(); ++it)
            existing.setProperty(it.key().toStdString(), it.value().toString().toStdString());
        if (item.kind == ObjectItem::Pou) {
            PouModel::PouUnit* pou = pous->pou(item.id);
            pou->setLogicContext(item.logic);
            pou->setGraphData(std::vector<char>(item.graph.begin(), item.graph.end()));
        }
        if (item.modifyTime)
            existing.setModifiedTime(*item.modifyTime);
        return true;
    }

    bool applyObject(const ObjectItem& item, PouModel* pous, GlobalVarModel* lists, DataTypeModel* types)
    {
        // Exports of older versions hold the lists that the motion objects fill: they are built
        // from the objects instead, so that they declare what the project holds.
        if (item.kind == ObjectItem::List && isMotionVariableList(item.name.toStdString()))
            return true;
        if (item.kind != ObjectItem::Type && SystemObjects::isReservedName(item.name.toStdString())) {
            DeclaredObject* existing = item.kind == ObjectItem::Pou
                ? static_cast<DeclaredObject*>(pous->pou(item.name))
                : static_cast<DeclaredObject*>(lists->varTable(item.name));
            if (existing)
                return updateSystemObject(item, *existing, pous);
        }
        QJsonObject data{{"ID", QString::number(item.id)}, {"NAME", item.name}, {"FOLDERID", QString::number(item.folderId)},
                         {"PROPERTIES", compact(item.properties)}};
        DeclaredObject* made = nullptr;
        if (item.kind == ObjectItem::Pou) {
            data.insert("TYPE", QString::number(item.type));
            data.insert("LANGUAGETYPE", QString::number(item.language));
            data.insert("VARDECLARATION", QString::fromStdString(item.declaration));
            data.insert("LOGICCONTEXT", QString::fromStdString(item.logic));
            data.insert("GRAPHDATA", QString::fromLatin1(item.graph.toBase64()));
            if (!insert(pous, item.id, data, QStringLiteral("POU '%1'").arg(item.name)))
                return false;
            made = pous->pou(item.id);
        } else if (item.kind == ObjectItem::List) {
            data.insert("LogicContext", QString::fromStdString(item.declaration));
            if (!insert(lists, item.id, data, QStringLiteral("global variable list '%1'").arg(item.name)))
                return false;
            made = lists->varTable(item.id);
        } else {
            data.insert("TYPE", QString::number(item.type));
            data.insert("VARDECLARATION", QString::fromStdString(item.declaration));
            if (!insert(types, item.id, data, QStringLiteral("data type '%1'").arg(item.name)))
                return false;
            made = types->dataUnit(item.id);
        }
        if (made && item.modifyTime)
            made->setModifiedTime(*item.modifyTime);
        return true;
    }

    bool applyTasks(AbstractProjectModel& project)
    {
        auto* model = project.subModel<TaskModel>();
        if (!tasks || !model)
            return true;
        std::vector<TaskModel::Task*> existing;
        model->allTasks(existing);
        for (TaskModel::Task* task : existing) {
            if (task->id() != 0) {
                model->removeTask(task);
                continue;
            }
            const QJsonObject configuration = tasks->value("configuration").toObject();
            const QJsonObject properties = configuration.value("properties").toObject();
            for (auto it = properties.begin(); it != properties.end(); ++it)
                task->setProperty(it.key().toStdString(), it.value().toString().toStdString());
        }
        for (const QJsonValue& value : tasks->value("tasks").toArray()) {
            const QJsonObject task = value.toObject();
            QStringList pouIds, entryIds;
            for (const QJsonValue& call : task.value("calls").toArray()) {
                pouIds << QString::number(call.toObject().value("pou").toInt());
                entryIds << QString::number(call.toObject().value("entry").toInt());
            }
            const unsigned int id = unsigned(task.value("id").toDouble());
            if (!insert(model, id,
                        {{"ID", QString::number(id)}, {"NAME", task.value("name").toString()},
                         {"TYPE", QString::number(task.value("type").toInt(TaskModel::CyclicTask))},
                         {"WTDTIME", QString::number(qint64(task.value("watchdog").toDouble()))},
                         {"PROPERTIES", compact(task.value("properties").toObject())},
                         {"POUIDS", pouIds.join('.')}, {"POUINTASKIDS", entryIds.join('.')}},
                        QStringLiteral("task '%1'").arg(task.value("name").toString())))
                return false;
        }
        return true;
    }

    void applyProjectInfo(AbstractProjectModel& project, const QString& name)
    {
        auto* model = project.subModel<PrjInfoModel>();
        PrjInfoModel::PrjInfo* info = model ? model->projectInfo() : nullptr;
        if (!info)
            return;
        info->rename(name.toStdString());
        info->setComments(projectJson.value("comments").toString().toStdString());
        info->setAuthor(projectJson.value("author").toString().toStdString());
        info->setVersion(projectJson.value("version").toString().toStdString());
        info->setCreateVersion(projectJson.value("createVersion").toString().toStdString());
        info->setModifyVersion(projectJson.value("modifyVersion").toString().toStdString());
        const QJsonObject properties = projectJson.value("properties").toObject();
        for (auto it = properties.begin(); it != properties.end(); ++it)
            info->setProperty(it.key().toStdString(), it.value().toString().toStdString());
    }

    bool exec(QSqlQuery& query, const QString& what)
    {
        if (query.exec())
            return true;
        return applyFailed(QStringLiteral("writing %1 failed: %2").arg(what, query.lastError().text()));
    }

    bool writeDeviceRows(QSqlDatabase db)
    {
        QSqlQuery remove(db);
        remove.prepare(QStringLiteral("DELETE FROM DEVICETREE"));
        if (!exec(remove, "the device tree"))
            return false;
        for (const DeviceRow& row : devices) {
            QSqlQuery insert(db);
            insert.prepare(QStringLiteral("INSERT INTO DEVICETREE (ID, TYPEID, NAME, PARENTID, PROPERTIES, COMPILEDATA) "
                                          "VALUES (?, ?, ?, ?, ?, ?)"));
            for (const QVariant& value : {QVariant(row.id), QVariant(row.typeId), QVariant(row.name), QVariant(row.parentId),
                                          QVariant(compact(row.properties)),
                                          QVariant(row.properties.value("CompileData").toString())})
                insert.addBindValue(value);
            if (!exec(insert, QStringLiteral("device '%1'").arg(row.name)))
                return false;
        }
        return true;
    }

    bool writeLibraryRows(QSqlDatabase db)
    {
        QSqlQuery remove(db);
        remove.prepare(QStringLiteral("DELETE FROM LibraryManager"));
        if (!exec(remove, "the library list"))
            return false;
        for (const QJsonValue& value : *libraries) {
            const QJsonObject library = value.toObject();
            QSqlQuery insert(db);
            insert.prepare(QStringLiteral("INSERT INTO LibraryManager (Id, Name, Path, FileModifiedTime, Properties) "
                                          "VALUES (?, ?, ?, ?, ?)"));
            for (const QVariant& value : {QVariant(qint64(library.value("id").toDouble())), QVariant(library.value("name").toString()),
                                          QVariant(library.value("path").toString()),
                                          QVariant(qint64(library.value("modifiedTime").toDouble())),
                                          QVariant(compact(library.value("properties").toObject()))})
                insert.addBindValue(value);
            if (!exec(insert, QStringLiteral("library '%1'").arg(library.value("name").toString())))
                return false;
        }
        return true;
    }
};

ProjectImporter::ProjectImporter() : d(std::make_unique<ProjectImporterPrivate>()) {}

ProjectImporter::~ProjectImporter() = default;

bool ProjectImporter::read(const ProjectText::Files& files)
{
    d = std::make_unique<ProjectImporterPrivate>();
    d->files = &files;
    QJsonDocument tasks, libraries;
    const bool ok = d->readProject() && d->readDirectory(ProgramFolder, 0, 0) && d->checkUniqueIds() && d->readDevices()
        && d->readOptionalJson(TasksFile, false, tasks) && d->readOptionalJson(LibrariesFile, true, libraries);
    if (ok && !d->motion.read(files)) {
        const MotionAuxReader::Problem& problem = d->motion.problem();
        d->fail(problem.file, problem.line, problem.message);
    }
    if (!ok || d->error || (!tasks.isNull() && !d->checkTasks(tasks.object()))
        || (!libraries.isNull() && !d->checkLibraries(libraries.array()))) {
        d->files = nullptr;
        return false;
    }
    if (!tasks.isNull())
        d->tasks = tasks.object();
    if (!libraries.isNull())
        d->libraries = libraries.array();
    d->files = nullptr; // the texts are copied out; `files` may go
    return true;
}

QString ProjectImporter::error() const
{
    if (d->error)
        // One pass of arg(): escaped file names hold "%2F" and the like, which a second pass
        // would take for places.
        return d->error->line > 0 ? QStringLiteral("%1:%2: %3").arg(d->error->file, QString::number(d->error->line), d->error->message)
                                  : QStringLiteral("%1: %2").arg(d->error->file, d->error->message);
    return d->failure;
}

bool ProjectImporter::isLibrary() const
{
    return d->projectJson.value("type").toString() != QLatin1String("Project");
}

std::map<std::string, std::string> ProjectImporter::createParams(const QString& name, const QString& filePath) const
{
    const QJsonObject properties = d->projectJson.value("properties").toObject();
    std::map<std::string, std::string> params = {
        {"fileName", (name.isEmpty() ? d->projectJson.value("name").toString() : name).toStdString()},
        {"filePath", filePath.toStdString()},
        {"projectType", d->projectJson.value("type").toString().toStdString()},
        {"programStyle", properties.value("ProgramStyle").toString("IECStyle").toStdString()},
        {"author", d->projectJson.value("author").toString().toStdString()},
        {"comments", d->projectJson.value("comments").toString().toStdString()},
        {"createVersion", d->projectJson.value("createVersion").toString().toStdString()}};
    if (!d->devices.empty())
        params["deviceType"] = d->devices.front().name.toStdString();
    return params;
}

bool ProjectImporter::apply(AbstractProjectModel& project)
{
    if (!d->applyProgram(project) || !d->applyTasks(project))
        return false;
    if (!d->motion.declareVariables(project, d->failure))
        return false;
    d->applyProjectInfo(project, QString::fromStdString(project.name()));
    return true;
}

bool ProjectImporter::writeRows(AbstractProjectModel& project)
{
    QSqlDatabase db = project.db();
    if (!db.transaction())
        return d->applyFailed(QStringLiteral("no transaction on %1").arg(QString::fromStdString(project.absoultFilePath())));
    const bool ok = (d->devices.empty() || d->writeDeviceRows(db)) && (!d->libraries || d->writeLibraryRows(db))
                    && d->motion.writeRows(db, d->failure);
    if (!ok || !db.commit()) {
        db.rollback();
        return ok ? d->applyFailed(QStringLiteral("commit failed: %1").arg(db.lastError().text())) : false;
    }
    return true;
}
