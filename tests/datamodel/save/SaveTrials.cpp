#include "SaveTrials.h"

#include "datamodel/device/DeviceTreeModel.h"
#include "datamodel/device/DeviceTreeNode.h"
#include "datamodel/model/DatabaseScript_p.h"
#include "datamodel/model/PrjInfoModel.h"
#include "datamodel/program/DataTypeModel.h"
#include "datamodel/program/FolderModel.h"
#include "datamodel/program/GlobalVarModel.h"
#include "datamodel/program/PouModel.h"
#include "datamodel/program/TaskModel.h"
#include "datamodel/project/AbstractPlcProjectModel.h"
#include "datamodel/project/PlcProjectModel.h"

#include "plcproj/Generator.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>

#include <vector>

namespace savetrials {

std::string makeProject(const QString& folder, const std::string& name, int pous, int lists, int types)
{
    const std::string file = QDir(folder).filePath(QString::fromStdString(name) + ".nvp").toStdString();
    QFile::remove(QString::fromStdString(file));
    PlcProjectModel project(name, folder.toStdString(), file);
    if (!project.create({{"fileName", name},
                         {"filePath", file},
                         {"projectType", "Project"},
                         {"programStyle", "IECStyle"},
                         {"deviceType", "VX7_1616MT"}}))
        return {};
    ProjectGenerator::Options options;
    options.pous = pous;
    options.gvls = lists;
    options.types = types;
    options.seed = 7;
    if (!ProjectGenerator(options).fill(project) || !project.save())
        return {};
    return file;
}

BaseProject makeBaseProject(const QString& folder, const std::string& name, int pous, int lists, int types,
                            QString* error)
{
    BaseProject base;
    QDir().mkpath(folder);
    base.file = makeProject(folder, name, pous, lists, types);
    if (base.file.empty())
        *error = QStringLiteral("the project %1 could not be made").arg(QString::fromStdString(name));
    else
        base.digests = tableDigests(base.file, error);
    return base;
}

std::unique_ptr<PlcProjectModel> openForEditing(const QString& folder, const std::string& file,
                                                const std::string& name)
{
    auto project = std::make_unique<PlcProjectModel>(name, folder.toStdString(), file);
    if (!project->open(name, file, AbstractPlcProjectModel::DefaultPassword.toStdString(), true))
        return nullptr;
    return project;
}

namespace {

bool fail(QString* error, const QString& what)
{
    if (error)
        *error = what;
    return false;
}

std::string numbered(const char* prefix, int i)
{
    return prefix + std::to_string(i);
}

} // namespace

bool makeLargeEdit(AbstractProjectModel& project, int scale, QString* error)
{
    auto* folders = project.subModel<FolderModel>();
    auto* pous = project.subModel<PouModel>();
    auto* lists = project.subModel<GlobalVarModel>();
    auto* types = project.subModel<DataTypeModel>();
    auto* tasks = project.subModel<TaskModel>();
    auto* info = project.subModel<PrjInfoModel>();
    auto* devices = project.subModel<DeviceTreeModel>();
    if (!folders || !pous || !lists || !types || !tasks || !info || !info->projectInfo() || !devices
        || !devices->getRootNode())
        return fail(error, "a sub-model is missing");

    FolderModel::Folder* folder = folders->addFolder("Trial edits", 0, FolderModel::PouForder);
    if (!folder)
        return fail(error, "adding a folder failed");
    std::vector<PouModel::PouUnit*> existing;
    pous->allPous(existing, PouModel::AllPouTypes);
    // Changes to what is there: every third POU gets new logic, one is renamed, one removed.
    for (std::size_t i = 0; i < existing.size(); ++i) {
        if (existing[i]->name() == "DevicePOU")
            continue;
        if (i % 3 == 0)
            existing[i]->setLogicContext(existing[i]->logicContext() + "\n// trial edit " + std::to_string(i));
    }
    if (existing.size() > 4) {
        existing[1]->rename(existing[1]->name() + "_renamed");
        pous->removePou(existing[2]);
    }
    // New objects of every kind.
    std::vector<unsigned int> added;
    for (int i = 0; i < scale; ++i) {
        PouModel::PouUnit* pou = pous->addPou(numbered("TrialPou", i), PouModel::FBPOU, PouModel::POU_ST, folder->id());
        if (!pou)
            return fail(error, "adding a POU failed");
        pou->setVarDeclaration("FUNCTION_BLOCK " + pou->name() + "\nVAR_INPUT\n  x : INT;\nEND_VAR\n");
        pou->setLogicContext("x := x + " + std::to_string(i) + ";");
        pou->setGraphData(std::vector<char>(64 + i % 32, static_cast<char>('a' + i % 26)));
        added.push_back(pou->id());
    }
    for (int i = 0; i < scale / 4 + 1; ++i) {
        GlobalVarModel::GlobalVarTable* list = lists->addVarTable(numbered("TrialList", i), 0);
        if (!list)
            return fail(error, "adding a global variable list failed");
        list->setVarDeclaration("VAR_GLOBAL\n  g" + std::to_string(i) + " : DINT := " + std::to_string(i) + ";\nEND_VAR");
        DataTypeModel::DataUnit* unit = types->addDataUnit(numbered("TrialType", i), DataTypeModel::Struct, 0);
        if (!unit)
            return fail(error, "adding a data type failed");
        unit->setVarDeclaration("TYPE " + unit->name() + " :\nSTRUCT\n  a : INT;\nEND_STRUCT\nEND_TYPE");
    }
    std::vector<DataTypeModel::DataUnit*> units;
    types->allDataUnits(units);
    if (!units.empty())
        types->removeDataUnit(units.front());
    std::vector<GlobalVarModel::GlobalVarTable*> allLists;
    lists->allVarTables(allLists);
    for (std::size_t i = 0; i < allLists.size(); i += 2)
        allLists[i]->setProperty("TrialNote", "edited " + std::to_string(i));
    for (int i = 0; i < 3; ++i) {
        TaskModel::Task* task = tasks->addTask(numbered("TrialTask", i));
        if (!task)
            return fail(error, "adding a task failed");
        for (std::size_t k = static_cast<std::size_t>(i); k < added.size(); k += 5)
            task->addPou(added[k], -1);
    }
    info->projectInfo()->setComments("after the trial edit");
    devices->getRootNode()->setNodeProperty(QStringLiteral("Description"), QStringLiteral("trial edit"));
    return true;
}

namespace {

// The objects of every sub-model that the edit touches for which `counts` holds.
template <typename Predicate>
int countObjects(AbstractProjectModel& project, Predicate counts)
{
    int count = 0;
    auto countIn = [&count, &counts](const auto& objects) {
        for (const auto* object : objects)
            count += counts(*object) ? 1 : 0;
    };
    std::vector<PouModel::PouUnit*> pous;
    project.subModel<PouModel>()->allPous(pous, PouModel::AllPouTypes);
    countIn(pous);
    std::vector<GlobalVarModel::GlobalVarTable*> lists;
    project.subModel<GlobalVarModel>()->allVarTables(lists);
    countIn(lists);
    std::vector<DataTypeModel::DataUnit*> units;
    project.subModel<DataTypeModel>()->allDataUnits(units);
    countIn(units);
    std::vector<FolderModel::Folder*> folders;
    project.subModel<FolderModel>()->allFolders(folders, FolderModel::AllFolderTypes);
    countIn(folders);
    std::vector<TaskModel::Task*> tasks;
    project.subModel<TaskModel>()->allTasks(tasks);
    countIn(tasks);
    count += counts(*project.subModel<PrjInfoModel>()->projectInfo()) ? 1 : 0;
    count += counts(*project.subModel<DeviceTreeModel>()->getRootNode()) ? 1 : 0;
    return count;
}

} // namespace

int modifiedObjects(AbstractProjectModel& project)
{
    return countObjects(project, [](const auto& object) { return object.isModified(); });
}

int objects(AbstractProjectModel& project)
{
    return countObjects(project, [](const auto&) { return true; });
}

namespace {

bool isTimeStamp(const QString& name)
{
    return name.endsWith(QLatin1String("Time"), Qt::CaseInsensitive);
}

// A JSON object text without its time stamps; any other text as it is.
QByteArray withoutTimeStamps(const QByteArray& text)
{
    if (!text.startsWith('{'))
        return text;
    const QJsonDocument document = QJsonDocument::fromJson(text);
    if (!document.isObject())
        return text;
    QJsonObject object = document.object();
    for (const QString& key : object.keys())
        if (isTimeStamp(key))
            object.remove(key);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace

QMap<QString, QByteArray> tableDigests(const std::string& file, QString* error, const QString& password)
{
    QMap<QString, QByteArray> digests;
    error->clear();
    const QString connectionName = QStringLiteral("digest_%1").arg(QString::fromStdString(file));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITEX"), connectionName);
        db.setDatabaseName(QString::fromStdString(file));
        db.setPassword(password);
        // The file's own triggers, as the library trusts them; any other refuses the file.
        db.driver()->setProperty("trustedTriggers", QVariant(DatabaseScript::triggerStatements()));
        // Read-write, as every program that opens the file: an interrupted save is rolled back.
        if (!db.open()) {
            *error = db.lastError().text();
        } else {
            QStringList tables;
            QSqlQuery names(db);
            names.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name"));
            while (names.next())
                tables << names.value(0).toString();
            if (names.lastError().isValid())
                *error = names.lastError().text();
            for (const QString& table : tables) {
                if (table.startsWith(QLatin1String("sqlite_")))
                    continue;
                QCryptographicHash hash(QCryptographicHash::Sha1);
                QSqlQuery rows(db);
                rows.setForwardOnly(true);
                if (!rows.exec(QStringLiteral("SELECT * FROM \"%1\" ORDER BY rowid").arg(table))) {
                    *error = table + ": " + rows.lastError().text();
                    break;
                }
                while (rows.next()) {
                    const QSqlRecord record = rows.record();
                    for (int c = 0; c < record.count(); ++c) {
                        if (isTimeStamp(record.fieldName(c)))
                            continue;
                        const QVariant value = record.value(c);
                        hash.addData(value.isNull() ? QByteArray("\\N") : withoutTimeStamps(value.toByteArray()));
                        hash.addData("\x1f", 1);
                    }
                    hash.addData("\x1e", 1);
                }
                if (rows.lastError().isValid()) {
                    *error = table + ": " + rows.lastError().text();
                    break;
                }
                digests.insert(table, hash.result());
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(connectionName);
    if (!error->isEmpty())
        digests.clear();
    return digests;
}

QString classify(const QMap<QString, QByteArray>& found, const QMap<QString, QByteArray>& before,
                 const QMap<QString, QByteArray>& after)
{
    if (found == before)
        return QStringLiteral("old");
    if (found == after)
        return QStringLiteral("new");
    QStringList differing;
    for (auto it = found.begin(); it != found.end(); ++it)
        if (it.value() != before.value(it.key()) && it.value() != after.value(it.key()))
            differing << it.key();
    QStringList oldTables, newTables;
    for (auto it = found.begin(); it != found.end(); ++it) {
        if (before.value(it.key()) == after.value(it.key()))
            continue;
        (it.value() == before.value(it.key()) ? oldTables : newTables) << it.key();
    }
    return QStringLiteral("mixed (old: %1; new: %2; neither: %3)")
        .arg(oldTables.join(','), newTables.join(','), differing.join(','));
}

} // namespace savetrials
