#include "datamodel/program/LibraryModel.h"

#include "datamodel/model/DatabaseConnection_p.h"
#include "datamodel/model/HostServices.h"
#include "datamodel/model/ObjectTable_p.h"
#include "datamodel/model/ProjectModelManager.h"
#include "datamodel/model/SoftAssert_p.h"
#include "datamodel/model/SqlText_p.h"
#include "datamodel/program/DeclarationRegistry_p.h"

#include "host/api/IDialogs.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>
#include <functional>

const char* const LibraryModel::BaseLibrary = "sys_include.nvl";
const char* const LibraryModel::ExpansionLibrary = "motion_control.nvl";

namespace {

constexpr unsigned int MaxId = 100000;
// A user who keeps typing wrong passwords is asked this often, then the library is refused.
constexpr int MaxPasswordPrompts = 5;
const char* const MotionControlPath = "/Libraries/norvale/motion_control";

QString q(const std::string& text)
{
    return QString::fromStdString(text);
}

// A library name is used as a file and a folder name below the project folder: it must not
// carry a path of its own.
bool isPlainFileName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
           && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) && !name.contains(QChar(0));
}

QString baseName(const QString& name)
{
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.left(dot);
}

// The folder of a library path ("/Libraries/norvale/sys_include") below the project folder;
// empty when the path would lead outside the project's Libraries folder.
QString libraryFolder(const QString& projectDir, const std::string& path)
{
    const QString text = q(path);
    if (projectDir.isEmpty() || text.isEmpty() || text.contains(QLatin1Char('\\')) || text.contains(QChar(0)))
        return QString();
    const QString root = QDir::cleanPath(projectDir + QStringLiteral("/Libraries"));
    const QString folder = QDir::cleanPath(projectDir + QLatin1Char('/') + text);
    return folder.startsWith(root + QLatin1Char('/')) ? folder : QString();
}

// A library's translation table; it registers under the name of the class that implements it.
TranslationTable* translationsOf(AbstractProjectModel* library)
{
    return library ? dynamic_cast<TranslationTable*>(library->subModel("InternationalModel")) : nullptr;
}

bool sameFile(const QString& a, const QString& b)
{
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}

// Copies through a temporary file that replaces the target only when it is complete: a copy
// that fails half-way leaves neither a partial file nor a damaged old target.
bool copyFileToPath(const QString& source, const QString& target, QString& error)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        error = in.errorString();
        return false;
    }
    if (QFileInfo::exists(target))
        QFile::setPermissions(target, QFile::permissions(target) | QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    // Unbuffered, so that a short write (a full disk, a file size limit) shows in the result of
    // write() itself: a buffered QSaveFile may report it nowhere and commit a truncated file.
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        error = out.errorString();
        return false;
    }
    QByteArray buffer(64 * 1024, Qt::Uninitialized);
    while (!in.atEnd()) {
        const qint64 got = in.read(buffer.data(), buffer.size());
        if (got < 0 || out.write(buffer.constData(), got) != got) {
            error = got < 0 ? in.errorString() : out.errorString();
            out.cancelWriting();
            return false;
        }
    }
    if (out.size() != in.size()) {
        error = QStringLiteral("%1 of %2 bytes were written").arg(out.size()).arg(in.size());
        out.cancelWriting();
        return false;
    }
    if (!out.commit()) {
        error = out.errorString();
        return false;
    }
    return true;
}

// The folders that one operation created, so that a failure can take them away again.
class CreatedFolders
{
public:
    bool make(const QString& dir)
    {
        QStringList missing;
        for (QString path = dir; !path.isEmpty() && !QFileInfo::exists(path); path = QFileInfo(path).path()) {
            missing.prepend(path);
            if (QFileInfo(path).path() == path)
                break;
        }
        if (!QDir().mkpath(dir) || !QFileInfo(dir).isDir())
            return false;
        m_made += missing;
        return true;
    }
    // Removes what was made, innermost first; a folder that is not empty stays.
    void undo()
    {
        for (auto it = m_made.crbegin(); it != m_made.crend(); ++it)
            QDir().rmdir(*it);
        m_made.clear();
    }

private:
    QStringList m_made;
};

// The numbers of a version text without leading zeros, so that they compare as numbers of
// any length: first by length, then by text.
int compareNumber(QString a, QString b)
{
    auto strip = [](QString& n) {
        int zeros = 0;
        while (zeros < n.size() - 1 && n[zeros] == QLatin1Char('0'))
            ++zeros;
        n.remove(0, zeros);
    };
    strip(a);
    strip(b);
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
}

} // namespace

struct LibraryModel::Candidate
{
    std::unique_ptr<AbstractProjectModel> project;
    LibraryData data;
};

struct LibraryModel::WalkEntry
{
    std::string name;
    std::string path;
    std::map<std::string, std::string> properties;
    LibraryCfg* cfg = nullptr; // the project's own configuration; null for one a library referenced
};

class LibraryModelPrivate
{
public:
    struct Loaded
    {
        std::unique_ptr<AbstractProjectModel> project; // opened read-only
        LibraryModel::LibraryData data;
    };

    ObjectTable<LibraryModel::LibraryCfg> libraries{QStringLiteral("LibraryManager"), QStringLiteral("Id")};
    IDDistributor fileIds{MaxId}; // id 0 is the project's own file
    std::map<int, std::string> fileIdPaths; // file id -> library path, as in LibIdMap
    std::map<std::string, Loaded> loaded;   // by library name
    std::vector<std::string> loadOrder;
    std::string coreName; // empty: the project's name
    QString projectDir;   // empty: the project's folder
    QStringList childLibs;
    QMap<QString, QVariant> commentData;
    bool saveAsFlag = true;
    // Library files have no LibIdMap: the file ids of the libraries a library project uses
    // live as long as the session.
    bool hasFileIdTable = false;
    QString lastError; // the database's text of the last failed statement
    DeclarationRegistry* registry = nullptr; // not owned; null: no compiler core is reached
};

LibraryModel::LibraryModel(const std::string& name, AbstractProjectModel* project)
    : SubModel(name, project), d(std::make_unique<LibraryModelPrivate>())
{
    d->libraries.reset();
    d->fileIds.setUsed(0, true);
}

LibraryModel::~LibraryModel() = default;

// ---- versions ----

bool LibraryModel::isVersionText(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^\\d+(\\.\\d+)*$"));
    return pattern.match(text).hasMatch();
}

int LibraryModel::compareVersions(const QString& a, const QString& b)
{
    const QStringList x = a.split(QLatin1Char('.')), y = b.split(QLatin1Char('.'));
    for (int i = 0; i < std::max(x.size(), y.size()); ++i) {
        const int order = compareNumber(x.value(i, QStringLiteral("0")), y.value(i, QStringLiteral("0")));
        if (order != 0)
            return order;
    }
    return 0;
}

QString LibraryModel::latestVersion(const QString& dir)
{
    QString latest;
    const QStringList folders =
        QDir(dir).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString& folder : folders)
        if (isVersionText(folder) && (latest.isEmpty() || compareVersions(folder, latest) > 0))
            latest = folder;
    return latest;
}

// ---- loading the table ----

bool LibraryModel::open()
{
    d->libraries.reset();
    d->fileIds.reset(MaxId);
    d->fileIds.setUsed(0, true);
    d->fileIdPaths.clear();

    QSqlQuery ids(database());
    ids.setForwardOnly(true);
    d->hasFileIdTable = ids.exec(QStringLiteral("SELECT * FROM LibIdMap"));
    if (d->hasFileIdTable) {
        while (ids.next()) {
            const int id = ids.record().value(QStringLiteral("Id")).toInt();
            if (id <= 0 || static_cast<unsigned int>(id) > MaxId)
                continue;
            d->fileIds.setUsed(static_cast<unsigned int>(id), true);
            d->fileIdPaths[id] = ids.record().value(QStringLiteral("LibFilePath")).toString().toStdString();
        }
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
        if (libraryId > MaxId || d->libraries.find(libraryId))
            continue;
        auto cfg = std::make_unique<LibraryCfg>(libraryId, query.value(name).toString().toStdString(), this);
        cfg->m_path = query.value(path).toString().toStdString();
        cfg->m_mdfTime = query.value(time).toUInt();
        cfg->m_properties.merge(query.value(properties).toString());
        d->libraries.insertLoaded(std::move(cfg));
    }
    return true;
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
    const unsigned int id = d->fileIds.takenId();
    return id == IDDistributor::INVALID_ID ? -1 : static_cast<int>(id);
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
    // A project opened only to be read cannot record the id; it stays valid for this session.
    if (record)
        insertFileIdRow(id, path);
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

// ---- reading a library file ----

bool LibraryModel::acceptedPassword(const QString& file, QString& password, AddLibErrorCode& code, QString& message)
{
    const QFileInfo info(file);
    if (!info.isFile()) {
        code = CannotOpen;
        message = QStringLiteral("the library file %1 does not exist").arg(file);
        return false;
    }
    if (info.size() == 0) {
        code = CannotOpen;
        message = QStringLiteral("%1 is empty, not a library file").arg(file);
        return false;
    }
    password = AbstractProjectModel::DefaultPassword;
    for (int prompts = 0;; ++prompts) {
        {
            ScopedConnection probe("LibraryModel", file.toStdString(), password, false);
            if (probe.isOpen())
                return true;
            // Only a file that may be an encrypted database is worth a password: the driver
            // tells a wrong password apart from a file of another kind.
            if (probe.errorNumber() != AbstractProjectModel::WrongPasswordError) {
                code = CannotOpen;
                message = QStringLiteral("%1 is not a library file: %2").arg(file, probe.errorText());
                return false;
            }
        }
        if (prompts == MaxPasswordPrompts) {
            code = CannotOpen;
            message = QStringLiteral("%1: wrong password").arg(file);
            return false;
        }
        auto* dialogs = HostServices::get<host::IDialogs>();
        bool ok = false;
        const QString typed = dialogs ? dialogs->text(QStringLiteral("Library Password"), QStringLiteral("Password"),
                                                      true, &ok)
                                      : QString();
        if (!ok) {
            code = PasswordCancelled;
            message = QStringLiteral("the password prompt for %1 was cancelled").arg(file);
            return false;
        }
        password = typed;
    }
}

bool LibraryModel::readLibrary(const QString& file, const std::string& name, bool checkCompiled, Candidate& out,
                               AddLibErrorCode& code, QString& message)
{
    QString password;
    if (!acceptedPassword(file, password, code, message))
        return false;
    std::unique_ptr<AbstractProjectModel> project =
        projectModel() ? projectModel()->openLibraryFile(name, file.toStdString(), password) : nullptr;
    auto* infoModel = project ? project->subModel<PrjInfoModel>() : nullptr;
    PrjInfoModel::PrjInfo* info = infoModel ? infoModel->projectInfo() : nullptr;
    if (!info) {
        code = CannotOpen;
        message = QStringLiteral("%1 is not a library file: it holds no project information").arg(file);
        return false;
    }
    const AbstractProjectModel::ProjectType type = info->type();
    if (type != AbstractProjectModel::UserLib && type != AbstractProjectModel::FirmwareLib
        && type != AbstractProjectModel::CompiledLib) {
        code = CannotOpen;
        message = QStringLiteral("%1 is a user project, not a library").arg(file);
        return false;
    }
    // The version names a folder below the project: nothing but numbers and dots.
    const QString version = q(info->version());
    if (!isVersionText(version)) {
        code = CannotOpen;
        message = QStringLiteral("%1 has the version '%2', which is no version number").arg(file, version);
        return false;
    }
    if (checkCompiled && info->property("Compile", "false") != "true") {
        code = NotCompiled;
        message = QStringLiteral("%1 is not compiled").arg(file);
        return false;
    }

    LibraryData& data = out.data;
    data.project = project.get();
    data.file = file.toStdString();
    data.version = version.toStdString();
    data.type = type;
    data.info = info;
    if (auto* folders = project->subModel<FolderModel>())
        folders->allFolders(data.folders, FolderModel::AllFolderTypes);
    if (auto* types = project->subModel<DataTypeModel>())
        types->allDataUnits(data.dataTypes);
    if (auto* pous = project->subModel<PouModel>())
        pous->allPous(data.pous, PouModel::AllPouTypes);
    if (auto* lists = project->subModel<GlobalVarModel>())
        lists->allVarTables(data.globalVars);
    if (TranslationTable* texts = translationsOf(project.get())) {
        data.translations = texts->getAllInternationalNode();
        data.languages = texts->languages();
    }
    out.project = std::move(project);
    return true;
}

// ---- names in use ----

bool LibraryModel::nameTaken(const std::string& name) const
{
    AbstractProjectModel* project = projectModel();
    if (!project)
        return false;
    const QString text = q(name);
    auto inModel = [&text](AbstractProjectModel* model) {
        auto* types = model->subModel<DataTypeModel>();
        auto* pous = model->subModel<PouModel>();
        auto* lists = model->subModel<GlobalVarModel>();
        return (types && types->dataUnit(text)) || (pous && pous->pou(text)) || (lists && lists->varTable(text));
    };
    if (inModel(project))
        return true;
    for (const auto& entry : d->loaded)
        if (inModel(entry.second.project.get()))
            return true;
    return false;
}

std::string LibraryModel::usedName(const LibraryData& library) const
{
    for (DataTypeModel::DataUnit* unit : library.dataTypes)
        if (nameTaken(unit->name()))
            return unit->name();
    for (PouModel::PouUnit* pou : library.pous)
        if (nameTaken(pou->name()))
            return pou->name();
    for (GlobalVarModel::GlobalVarTable* list : library.globalVars)
        if (nameTaken(list->name()))
            return list->name();
    return std::string();
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

void LibraryModel::removeLibraryData(const std::string& libraryName)
{
    const std::string name = libraryName; // the caller's text may be the key erased here
    auto it = d->loaded.find(name);
    if (it == d->loaded.end())
        return;
    const int fileId = it->second.data.fileId;
    withdrawFromCore(fileId);
    dropLoaded(name);
    deleteFileIdRow(fileId);
    forgetFileId(fileId);
    libPouCommentData();
}

void LibraryModel::removeLibraryData(int fileId)
{
    withdrawFromCore(fileId);
    deleteFileIdRow(fileId);
    forgetFileId(fileId);
}

void LibraryModel::libPouCommentData()
{
    const QString language = HostServices::cookie(QStringLiteral("IDE/Language"), QStringLiteral("zh_cn")).toString();
    d->commentData.clear();
    for (const auto& [name, entry] : d->loaded) {
        TranslationTable* texts = translationsOf(entry.project.get());
        int type = texts ? texts->languageType(language) : 0;
        // A library without the IDE's language shows its first one rather than nothing.
        if (type == 0 && texts && !texts->languages().isEmpty())
            type = texts->languageType(texts->languages().first());
        QVariantMap comments;
        for (const TranslationTable::InternationalNodeStruct& node : entry.data.translations)
            if (node.type == type)
                comments.insert(node.key, node.context);
        d->commentData.insert(q(name), comments);
    }
}

void LibraryModel::markForRecompilation() const
{
    if (AbstractProjectModel* project = projectModel(); project && project->type() == AbstractProjectModel::Project)
        markProjectModified(false);
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
    const QString folder = libraryFolder(projectDir(), path);
    if (!isPlainFileName(name) || folder.isEmpty()) {
        loadFailed("its name or its path '" + path + "' leads outside the project's Libraries folder");
        return;
    }
    const bool latest = property("IsLatestVersion", "false") == "true";
    const QString version = latest ? latestVersion(folder) : q(property("SpecifyVersion", "0.0.0.0"));
    if (!version.isEmpty() && !isVersionText(version)) {
        loadFailed("its version '" + version.toStdString() + "' is no version number");
        return;
    }
    const QString file = folder + QLatin1Char('/') + version + QLatin1Char('/') + name;
    if (version.isEmpty() || !QFileInfo(file).isFile()) {
        HostServices::showMessage(QStringLiteral("Fennick"), name + QStringLiteral(" Load Failed"), 300);
        writeLog(HostServices::LogInfo, "初始化库，库文件不存在:" + entry.name);
        return;
    }

    writeLog(HostServices::LogInfo, "获取库数据:" + file.toStdString());
    Candidate candidate;
    AddLibErrorCode code = CannotOpen;
    QString message;
    if (!readLibrary(file, entry.name, false, candidate, code, message)) {
        loadFailed(message.toStdString());
        return;
    }
    const int fileId = path2LibFileId(path, true);
    if (fileId < 0) {
        loadFailed("no file id is left");
        return;
    }
    candidate.data.fileId = fileId;
    // Without a core (a project opened only to be read) the library still serves lookups.
    if (!registerWithCore(candidate.data, entry.name, message))
        writeLog(HostServices::LogInfo, "library " + entry.name + " is not known to the compiler core: "
                                            + message.toStdString());
    if (auto* references = candidate.project->subModel<LibraryModel>()) {
        for (LibraryCfg* cfg : references->d->libraries.all()) {
            if (isBaseLib(entry.name))
                d->childLibs << q(cfg->name());
            walk.push_back({cfg->name(), cfg->path(), cfg->propertys(), nullptr});
        }
    }
    keepLoaded(entry.name, std::move(candidate.project), candidate.data);
}

// ---- adding, replacing, removing ----

LibraryModel::LibraryCfg* LibraryModel::addLib(const QString& projectDir, const QString& libFile,
                                               AddLibErrorCode& code, QString& message)
{
    const QString name = QFileInfo(libFile).fileName();
    const std::string utf8 = name.toStdString();
    auto fail = [&](AddLibErrorCode failure, const QString& text) -> LibraryCfg* {
        code = failure;
        message = text;
        writeLog(HostServices::LogInfo, "添加库失败:" + libFile.toStdString() + ": " + text.toStdString());
        return nullptr;
    };
    if (!isPlainFileName(name))
        return fail(CannotOpen, QStringLiteral("'%1' names no library file").arg(libFile));
    if (isLibExit(utf8))
        return fail(LibraryLoaded, QStringLiteral("a library named %1 is loaded already").arg(name));
    if (!hasCore())
        return fail(CannotOpen, QStringLiteral("the project has no compiler core named '%1'").arg(q(coreName())));

    Candidate candidate;
    if (!readLibrary(libFile, utf8, true, candidate, code, message))
        return fail(code, message);
    const std::string used = usedName(candidate.data);
    if (!used.empty()) {
        fail(NameInUse, QStringLiteral("the name %1 of library %2 is used already").arg(q(used), name));
        message = q(used);
        return nullptr;
    }

    const std::string path = "/Libraries/userlib/" + utf8;
    const QString folder = libraryFolder(projectDir, path);
    const QString versionDir = folder + QLatin1Char('/') + q(candidate.data.version);
    CreatedFolders created;
    if (folder.isEmpty() || !created.make(folder)) {
        writeLog(HostServices::LogInfo, "创建库文件夹失败:" + folder.toStdString());
        return fail(FileError, QStringLiteral("cannot create the folder %1").arg(folder));
    }
    if (!created.make(versionDir)) {
        writeLog(HostServices::LogInfo, "创建库版本文件夹失败:" + versionDir.toStdString());
        created.undo();
        return fail(FileError, QStringLiteral("cannot create the folder %1").arg(versionDir));
    }
    const QString target = versionDir + QLatin1Char('/') + name;
    const bool copy = !sameFile(libFile, target);
    const bool targetExisted = QFileInfo::exists(target);
    auto undoFiles = [&] {
        if (copy && !targetExisted)
            QFile::remove(target);
        created.undo();
    };
    if (copy) {
        QString error;
        if (!copyFileToPath(libFile, target, error)) {
            writeLog(HostServices::LogInfo, "转移库失败:" + target.toStdString());
            undoFiles();
            return fail(FileError, QStringLiteral("copying %1 to %2 failed: %3").arg(libFile, target, error));
        }
    }
    candidate.data.file = target.toStdString();

    const bool newFileId = std::none_of(d->fileIdPaths.begin(), d->fileIdPaths.end(),
                                        [&path](const auto& entry) { return entry.second == path; });
    const int fileId = path2LibFileId(path, false);
    if (fileId < 0) {
        undoFiles();
        return fail(FileError, QStringLiteral("no file id is left for %1").arg(name));
    }
    candidate.data.fileId = fileId;
    auto undoFileId = [&] {
        if (newFileId)
            forgetFileId(fileId);
    };
    QString coreError;
    if (!registerWithCore(candidate.data, utf8, coreError)) {
        withdrawFromCore(fileId);
        undoFileId();
        undoFiles();
        return fail(CannotOpen, coreError);
    }

    // The rows: a configuration of that name (a library whose file was missing) is reused.
    LibraryCfg* cfg = library(utf8);
    std::unique_ptr<LibraryCfg> fresh;
    if (!cfg) {
        const unsigned int id = d->libraries.nextId();
        if (id == IDDistributor::INVALID_ID) {
            withdrawFromCore(fileId);
            undoFileId();
            undoFiles();
            return fail(FileError, QStringLiteral("no library id is left for %1").arg(name));
        }
        fresh = std::make_unique<LibraryCfg>(id, utf8, this);
        cfg = fresh.get();
    }
    const std::string oldPath = cfg->m_path;
    const StringProperties oldProperties = cfg->m_properties;
    const unsigned int oldTime = cfg->m_mdfTime;
    cfg->m_path = path;
    cfg->setProperty("IsLatestVersion", "false");
    cfg->setProperty("SpecifyVersion", candidate.data.version);
    cfg->setmdfTime(static_cast<unsigned int>(QFileInfo(target).lastModified().toSecsSinceEpoch()));
    bool written = false;
    {
        ScopedTransaction transaction(database());
        written = transaction.isActive() && (!newFileId || insertFileIdRow(fileId, path))
                  && (!fresh
                      || exec(QStringLiteral("INSERT INTO librarymanager (Id, Name) VALUES(") + QString::number(cfg->id())
                                  + QStringLiteral(", ") + SqlText::literal(name) + QLatin1Char(')'),
                              "adding the row of library " + utf8))
                  && writeRow(cfg) && transaction.commit();
        if (!written && d->lastError.isEmpty())
            d->lastError = transaction.errorText();
    }
    if (!written) {
        cfg->m_path = oldPath;
        cfg->m_properties = oldProperties;
        cfg->m_mdfTime = oldTime;
        withdrawFromCore(fileId);
        undoFileId();
        undoFiles();
        return fail(FileError, QStringLiteral("the rows of library %1 could not be written: %2").arg(name, d->lastError));
    }
    if (fresh)
        d->libraries.insertLoaded(std::move(fresh));
    keepLoaded(utf8, std::move(candidate.project), candidate.data);
    markForRecompilation();
    libPouCommentData();
    writeLog(HostServices::LogInfo, "添加库:" + utf8);
    return cfg;
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
    auto fail = [&](AddLibErrorCode failure, const QString& text) {
        code = failure;
        message = text;
        writeLog(HostServices::LogInfo, "替换库失败:" + name + ": " + text.toStdString());
        return false;
    };
    LibraryCfg* cfg = library(name);
    if (!cfg)
        return fail(CannotOpen, QStringLiteral("no library named %1 is configured").arg(q(name)));
    const QString folder = libraryFolder(projectDir(), cfg->path());
    if (folder.isEmpty())
        return fail(CannotOpen, QStringLiteral("the path '%1' of library %2 leads outside the project's Libraries folder")
                                    .arg(q(cfg->path()), q(name)));
    if (!hasCore())
        return fail(CannotOpen, QStringLiteral("the project has no compiler core named '%1'").arg(q(coreName())));
    Candidate candidate;
    if (!readLibrary(q(file), name, false, candidate, code, message))
        return fail(code, message);

    // The old library stays in place until the new one is proven usable; for the name check it
    // steps aside, so that its own names do not count as taken.
    LibraryData oldData;
    std::unique_ptr<AbstractProjectModel> oldProject = dropLoaded(name, &oldData);
    auto restore = [&] {
        if (oldProject)
            keepLoaded(name, std::move(oldProject), oldData);
    };
    const std::string used = usedName(candidate.data);
    if (!used.empty()) {
        restore();
        fail(NameInUse, QStringLiteral("the name %1 of the new %2 is used already").arg(q(used), q(name)));
        message = q(used);
        return false;
    }
    const QString versionDir = folder + QLatin1Char('/') + q(candidate.data.version);
    const QString target = versionDir + QLatin1Char('/') + q(name);
    CreatedFolders created;
    const bool copy = !sameFile(q(file), target);
    const bool targetExisted = QFileInfo::exists(target);
    QString error;
    if (!created.make(versionDir) || (copy && !copyFileToPath(q(file), target, error))) {
        created.undo();
        restore();
        return fail(FileError, QStringLiteral("installing %1 as %2 failed: %3").arg(q(file), target, error));
    }
    candidate.data.file = target.toStdString();

    // After the next open the project must read what it reads now: pin the version unless the
    // new file is the latest one anyway.
    const std::map<std::string, std::string> oldProperties = cfg->propertys();
    const unsigned int oldTime = cfg->mdfTime();
    if (cfg->property("IsLatestVersion", "false") != "true"
        || compareVersions(latestVersion(folder), q(candidate.data.version)) != 0) {
        cfg->setProperty("IsLatestVersion", "false");
        cfg->setProperty("SpecifyVersion", candidate.data.version);
    }
    cfg->setmdfTime(static_cast<unsigned int>(QFileInfo(target).lastModified().toSecsSinceEpoch()));
    if (!writeRow(cfg)) {
        cfg->m_properties.map() = oldProperties;
        cfg->m_mdfTime = oldTime;
        if (copy && !targetExisted)
            QFile::remove(target);
        created.undo();
        restore();
        return fail(FileError, QStringLiteral("the row of library %1 could not be written: %2").arg(q(name), d->lastError));
    }

    const int fileId = oldProject ? oldData.fileId : path2LibFileId(cfg->path(), true);
    candidate.data.fileId = fileId;
    if (oldProject)
        withdrawFromCore(fileId);
    QString coreError;
    if (!registerWithCore(candidate.data, name, coreError))
        writeLog(HostServices::LogInfo, "library " + name + " is not known to the compiler core: "
                                            + coreError.toStdString());
    keepLoaded(name, std::move(candidate.project), candidate.data);
    oldProject.reset(); // the old library's model closes now
    markForRecompilation();
    libPouCommentData();
    writeLog(HostServices::LogInfo, "替换库");
    return true;
}

bool LibraryModel::removeLib(const std::string& libraryName)
{
    // A copy: the caller may hand in the name of the configuration that is deleted here.
    const std::string name = libraryName;
    LibraryCfg* cfg = library(name);
    if (!cfg) {
        writeLog(HostServices::LogInfo, "删除库失败: no library named " + name);
        return false;
    }
    int fileId = getLibraryId(name);
    if (fileId < 0)
        for (const auto& [id, path] : d->fileIdPaths)
            if (path == cfg->path())
                fileId = id;
    bool removed = false;
    {
        ScopedTransaction transaction(database());
        removed = transaction.isActive()
                  && exec(QStringLiteral("delete from librarymanager where id = ") + SqlText::literal(QString::number(cfg->id())),
                          "deleting the row of library " + name)
                  && (fileId <= 0 || deleteFileIdRow(fileId)) && transaction.commit();
    }
    if (!removed) {
        writeLog(HostServices::LogInfo, "删除库失败:" + name);
        return false;
    }
    if (fileId > 0) {
        withdrawFromCore(fileId);
        forgetFileId(fileId);
    }
    dropLoaded(name);
    d->libraries.erase(cfg);
    markForRecompilation();
    libPouCommentData();
    writeLog(HostServices::LogInfo, "删除库:" + name);
    return true;
}

// ---- lookups ----

LibraryModel::LibraryCfg* LibraryModel::library(unsigned int id) const
{
    return d->libraries.find(id);
}

LibraryModel::LibraryCfg* LibraryModel::library(const std::string& name) const
{
    return d->libraries.findFirst([&name](const LibraryCfg& cfg) { return cfg.name() == name; });
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

AbstractProjectModel* LibraryModel::libProjectModel(const std::string& name) const
{
    const LibraryData* data = getLibData(name);
    return data ? data->project : nullptr;
}

AbstractProjectModel::ProjectType LibraryModel::getLibType(const std::string& name) const
{
    const LibraryData* data = getLibData(name);
    return data ? data->type : AbstractProjectModel::Unknown;
}

PrjInfoModel::PrjInfo* LibraryModel::getLibPrjInfoData(const std::string& name) const
{
    const LibraryData* data = getLibData(name);
    return data ? data->info : nullptr;
}

std::vector<FolderModel::Folder*> LibraryModel::getLibFolderData(const std::string& name) const
{
    const LibraryData* data = getLibData(name);
    return data ? data->folders : std::vector<FolderModel::Folder*>();
}

std::vector<DataTypeModel::DataUnit*> LibraryModel::getLibDataTypes(const std::string& name) const
{
    const LibraryData* data = getLibData(name);
    return data ? data->dataTypes : std::vector<DataTypeModel::DataUnit*>();
}

std::vector<PouModel::PouUnit*> LibraryModel::getLibSymbolData(const std::string& name) const
{
    const LibraryData* data = getLibData(name);
    return data ? data->pous : std::vector<PouModel::PouUnit*>();
}

std::vector<GlobalVarModel::GlobalVarTable*> LibraryModel::getLibGlobalVars(const std::string& name) const
{
    const LibraryData* data = getLibData(name);
    return data ? data->globalVars : std::vector<GlobalVarModel::GlobalVarTable*>();
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
    const QString base = baseName(q(name));
    for (const auto& entry : d->loaded)
        if (baseName(q(entry.first)).compare(base, Qt::CaseInsensitive) == 0)
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
