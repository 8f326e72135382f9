#include "ProjectSession.h"
#include "Secrets.h"

#include "datamodel/model/ProjectFiles.h"

#include "datamodel/project/PlcProjectModel.h"
#include "datamodel/model/ProjectModelManager.h"
#include "datamodel/model/HostServices.h"
#include "datamodel/model/PrjInfoModel.h"
#include "datamodel/model/ProjectLock.h"
#include "datamodel/program/LibraryModel.h"
#include "host/CookieStore.h"

#include "accore/ACCore.h"
#include "accore/AccoreManager.h"

#include <QDir>
#include <QFileInfo>

namespace plcproj {

namespace {

// A read-only model gets no compiler core of its own; a check needs one.
bool attachCore(AbstractPlcProjectModel& model, const std::string& file)
{
    auto* info = model.subModel<PrjInfoModel>();
    const std::string style = info && info->projectInfo() ? info->projectInfo()->property("ProgramStyle", "IECStyle")
                                                          : std::string("IECStyle");
    auto core = std::make_unique<ac::ACCore>();
    core->setProgramStyle(style == "IECStyle" ? 0 : 1);
    core->addFile(model.name(), file, 1, model.getFileID());
    return ac::AccoreManager::instance()->addAccore(model.name(), core.release());
}

void setCurrentProject(const std::string& name)
{
    if (auto* cookies = HostServices::get<host::CookieStore>())
        cookies->setValue(QStringLiteral("Project.Name"), QString::fromStdString(name));
}

} // namespace

QString ProjectLocation::fileNameFor(const QString& projectName, bool library)
{
    QString base = projectName;
    for (QChar& c : base)
        if (c == '/' || c == '\\' || c == QChar(0) || c == ':')
            c = '_';
    if (base.isEmpty() || base == "." || base == "..")
        base = QStringLiteral("project");
    return base + (library ? ".nvl" : ".nvp");
}

bool ProjectLocation::resolve(const QString& argument, ProjectLocation& location, QString* error)
{
    const QFileInfo info(argument);
    if (info.isDir()) {
        const QStringList files = QDir(argument).entryList({"*.nvp", "*.nvl"}, QDir::Files, QDir::Name);
        if (files.size() != 1) {
            *error = files.isEmpty() ? QStringLiteral("%1 holds no project file (*.nvp or *.nvl)").arg(argument)
                                     : QStringLiteral("%1 holds several project files: %2").arg(argument, files.join(", "));
            return false;
        }
        location.folder = info.absoluteFilePath();
        location.databaseFile = QDir(location.folder).filePath(files[0]);
    } else if (info.isFile()) {
        location.folder = info.absolutePath();
        location.databaseFile = info.absoluteFilePath();
    } else {
        *error = QStringLiteral("%1 does not exist").arg(argument);
        return false;
    }
    location.library = location.databaseFile.endsWith(QLatin1String(".nvl"));
    return true;
}

std::unique_ptr<ProjectSession> ProjectSession::open(const ProjectLocation& location, const QString& password,
                                                     Access access, QString* error)
{
    const bool writable = access == Access::Writable;
    std::unique_ptr<ProjectSession> session(new ProjectSession);
    // The lock comes first: a second writer is refused before it reads a byte.
    if (access != Access::ReadOnly) {
        session->m_lock = ProjectLock::acquire(location.folder, error);
        if (!session->m_lock)
            return nullptr;
    }
    // A save that was interrupted is rolled back before anything reads the file.
    if (writable && !AbstractPlcProjectModel::recoverInterruptedSave(location.databaseFile.toStdString(), password, error))
        return nullptr;
    const QMap<QString, QString> info =
        AbstractPlcProjectModel::getProjectInfo(QStringLiteral("plcproj"), location.databaseFile, password);
    if (info.isEmpty()) {
        *error = AbstractPlcProjectModel::whyNotAProject(location.databaseFile.toStdString(), password);
        return nullptr;
    }
    session->m_location = location;
    session->m_name = info.value(QStringLiteral("fileName")).toStdString();
    if (session->m_name.empty())
        session->m_name = QFileInfo(location.databaseFile).completeBaseName().toStdString();

    const std::string folder = location.folder.toStdString();
    const std::string file = location.databaseFile.toStdString();
    std::unique_ptr<AbstractPlcProjectModel> model;
    if (location.library)
        model = std::make_unique<PlcLibraryModel>(session->m_name, folder, file);
    else
        model = std::make_unique<PlcProjectModel>(session->m_name, folder, file);
    // The model logs why it cannot open the file; a link is named here, where the user reads.
    const Result<void> noLink = writable ? ProjectFiles::refuseDatabaseLinks(location.databaseFile) : Result<void>();
    if (!noLink) {
        *error = noLink.errorString();
        return nullptr;
    }
    if (!model->open(session->m_name, file, password.toStdString(), writable)) {
        *error = model->lastError().isEmpty() ? QStringLiteral("%1 could not be opened").arg(location.databaseFile)
                                              : model->lastError();
        return nullptr;
    }
    if (access == Access::ReadOnly) {
        session->m_model = model.get();
        session->m_unregistered = std::move(model);
        return session;
    }
    if (access == Access::Checking) {
        session->m_ownCore = attachCore(*model, file);
        // A check must know the names that the project's libraries declare.
        if (model->type() == AbstractPlcProjectModel::Project)
            if (auto* libraries = model->subModel<LibraryModel>())
                libraries->loadLibraryData(location.folder, QString::fromStdString(model->name()));
    }
    if (!session->registerModel(std::move(model), error))
        return nullptr;
    return session;
}

std::unique_ptr<ProjectSession> ProjectSession::open(const QString& argument, const QString& password, Access access,
                                                     QString* error)
{
    ProjectLocation location;
    if (!ProjectLocation::resolve(argument, location, error))
        return nullptr;
    return open(location, password, access, error);
}

std::unique_ptr<ProjectSession> ProjectSession::open(const QString& argument, const Arguments& args, Access access,
                                                     QString* error, const QString& option)
{
    ProjectLocation location;
    if (!ProjectLocation::resolve(argument, location, error))
        return nullptr;
    return open(location, args, access, error, option);
}

std::unique_ptr<ProjectSession> ProjectSession::open(const ProjectLocation& location, const Arguments& args,
                                                     Access access, QString* error, const QString& option)
{
    QString password;
    if (!Secrets::projectPassword(args, option, location.databaseFile, password, error))
        return nullptr;
    return open(location, password, access, error);
}

std::unique_ptr<ProjectSession> ProjectSession::create(const QString& folder,
                                                       const std::map<std::string, std::string>& params,
                                                       QString* error)
{
    std::unique_ptr<ProjectSession> session(new ProjectSession);
    session->m_location.folder = QFileInfo(folder).absoluteFilePath();
    session->m_location.databaseFile = QString::fromStdString(params.at("filePath"));
    session->m_location.library = params.at("projectType") != "Project";
    session->m_name = params.at("fileName");
    session->m_lock = ProjectLock::acquire(session->m_location.folder, error);
    if (!session->m_lock)
        return nullptr;
    const std::string dir = session->m_location.folder.toStdString();
    std::unique_ptr<AbstractPlcProjectModel> model;
    if (session->m_location.library)
        model = std::make_unique<PlcLibraryModel>(session->m_name, dir, params.at("filePath"));
    else
        model = std::make_unique<PlcProjectModel>(session->m_name, dir, params.at("filePath"));
    if (!model->create(params)) {
        *error = QStringLiteral("creating %1 failed").arg(session->m_location.databaseFile);
        return nullptr;
    }
    if (!session->registerModel(std::move(model), error))
        return nullptr;
    return session;
}

bool ProjectSession::registerModel(std::unique_ptr<AbstractPlcProjectModel> model, QString* error)
{
    AbstractPlcProjectModel* raw = model.get();
    const auto result = m_lock ? ProjectModelManager::instance()->addProjectModel(m_name, raw, m_lock)
                               : ProjectModelManager::instance()->addProjectModel(m_name, raw);
    switch (result) {
    case ProjectModelManager::Success:
        model.release();
        m_model = raw;
        setCurrentProject(m_name);
        return true;
    case ProjectModelManager::NameInUse:
        *error = QStringLiteral("a project named '%1' is open already").arg(QString::fromStdString(m_name));
        return false;
    default: {
        QString why;
        if (auto lock = ProjectLock::acquire(m_location.folder, &why))
            why = QStringLiteral("%1 could not be locked").arg(m_location.folder);
        *error = why;
        return false;
    }
    }
}

QString ProjectSession::saveFailure() const
{
    const QString cause = m_model ? m_model->lastError() : QString();
    return QStringLiteral("save failed: %1; %2 holds what it held before the save")
        .arg(cause.isEmpty() ? QStringLiteral("see the log") : cause, m_location.databaseFile);
}

ProjectSession::~ProjectSession()
{
    if (m_unregistered)
        return;
    if (m_model)
        ProjectModelManager::instance()->removeProjectModel(m_name);
    if (m_ownCore)
        ac::AccoreManager::instance()->removeAccore(m_name);
}

} // namespace plcproj
