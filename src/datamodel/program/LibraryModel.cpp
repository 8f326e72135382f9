#include "datamodel/program/LibraryModel.h"

#include "datamodel/model/IdReferences_p.h"

#include "datamodel/model/DatabaseConnection_p.h"
#include "datamodel/model/HostServices.h"
#include "datamodel/model/ObjectTable_p.h"
#include "datamodel/model/SoftAssert_p.h"
#include "datamodel/model/SqlText_p.h"
#include "datamodel/program/DeclarationRegistry_p.h"
#include "datamodel/program/LibraryFiles_p.h"
#include "datamodel/program/LibraryChange_p.h"
#include "datamodel/program/LibraryModel_p.h"
#include "datamodel/program/LibraryReader_p.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>

const char* const LibraryModel::BaseLibrary = "sys_include.nvl";
const char* const LibraryModel::ExpansionLibrary = "motion_control.nvl";

namespace {

const char* const MotionControlPath = "/Libraries/norvale/motion_control";

QString q(const std::string& text)
{
    return QString::fromStdString(text);
}

} // namespace

struct LibraryModel::WalkEntry
{
    std::string name;
    std::string path;
    std::map<std::string, std::string> properties;
    LibraryCfg* cfg = nullptr; // the project's own configuration; null for one a library referenced
};

LibraryModel::LibraryModel(const std::string& name, AbstractProjectModel* project)
    : SubModel(name, project), d(std::make_unique<LibraryModelPrivate>())
{
    d->libraries.reset();
    d->fileIds.setUsed(0, true);
}

LibraryModel::~LibraryModel() = default;

bool LibraryModel::isVersionText(const QString& text)
{
    return LibraryFiles::isVersionText(text);
}

int LibraryModel::compareVersions(const QString& a, const QString& b)
{
    return LibraryFiles::compareVersions(a, b);
}

QString LibraryModel::latestVersion(const QString& dir)
{
    return LibraryFiles::latestVersion(dir);
}

// ---- loading the table ----

bool LibraryModel::open()
{
    d->libraries.reset();
    d->fileIds.reset(LibraryModelPrivate::MaxId);
    d->fileIds.setUsed(0, true);
    d->fileIdPaths.clear();

    QSqlQuery ids(database());
    ids.setForwardOnly(true);
    d->hasFileIdTable = ids.exec(QStringLiteral("SELECT * FROM LibIdMap"));
    if (d->hasFileIdTable) {
        while (ids.next()) {
            const int id = ids.record().value(QStringLiteral("Id")).toInt();
            if (id <= 0 || static_cast<unsigned int>(id) > LibraryModelPrivate::MaxId)
                continue;
            d->fileIds.setUsed(static_cast<unsigned int>(id), true);
            d->fileIdPaths[id] = ids.record().value(QStringLiteral("LibFilePath")).toString().toStdString();
        }
        if (!readToTheEnd(ids, "LibIdMap"))
            return false;
    }

    QSqlQuery query(database());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT * FROM librarymanager"))) {
        writeLog(HostServices::LogInfo, "reading the library list failed: " + query.lastError().text().toStdString());
        return false;
    }
    const QSqlRecord columns = query.record();
    const int id = columns.indexOf(QStringLiteral("Id")), name = columns.indexOf(QStringLiteral("Name")),
              path = columns.indexOf(QStringLiteral("Path")), time = columns.indexOf(QStringLiteral("FileModifiedTime")),
              properties = columns.indexOf(QStringLiteral("Properties"));
    while (query.next()) {
        const unsigned int libraryId = query.value(id).toUInt();
        if (libraryId > LibraryModelPrivate::MaxId || d->libraries.find(libraryId))
            continue;
        auto cfg = std::make_unique<LibraryCfg>(libraryId, query.value(name).toString().toStdString(), this);
        cfg->m_path = query.value(path).toString().toStdString();
        cfg->m_mdfTime = query.value(time).toUInt();
        cfg->m_properties.merge(query.value(properties).toString());
        d->libraries.insertLoaded(std::move(cfg));
    }
    return readToTheEnd(query, "LibraryManager");
}

bool LibraryModel::saveAs(bool flag)
{
    d->saveAsFlag = flag;
    return true;
}

bool LibraryModel::saveObject(ModelObject* obj)
{
    LibraryCfg* cfg = d->libraries.owned(obj);
    DATAMODEL_ASSERT(cfg, return false);
    return writeRow(cfg);
}

bool LibraryModel::writeRow(LibraryCfg* cfg)
{
    QSqlQuery query(database());
    query.prepare(QStringLiteral("UPDATE librarymanager SET Name=?, Path=?, FileModifiedTime=?, Properties=? WHERE id=")
                  + QString::number(cfg->id()));
    query.addBindValue(q(cfg->name()));
    query.addBindValue(q(cfg->path()));
    query.addBindValue(cfg->mdfTime());
    query.addBindValue(cfg->properties().toJson());
    if (query.exec())
        return true;
    d->lastError = query.lastError().text();
    writeLog(HostServices::LogInfo, "writing library '" + cfg->name() + "' failed: " + d->lastError.toStdString());
    return false;
}

bool LibraryModel::exec(const QString& statement, const std::string& what)
{
    QSqlQuery query(database());
    if (query.exec(statement))
        return true;
    d->lastError = query.lastError().text();
    writeLog(HostServices::LogInfo, what + " failed: " + d->lastError.toStdString());
    return false;
}

// ---- file ids ----

int LibraryModel::getFileId()
{
    // An id that the synchroniser's symbol indexes still name (POUs of a library that was
    // removed) is passed over, so that they never name the POUs of another library.
    const unsigned int id = IdReferences::firstFreeId(d->fileIds, projectModel(), name());
    if (id == IDDistributor::INVALID_ID)
        return -1;
    d->fileIds.setUsed(id, true);
    return static_cast<int>(id);
}

void LibraryModel::objectRenamed(ModelObject* object, const std::string& oldName)
{
    d->libraries.renamed(d->libraries.owned(object), oldName);
}

void LibraryModel::LibraryCfg::rename(const std::string& name)
{
    const std::string oldName = m_name;
    m_name = name;
    nameChanged(oldName);
}

int LibraryModel::path2LibFileId(const std::string& path, bool record)
{
    for (const auto& [id, recorded] : d->fileIdPaths)
        if (recorded == path)
            return id;
    const int id = getFileId();
    if (id < 0) {
        writeLog(HostServices::LogInfo, "no file id is left for library path " + path);
        return -1;
    }
    d->fileIdPaths[id] = path;
    // An id the file refuses is given back: the next session would not know it.
    if (record && !insertFileIdRow(id, path)) {
        forgetFileId(id);
        return -1;
    }
    return id;
}

bool LibraryModel::insertFileIdRow(int fileId, const std::string& path)
{
    if (!d->hasFileIdTable)
        return true;
    return exec(QStringLiteral("INSERT INTO LibIdMap (Id, LibFilePath) VALUES(") + QString::number(fileId)
                    + QLatin1Char(',') + SqlText::literal(path) + QLatin1Char(')'),
                "recording file id " + std::to_string(fileId) + " of library path " + path);
}

bool LibraryModel::deleteFileIdRow(int fileId)
{
    if (!d->hasFileIdTable)
        return true;
    return exec(QStringLiteral("delete from LibIdMap where id = ") + SqlText::literal(QString::number(fileId)),
                "deleting file id " + std::to_string(fileId));
}

void LibraryModel::forgetFileId(int fileId)
{
    if (fileId <= 0)
        return;
    d->fileIdPaths.erase(fileId);
    d->fileIds.setUsed(static_cast<unsigned int>(fileId), false);
}

bool LibraryModel::isReadOnly() const
{
    return DatabaseConnection::isReadOnly(database());
}

// ---- the compiler core ----

std::string LibraryModel::coreName() const
{
    if (!d->coreName.empty())
        return d->coreName;
    return projectModel() ? projectModel()->name() : std::string();
}

QString LibraryModel::projectDir() const
{
    if (!d->projectDir.isEmpty())
        return d->projectDir;
    return projectModel() ? q(projectModel()->filePath()) : QString();
}

bool LibraryModel::hasCore() const
{
    return d->registry && d->registry->hasCore(coreName());
}

void LibraryModel::setDeclarationRegistry(DeclarationRegistry* registry)
{
    d->registry = registry;
}

bool LibraryModel::registerWithCore(LibraryData& data, const std::string& name, QString& message)
{
    if (!d->registry) {
        message = QStringLiteral("the project has no compiler core named '%1'").arg(q(coreName()));
        return false;
    }
    DeclarationRegistry::Library library;
    library.name = name;
    library.file = data.file;
    library.fileId = data.fileId;
    library.firmware = data.type == AbstractProjectModel::FirmwareLib;
    library.declarations.assign(data.dataTypes.begin(), data.dataTypes.end());
    library.declarations.insert(library.declarations.end(), data.globalVars.begin(), data.globalVars.end());
    library.declarations.insert(library.declarations.end(), data.pous.begin(), data.pous.end());
    const Result<void> registered = d->registry->registerLibrary(coreName(), library);
    if (registered)
        return true;
    message = registered.errorString();
    if (!registered.errorText().isEmpty())
        message += QStringLiteral(": ") + registered.errorText();
    return false;
}

void LibraryModel::withdrawFromCore(int fileId)
{
    if (d->registry)
        d->registry->withdrawLibrary(coreName(), fileId);
}

// ---- loaded libraries ----

void LibraryModel::keepLoaded(const std::string& name, std::unique_ptr<AbstractProjectModel> project, const LibraryData& data)
{
    auto& entry = d->loaded[name];
    entry.project = std::move(project);
    entry.data = data;
    entry.data.project = entry.project.get();
    if (std::find(d->loadOrder.begin(), d->loadOrder.end(), name) == d->loadOrder.end())
        d->loadOrder.push_back(name);
}

std::unique_ptr<AbstractProjectModel> LibraryModel::dropLoaded(std::string name, LibraryData* data)
{
    auto it = d->loaded.find(name);
    if (it == d->loaded.end())
        return nullptr;
    std::unique_ptr<AbstractProjectModel> project = std::move(it->second.project);
    if (data)
        *data = it->second.data;
    d->loaded.erase(it);
    d->loadOrder.erase(std::remove(d->loadOrder.begin(), d->loadOrder.end(), name), d->loadOrder.end());
    return project;
}

void LibraryModel::removeLibraryData(const std::string& name)
{
    LibraryChange(*this).unload(name);
}

void LibraryModel::removeLibraryData(int fileId)
{
    LibraryChange(*this).forgetFile(fileId);
}

void LibraryModel::libPouCommentData()
{
    const QString language = HostServices::cookie(QStringLiteral("IDE/Language"), QStringLiteral("zh_cn")).toString();
    d->commentData.clear();
    for (const auto& [name, entry] : d->loaded)
        d->commentData.insert(q(name), LibraryReader::comments(entry.data, language));
}

// ---- loading at project open ----

void LibraryModel::loadLibraryData(const QString& projectDir, const QString& coreName)
{
    d->coreName = coreName.toStdString();
    d->projectDir = projectDir;
    d->childLibs.clear();
    std::vector<WalkEntry> walk;
    for (LibraryCfg* cfg : d->libraries.all())
        walk.push_back({cfg->name(), cfg->path(), cfg->propertys(), cfg});
    // The walk grows while libraries name the libraries they reference; each library is
    // loaded once, so it ends.
    for (std::size_t i = 0; i < walk.size(); ++i) {
        const WalkEntry entry = walk[i];
        // Children of the base library come with it; the project's own rows always load.
        if (!entry.cfg && d->childLibs.contains(q(entry.name)))
            continue;
        if (d->loaded.count(entry.name))
            continue;
        loadOne(entry, walk);
    }
    writeLog(HostServices::LogInfo, "加载工程库数据");
    libPouCommentData();
}

void LibraryModel::loadOne(const WalkEntry& entry, std::vector<WalkEntry>& walk)
{
    auto property = [&entry](const std::string& key, const std::string& defaultValue) {
        auto it = entry.properties.find(key);
        if (it == entry.properties.end())
            it = entry.properties.find("_" + key); // the keys of older projects
        return it == entry.properties.end() ? defaultValue : it->second;
    };
    const QString name = q(entry.name);
    auto loadFailed = [&name, this](const std::string& why) {
        HostServices::showMessage(QStringLiteral("Fennick"), name + QStringLiteral(" Load Failed"), 300);
        writeLog(HostServices::LogInfo, "loading library " + name.toStdString() + " failed: " + why);
    };

    std::string path = entry.path;
    if (entry.name == ExpansionLibrary && path.empty()) {
        path = MotionControlPath;
        if (entry.cfg)
            entry.cfg->setPath(path);
    }
    const QString folder = LibraryFiles::libraryFolder(projectDir(), path);
    if (!LibraryFiles::isPlainFileName(name) || folder.isEmpty())
        return loadFailed("its name or its path '" + path + "' leads outside the project's Libraries folder");
    const bool latest = property("IsLatestVersion", "false") == "true";
    const QString version = latest ? LibraryFiles::latestVersion(folder) : q(property("SpecifyVersion", "0.0.0.0"));
    if (!version.isEmpty() && !LibraryFiles::isVersionText(version))
        return loadFailed("its version '" + version.toStdString() + "' is no version number");
    const QString file = folder + QLatin1Char('/') + version + QLatin1Char('/') + name;
    if (version.isEmpty() || !QFileInfo(file).isFile())
        return loadFailed("初始化库，库文件不存在:" + entry.name);

    writeLog(HostServices::LogInfo, "获取库数据:" + file.toStdString());
    Result<LibraryReader::Library> candidate = LibraryReader(projectModel()).read(file, entry.name, false);
    if (!candidate) {
        loadFailed(LibraryChange::userText(candidate.failure()).toStdString());
        return;
    }
    // A project opened only to be read cannot record the id; it stays valid for this session.
    const int fileId = path2LibFileId(path, !isReadOnly());
    if (fileId < 0) {
        loadFailed("no file id could be taken and recorded for its path " + path);
        return;
    }
    candidate->data.fileId = fileId;
    QString message;
    // Without a core (a project opened only to be read) the library still serves lookups.
    if (!registerWithCore(candidate->data, entry.name, message))
        writeLog(HostServices::LogInfo, "library " + entry.name + " is not known to the compiler core: "
                                            + message.toStdString());
    if (auto* references = candidate->project->subModel<LibraryModel>()) {
        for (LibraryCfg* cfg : references->d->libraries.all()) {
            if (isBaseLib(entry.name))
                d->childLibs << q(cfg->name());
            walk.push_back({cfg->name(), cfg->path(), cfg->propertys(), nullptr});
        }
    }
    keepLoaded(entry.name, std::move(candidate->project), candidate->data);
}

// ---- adding, replacing, removing: LibraryChange ----

LibraryModel::LibraryCfg* LibraryModel::addLib(const QString& projectDir, const QString& libFile,
                                               AddLibErrorCode& code, QString& message)
{
    return LibraryChange(*this).add(projectDir, libFile, code, message);
}

bool LibraryModel::replaceLibrary(const std::string& name, const std::string&, const std::string& file)
{
    AddLibErrorCode code = CannotOpen;
    QString message;
    return replaceLibrary(name, file, code, message);
}

bool LibraryModel::replaceLibrary(const std::string& name, const std::string& file, AddLibErrorCode& code,
                                  QString& message)
{
    return LibraryChange(*this).replace(name, file, code, message);
}

bool LibraryModel::removeLib(const std::string& libraryName)
{
    return LibraryChange(*this).remove(libraryName);
}

// ---- lookups ----

LibraryModel::LibraryCfg* LibraryModel::library(unsigned int id) const
{
    return d->libraries.find(id);
}

LibraryModel::LibraryCfg* LibraryModel::library(const std::string& name) const
{
    return d->libraries.findNamed(name, [&name](const LibraryCfg& cfg) { return cfg.name() == name; });
}

LibraryModel::LibraryCfg* LibraryModel::getLibrary(const std::string& name) const
{
    if (LibraryCfg* own = library(name))
        return own;
    for (const std::string& loaded : d->loadOrder) {
        auto* references = d->loaded.at(loaded).project->subModel<LibraryModel>();
        if (LibraryCfg* referenced = references ? references->library(name) : nullptr)
            return referenced;
    }
    return nullptr;
}

LibraryModel::LibraryCfg* LibraryModel::getBaseLibrary() const
{
    return library(std::string(BaseLibrary));
}

int LibraryModel::getLibraryId(const std::string& name) const
{
    auto it = d->loaded.find(name);
    return it == d->loaded.end() ? -1 : it->second.data.fileId;
}

std::vector<std::string> LibraryModel::getAllLibName() const
{
    std::vector<std::string> names;
    for (LibraryCfg* cfg : d->libraries.all())
        names.push_back(cfg->name());
    for (const std::string& loaded : d->loadOrder)
        if (std::find(names.begin(), names.end(), loaded) == names.end())
            names.push_back(loaded);
    return names;
}

void LibraryModel::allLibs(std::vector<LibraryCfg*>& out) const
{
    d->libraries.forEach([&out](LibraryCfg* cfg) { out.push_back(cfg); });
}

QMap<QString, int> LibraryModel::allLibInfos() const
{
    QMap<QString, int> infos;
    d->libraries.forEach([&](LibraryCfg* cfg) { infos.insert(q(cfg->name()), getLibraryId(cfg->name())); });
    return infos;
}

QMap<QString, QVariant> LibraryModel::libraryDatas() const
{
    return d->commentData;
}

const LibraryModel::LibraryData* LibraryModel::getLibData(const std::string& name) const
{
    auto it = d->loaded.find(name);
    return it == d->loaded.end() ? nullptr : &it->second.data;
}

// One field of a loaded library's data; the field's empty value when no such library is loaded.
template <typename Field>
Field LibraryModel::libField(const std::string& name, Field LibraryData::*field, Field none) const
{
    const LibraryData* data = getLibData(name);
    return data ? data->*field : none;
}

AbstractProjectModel* LibraryModel::libProjectModel(const std::string& name) const
{
    return libField<AbstractProjectModel*>(name, &LibraryData::project, nullptr);
}

AbstractProjectModel::ProjectType LibraryModel::getLibType(const std::string& name) const
{
    return libField(name, &LibraryData::type, AbstractProjectModel::Unknown);
}

PrjInfoModel::PrjInfo* LibraryModel::getLibPrjInfoData(const std::string& name) const
{
    return libField<PrjInfoModel::PrjInfo*>(name, &LibraryData::info, nullptr);
}

std::vector<FolderModel::Folder*> LibraryModel::getLibFolderData(const std::string& name) const
{
    return libField(name, &LibraryData::folders, {});
}

std::vector<DataTypeModel::DataUnit*> LibraryModel::getLibDataTypes(const std::string& name) const
{
    return libField(name, &LibraryData::dataTypes, {});
}

std::vector<PouModel::PouUnit*> LibraryModel::getLibSymbolData(const std::string& name) const
{
    return libField(name, &LibraryData::pous, {});
}

std::vector<GlobalVarModel::GlobalVarTable*> LibraryModel::getLibGlobalVars(const std::string& name) const
{
    return libField(name, &LibraryData::globalVars, {});
}

// ---- classification ----

bool LibraryModel::isBaseLib(const std::string& name) const
{
    return name == BaseLibrary;
}

bool LibraryModel::isExpandLib(const std::string& name) const
{
    return name == ExpansionLibrary;
}

bool LibraryModel::isBaseChildLib(const std::string& name) const
{
    return d->childLibs.contains(q(name));
}

bool LibraryModel::isBaseAndExpandLib(const std::string& name) const
{
    return isBaseLib(name) || isExpandLib(name) || isBaseChildLib(name);
}

bool LibraryModel::isLibPathExit(const std::string& path) const
{
    return d->libraries.findFirst([&path](const LibraryCfg& cfg) { return cfg.path() == path; }) != nullptr;
}

bool LibraryModel::isLibExit(const std::string& name) const
{
    const QString base = LibraryFiles::baseName(q(name));
    for (const auto& entry : d->loaded)
        if (LibraryFiles::baseName(q(entry.first)).compare(base, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

// ---- LibraryCfg ----

LibraryModel::LibraryCfg::LibraryCfg(unsigned int id, const std::string& name, SubModel* owner)
    : ModelObject(owner), m_id(id), m_name(name)
{
}

std::string LibraryModel::LibraryCfg::property(const std::string& key, const std::string& defaultValue) const
{
    return m_properties.value(key, defaultValue);
}

bool LibraryModel::LibraryCfg::setProperty(const std::string& key, const std::string& value)
{
    m_properties.set(key, value);
    return true;
}

void LibraryModel::LibraryCfg::setPath(const std::string& path)
{
    m_path = path;
    auto* owner = qobject_cast<LibraryModel*>(subModel());
    DATAMODEL_ASSERT(owner, return);
    owner->writeRow(this);
}
