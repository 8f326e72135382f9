// plcproj lib: the libraries of a project, listed, added, removed and replaced as the IDE's
// library manager does it.
#include "Command.h"
#include "Progress.h"
#include "ProjectSession.h"
#include "Secrets.h"

#include "datamodel/compiler/SymbolSynchrinizer.h"
#include "datamodel/model/HostServices.h"
#include "datamodel/project/PlcLibraryModel.h"
#include "datamodel/model/ProjectModelManager.h"
#include "datamodel/program/LibraryModel.h"
#include "host/ScriptedDialogs.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

#include <functional>

namespace plcproj {

namespace {

QString q(const std::string& text)
{
    return QString::fromStdString(text);
}

// Every library password prompt of this run (at project open as well as for the file added)
// is answered with --lib-password (or the line of --lib-password-file); without it the prompt
// is cancelled. A library model asks a few times at most before it gives up on a wrong
// password, so the queue never runs dry for the libraries of one project.
bool answerPasswordPrompts(const Arguments& args, QString* error)
{
    QString password;
    bool given = false;
    if (!Secrets::read(args, QStringLiteral("lib-password"), password, given, error))
        return false;
    auto* dialogs = HostServices::get<host::ScriptedDialogs>();
    if (!dialogs)
        return true;
    dialogs->clear();
    for (int i = 0; given && i < 64; ++i)
        dialogs->answer(password);
    return true;
}

std::unique_ptr<ProjectSession> openSession(const Arguments& args, ProjectSession::Access access)
{
    ProjectLocation location;
    QString error;
    if (!answerPasswordPrompts(args, &error)) {
        Output::error(error);
        return nullptr;
    }
    if (!ProjectLocation::resolve(args.positional(1), location, &error)) {
        Output::error(error);
        return nullptr;
    }
    if (location.library) {
        Output::error(QStringLiteral("%1 is a library project; only user projects load libraries").arg(location.databaseFile));
        return nullptr;
    }
    auto session = ProjectSession::open(location, args,
                                        access, &error);
    if (!session)
        Output::error(error);
    return session;
}

QString failure(LibraryModel::AddLibErrorCode code, const QString& message)
{
    switch (code) {
    case LibraryModel::NameInUse:
        return QStringLiteral("the name '%1' is used already by the project or another library").arg(message);
    case LibraryModel::PasswordCancelled:
        return QStringLiteral("the library has a password: give it with --lib-password-file FILE (or --lib-password)");
    default:
        return message;
    }
}

QJsonObject describe(LibraryModel& libraries, LibraryModel::LibraryCfg& cfg)
{
    QJsonObject object{{"name", q(cfg.name())},
                       {"path", q(cfg.path())},
                       {"latest", cfg.property("IsLatestVersion", "false") == "true"},
                       {"specifiedVersion", q(cfg.property("SpecifyVersion"))},
                       {"loaded", false}};
    if (const LibraryModel::LibraryData* data = libraries.getLibData(cfg.name())) {
        object.insert("loaded", true);
        object.insert("version", q(data->version));
        object.insert("type", AbstractPlcProjectModel::typeText(data->type));
        object.insert("fileId", data->fileId);
        object.insert("file", q(data->file));
        object.insert("dataTypes", int(data->dataTypes.size()));
        object.insert("globalLists", int(data->globalVars.size()));
        object.insert("pous", int(data->pous.size()));
    }
    return object;
}

int list(const Arguments& args, const Output& out)
{
    auto session = openSession(args, ProjectSession::Access::Checking);
    if (!session)
        return Failure;
    SafeProjectModel hold(session->name());
    auto* libraries = session->model()->subModel<LibraryModel>();
    std::vector<LibraryModel::LibraryCfg*> all;
    libraries->allLibs(all);
    QJsonArray array;
    for (LibraryModel::LibraryCfg* cfg : all) {
        const QJsonObject object = describe(*libraries, *cfg);
        array.append(object);
        if (out.json())
            continue;
        out.line(object.value("loaded").toBool()
                     ? QStringLiteral("%1 %2 %3 (%4 POUs, %5 data types, %6 global lists)")
                           .arg(object.value("name").toString(), object.value("version").toString(),
                                object.value("type").toString())
                           .arg(object.value("pous").toInt())
                           .arg(object.value("dataTypes").toInt())
                           .arg(object.value("globalLists").toInt())
                     : QStringLiteral("%1 not loaded (%2)").arg(object.value("name").toString(), object.value("path").toString()));
    }
    if (out.json())
        out.document(array);
    return Ok;
}

// Runs `change` on the opened project and saves it when the change succeeded.
int change(const Arguments& args, const std::function<bool(ProjectSession&, LibraryModel&)>& apply,
           Progress* progress = nullptr)
{
    if (progress)
        progress->update(QStringLiteral("opening the project"), 0, 0);
    auto session = openSession(args, ProjectSession::Access::Writable);
    if (!session)
        return Failure;
    // The name check asks the synchroniser, which answers for the project it is bound to.
    SymbolSynchrinizer::instance()->bindProject(session->name());
    SafeProjectModel hold(session->name());
    auto* libraries = session->model()->subModel<LibraryModel>();
    if (!libraries || !apply(*session, *libraries))
        return Failure;
    if (progress)
        progress->update(QStringLiteral("saving"), 0, 0);
    if (!session->model()->save()) {
        Output::error(session->saveFailure());
        return Failure;
    }
    return Ok;
}

int add(const Arguments& args, const Output& out)
{
    const QString file = QFileInfo(args.positional(2)).absoluteFilePath();
    Progress progress(QStringLiteral("lib add"));
    return change(args, [&](ProjectSession& session, LibraryModel& libraries) {
        LibraryModel::AddLibErrorCode code = LibraryModel::CannotOpen;
        QString message;
        progress.update(QStringLiteral("adding %1").arg(QFileInfo(file).fileName()), 0, 0);
        LibraryModel::LibraryCfg* cfg = libraries.addLib(session.location().folder, file, code, message);
        progress.done();
        if (!cfg) {
            Output::error(QStringLiteral("cannot add %1: %2").arg(file, failure(code, message)));
            return false;
        }
        if (out.json())
            out.document(describe(libraries, *cfg));
        else
            out.line(QStringLiteral("added %1 %2").arg(q(cfg->name()), q(cfg->property("SpecifyVersion"))));
        return true;
    }, &progress);
}

int remove(const Arguments& args, const Output& out)
{
    const std::string name = args.positional(2).toStdString();
    return change(args, [&](ProjectSession&, LibraryModel& libraries) {
        if (!libraries.library(name)) {
            Output::error(QStringLiteral("the project has no library named %1").arg(q(name)));
            return false;
        }
        if (!libraries.removeLib(name)) {
            Output::error(QStringLiteral("removing %1 failed").arg(q(name)));
            return false;
        }
        if (out.json())
            out.document(QJsonObject{{"removed", q(name)}});
        else
            out.line(QStringLiteral("removed %1").arg(q(name)));
        return true;
    });
}

int replace(const Arguments& args, const Output& out)
{
    const std::string name = args.positional(2).toStdString();
    const QString file = QFileInfo(args.positional(3)).absoluteFilePath();
    return change(args, [&](ProjectSession&, LibraryModel& libraries) {
        LibraryModel::AddLibErrorCode code = LibraryModel::CannotOpen;
        QString message;
        if (!libraries.replaceLibrary(name, file.toStdString(), code, message)) {
            Output::error(QStringLiteral("cannot replace %1 by %2: %3").arg(q(name), file, failure(code, message)));
            return false;
        }
        LibraryModel::LibraryCfg* cfg = libraries.library(name);
        if (out.json())
            out.document(describe(libraries, *cfg));
        else
            out.line(QStringLiteral("replaced %1 by %2 %3").arg(q(name), file, q(libraries.getLibData(name)->version)));
        return true;
    });
}

} // namespace

int runLib(const Arguments& args, const Output& out)
{
    const QString action = args.positional(0);
    const int needed = action == "list" ? 2 : action == "add" || action == "rm" ? 3 : action == "replace" ? 4 : -1;
    if (needed < 0) {
        Output::error(QStringLiteral("unknown lib action '%1' (list, add, rm, replace)").arg(action));
        return Usage;
    }
    if (args.positional().size() != needed) {
        Output::error(QStringLiteral("lib %1 needs %2 arguments").arg(action).arg(needed - 1));
        return Usage;
    }
    if (action == "list")
        return list(args, out);
    if (action == "add")
        return add(args, out);
    if (action == "rm")
        return remove(args, out);
    return replace(args, out);
}

} // namespace plcproj
