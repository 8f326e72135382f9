// plcproj create, info and passwd.
#include "Command.h"
#include "ProjectSession.h"
#include "Secrets.h"
#include "StandardLibraries.h"

#include "datamodel/device/DevDescription.h"
#include "datamodel/project/PlcProjectModel.h"
#include "datamodel/model/PrjInfoModel.h"
#include "datamodel/program/LibraryModel.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

#include <memory>

namespace plcproj {

namespace {

const QStringList projectTypes = {"Project", "UserLib", "FirmwareLib"};
const QStringList programStyles = {"IECStyle", "JPStyle"};

QJsonObject infoObject(const QMap<QString, QString>& info, const QString& uuid)
{
    QJsonObject object;
    for (auto it = info.begin(); it != info.end(); ++it)
        object.insert(it.key(), it.value());
    object.insert(QStringLiteral("ProjectUUID"), uuid);
    return object;
}

} // namespace

int runCreate(const Arguments& args, const Output& out)
{
    const QString dir = args.positional(0);
    const QString name = args.value("name");
    const QString type = args.value("type", "Project");
    const QString style = args.value("style", "IECStyle");
    if (name.isEmpty()) {
        Output::error("create needs --name NAME");
        return Usage;
    }
    if (!projectTypes.contains(type) || !programStyles.contains(style)) {
        Output::error(QStringLiteral("unknown --type %1 or --style %2 (types: %3; styles: %4)")
                          .arg(type, style, projectTypes.join(", "), programStyles.join(", ")));
        return Usage;
    }
    // The controller decides the device tree and the memory areas of a new user project.
    const QString device = type == "Project" ? args.value("device", DefaultDevice) : QString();
    const QStringList controllers = DevDescription::instance()->describeList(QStringLiteral("PLCDeviceNode"));
    if (!device.isEmpty() && !controllers.contains(device)) {
        Output::error(QStringLiteral("unknown controller '%1' (controllers: %2)").arg(device, controllers.join(", ")));
        return Failure;
    }
    if (!QDir().mkpath(dir)) {
        Output::error(QStringLiteral("cannot create the folder %1").arg(dir));
        return Failure;
    }
    const bool library = type != "Project";
    const QString file = QDir(QFileInfo(dir).absoluteFilePath()).filePath(ProjectLocation::fileNameFor(name, library));
    if (QFileInfo::exists(file)) {
        Output::error(QStringLiteral("%1 exists already").arg(file));
        return Failure;
    }
    std::map<std::string, std::string> params = {
        {"fileName", name.toStdString()},          {"filePath", file.toStdString()},
        {"projectType", type.toStdString()},       {"programStyle", style.toStdString()},
        {"author", args.value("author").toStdString()}, {"comments", args.value("comments").toStdString()},
        {"createVersion", "0.1.0"}};
    if (!device.isEmpty())
        params["deviceType"] = device.toStdString();
    QString error;
    auto session = ProjectSession::create(dir, params, &error);
    if (!session) {
        Output::error(error);
        return Failure;
    }
    if (!session->model()->save()) {
        Output::error(session->saveFailure());
        return Failure;
    }
    // A user project references the standard libraries from its first row on.
    QStringList libraries;
    if (!library && !StandardLibraries::install(session->location().folder, libraries, &error)) {
        Output::error(error + QStringLiteral("; the project %1 was created without it").arg(file));
        return Failure;
    }
    if (out.json())
        out.document(QJsonObject{{"name", name}, {"type", type}, {"style", style}, {"file", file},
                                 {"libraries", QJsonArray::fromStringList(libraries)}});
    else
        out.line(file);
    return Ok;
}

int runInfo(const Arguments& args, const Output& out)
{
    QString error;
    ProjectLocation location;
    QString password;
    if (!ProjectLocation::resolve(args.positional(0), location, &error)
        || !Secrets::projectPassword(args, QStringLiteral("password"), location.databaseFile, password, &error)) {
        Output::error(error);
        return Failure;
    }
    auto session = ProjectSession::open(location, password, ProjectSession::Access::ReadOnly, &error);
    if (!session) {
        Output::error(error);
        return Failure;
    }
    const QMap<QString, QString> info =
        AbstractPlcProjectModel::getProjectInfo(QStringLiteral("plcproj"), location.databaseFile, password);
    auto* infoModel = session->model()->subModel<PrjInfoModel>();
    const QString uuid = infoModel && infoModel->projectInfo()
                             ? QString::fromStdString(infoModel->projectInfo()->property("ProjectUUID"))
                             : QString();
    if (out.json()) {
        out.document(infoObject(info, uuid));
        return Ok;
    }
    for (auto it = info.begin(); it != info.end(); ++it)
        out.line(it.key() + ": " + it.value());
    out.line("ProjectUUID: " + uuid);
    out.line("file: " + location.databaseFile);
    return Ok;
}

int runPasswd(const Arguments& args, const Output& out)
{
    QString error;
    QString newPassword;
    bool given = false;
    if (!Secrets::read(args, QStringLiteral("new"), newPassword, given, &error)) {
        Output::error(error);
        return Failure;
    }
    if (!given) {
        // Typed twice without echo, so that a slip of the finger does not lock the project.
        bool asked = false;
        newPassword = Secrets::ask(QStringLiteral("new password: "), &asked);
        if (!asked) {
            Output::error("passwd needs --new PASSWORD, --new-file FILE or a terminal to ask on");
            return Usage;
        }
        if (Secrets::ask(QStringLiteral("new password again: ")) != newPassword) {
            Output::error("the two passwords differ; nothing was changed");
            return Failure;
        }
    }
    if (newPassword.isEmpty()) {
        Output::error("the new password is empty");
        return Usage;
    }
    auto session = ProjectSession::open(args.positional(0), args, ProjectSession::Access::Writable, &error,
                                        QStringLiteral("old"));
    if (!session) {
        Output::error(error);
        return Failure;
    }
    const ProjectLocation& location = session->location();
    if (!AbstractPlcProjectModel::modifyDbPassword(session->model(), newPassword)) {
        Output::error(QStringLiteral("changing the password of %1 failed; the old password still opens it")
                          .arg(location.databaseFile));
        return Failure;
    }
    if (out.json())
        out.document(QJsonObject{{"file", location.databaseFile}, {"changed", true}});
    else
        out.line(QStringLiteral("password of %1 changed").arg(location.databaseFile));
    return Ok;
}

} // namespace plcproj
