#include "datamodel/project/PlcLibraryModel.h"

#include "datamodel/auxiliary/InternationalModel.h"
#include "datamodel/compiler/CoreRegistration_p.h"
#include "datamodel/model/DatabaseConnection_p.h"
#include "datamodel/model/DatabaseScript_p.h"
#include "datamodel/model/HostServices.h"
#include "datamodel/model/PrjInfoModel.h"
#include "datamodel/model/ScopedTransaction_p.h"
#include "datamodel/model/SqlText_p.h"
#include "datamodel/program/DataTypeModel.h"
#include "datamodel/program/FolderModel.h"
#include "datamodel/program/GlobalVarModel.h"
#include "datamodel/program/LibraryModel.h"
#include "datamodel/program/PouModel.h"

#include "accore/ACCore.h"
#include "accore/BasicDataType.h"
#include "accore/AccoreManager.h"
#include "accore/SafeAccore.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

namespace {

std::string param(const std::map<std::string, std::string>& params, const char* key, bool* found)
{
    auto it = params.find(key);
    *found = it != params.end();
    return *found ? it->second : std::string();
}

} // namespace

PlcLibraryModel::PlcLibraryModel(std::string name, std::string filePath, std::string absoluteFilePath)
    : AbstractPlcProjectModel(std::move(name), std::move(filePath), std::move(absoluteFilePath))
{
}

PlcLibraryModel::~PlcLibraryModel()
{
    // A closed project leaves no core behind for its name; a core registered since by another
    // model of the same name stays.
    if (!m_registeredCore)
        return;
    bool ours = false;
    {
        ac::SafeAccore core(name());
        ours = core.getAccore() == m_core;
    }
    if (ours)
        ac::AccoreManager::instance()->removeAccore(name());
}

bool PlcLibraryModel::isOpen() const
{
    return true;
}

void PlcLibraryModel::createModel()
{
    // A sub-model registered already (this object opened a second time) stays; the new one
    // is dropped instead of leaked.
    auto add = [this](std::unique_ptr<SubModel> model) {
        if (addSubModel(model.get()))
            model.release(); // owned by the project model now
    };
    add(std::make_unique<PrjInfoModel>("PrjInfoModel", this));
    auto libraries = std::make_unique<LibraryModel>("LibraryModel", this);
    libraries->setDeclarationRegistry(&CoreRegistration::instance());
    add(std::move(libraries));
    add(std::make_unique<PouModel>("PouModel", this));
    add(std::make_unique<GlobalVarModel>("GlobalVarModel", this));
    add(std::make_unique<FolderModel>("FolderModel", this));
    add(std::make_unique<DataTypeModel>("DataTypeModel", this));
    add(std::make_unique<InternationalModel>("InternationalModel", this));
}

bool PlcLibraryModel::create(const std::map<std::string, std::string>& params)
{
    bool hasName = false, hasPath = false, hasType = false, hasStyle = false;
    const std::string fileName = param(params, "fileName", &hasName);
    const std::string filePath = param(params, "filePath", &hasPath);
    const std::string typeText = param(params, "projectType", &hasType);
    if (!hasName || !hasPath || !hasType)
        return false;
    log("创建工程:" + fileName);
    const ProjectType projectType = typeFromText(typeText);
    const std::string programStyle = param(params, "programStyle", &hasStyle);
    if (!hasStyle)
        return false;
    // Running the creation script over an existing project would duplicate its default rows.
    const QFileInfo target(QString::fromStdString(filePath));
    if (target.exists() && target.size() > 0) {
        log("create " + filePath + " refused: the file exists already");
        return false;
    }

    QSqlDatabase connection;
    if (!openDB(fileName, filePath, connection, DefaultPassword, true))
        return false;
    setSqlDatabase(&connection);
    setPassword(DefaultPassword);
    setProjectType(projectType);
    createCore(QString::fromStdString(programStyle), filePath);
    QSqlDatabase database = db();
    initDB(&database, QString::fromStdString(programStyle));
    createModel();

    bool ok = true;
    for (SubModel* model : subModels()) {
        if (!model->create(params)) {
            log("creating the tables of " + model->name() + " in " + filePath + " failed");
            ok = false;
        }
    }
    if (projectType == Project)
        handDeviceMemory(*this); // not registered yet: setDeviceMemery(name) would find nothing
    initHiddenData(this);
    return ok;
}

void PlcLibraryModel::createCore(const QString& programStyle, const std::string& filePath)
{
    auto core = std::make_unique<ac::ACCore>();
    core->setProgramStyle(programStyle == QLatin1String("IECStyle") ? 0 : 1);
    core->addFile(name(), filePath, ac::FT_PROJECT, 0);
    core->setIecCFilePath(HostServices::setting(QStringLiteral("iec.path"), QString()).toString().toStdString());
    m_core = core.get();
    m_registeredCore = ac::AccoreManager::instance()->addAccore(name(), core.release());
}

void PlcLibraryModel::initDB(QSqlDatabase* db, const QString& programStyle)
{
    const char* resource = nullptr;
    if (type() == Project)
        resource = DatabaseScript::ProjectScript;
    else if (type() == UserLib || type() == FirmwareLib)
        resource = DatabaseScript::LibraryScript;
    if (!resource || !db)
        return;
    const DatabaseScript script(QString::fromLatin1(resource));
    // One transaction: a new file is written once instead of once per statement.
    ScopedTransaction transaction(*db);
    script.run(*db);
    if (programStyle == QLatin1String("JPStyle")) {
        QSqlQuery query(*db);
        query.exec(QStringLiteral("INSERT INTO LibraryManager (Id, Name, Path, Properties) VALUES (3, %1, %2, %3)")
                       .arg(SqlText::literal(QStringLiteral("jp_utils.nvl")),
                            SqlText::literal(QStringLiteral("/Libraries/norvale/jp_utils")),
                            SqlText::literal(QStringLiteral(R"({"IsLatestVersion":"true","SpecifyVersion":"0.0.0.0"})"))));
    }
    if (!transaction.commit())
        log("filling the new file failed: " + transaction.errorText().toStdString());
}

bool PlcLibraryModel::holdsProject(QString* why)
{
    QSqlQuery query(db());
    if (!query.exec(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'ProjectInfo'"))
        || !query.next()) {
        *why = QStringLiteral("the file cannot be read: %1").arg(query.lastError().text());
        return false;
    }
    if (query.value(0).toInt() < 1) {
        *why = QStringLiteral("the file is no project: it has no table ProjectInfo");
        return false;
    }
    return true;
}

void PlcLibraryModel::createTable(bool enable)
{
    if (!enable)
        return;
    const DatabaseScript script(QString::fromLatin1(DatabaseScript::ProjectScript));
    QSqlDatabase database = db();
    // All tables or none: an upgrade cut short leaves the file as it was.
    ScopedTransaction transaction(database);
    for (const char* table : {"EcamTable", "EcamPoints", "HmiCfgTable"}) {
        QSqlQuery query(database);
        query.exec(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = ")
                   + SqlText::literal(QString::fromLatin1(table)));
        if (query.next() && query.value(0).toInt() >= 1)
            continue;
        query.finish();
        QSqlQuery createQuery(database);
        if (!createQuery.exec(script.createStatement(QString::fromLatin1(table)))) {
            log(std::string("adding table ") + table + " failed: " + createQuery.lastError().text().toStdString());
            return;
        }
    }
    if (!transaction.commit())
        log("adding the missing tables failed: " + transaction.errorText().toStdString());
}

bool PlcLibraryModel::open(const std::string& name, const std::string& filePath, const std::string& password,
                           bool writable)
{
    HostServices::log("PlcLibraryModel", HostServices::LogInfo, "打开文件:" + filePath);
    clearLastError();
    // A read-write open rolls back what an interrupted save left in the file's journal.
    const bool interrupted = writable && hasHotJournal(filePath);
    QSqlDatabase connection;
    QString error;
    if (!openDB(name, filePath, connection, QString::fromStdString(password), writable, &error)) {
        noteFailure("open of " + filePath + " failed: " + error.toStdString());
        return false;
    }
    if (interrupted && !hasHotJournal(filePath))
        log("recovered " + filePath + ": the changes of an interrupted save were rolled back");
    setSqlDatabase(&connection);
    setPassword(QString::fromStdString(password));
    setProjectType(Unknown);
    // Nothing is added to a file that is no project (an empty file opens as an empty database).
    QString notAProject;
    if (!holdsProject(&notAProject)) {
        noteFailure("open of " + filePath + " failed: " + notAProject.toStdString());
        log(lastError().toStdString());
        closeDb();
        return false;
    }
    createTable(writable);
    createModel();
    for (SubModel* model : subModels())
        model->open();
    // A table that could not be read to its end fails the whole open: a project loaded
    // halfway would look complete, and its next save would write the loss into the file.
    if (!lastError().isEmpty()) {
        // A broken page reads as a mere failed step: name the damage when that is the cause.
        const QString damage = damageOf(db());
        if (!damage.isEmpty()) {
            const std::string first = lastError().toStdString();
            clearLastError();
            noteFailure(filePath + " is damaged: " + damage.toStdString() + " (" + first + ")");
        }
        log("open of " + filePath + " failed: " + lastError().toStdString());
        deleteSubModels();
        closeDb();
        return false;
    }

    auto* infoModel = subModel<PrjInfoModel>();
    PrjInfoModel::PrjInfo* info = infoModel ? infoModel->projectInfo() : nullptr;
    if (!info)
        return false;
    setProjectType(info->type());
    if (!writable)
        return true;

    info->rename(name);
    initHiddenData(this);
    createCore(QString::fromStdString(info->property("ProgramStyle", "IECStyle")), filePath);
    if (type() == Project)
        handDeviceMemory(*this);
    // The referenced libraries join the core that was just created.
    if (type() == Project)
        if (auto* libraries = subModel<LibraryModel>())
            libraries->loadLibraryData(QString::fromStdString(this->filePath()), QString::fromStdString(this->name()));
    return true;
}
