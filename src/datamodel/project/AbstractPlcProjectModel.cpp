#include "datamodel/project/AbstractPlcProjectModel.h"

#include "datamodel/device/DevDescription.h"
#include "datamodel/device/DeviceTreeModel.h"
#include "datamodel/model/DatabaseConnection_p.h"
#include "datamodel/model/HostServices.h"
#include "datamodel/model/ProjectModelManager.h"
#include "datamodel/project/PlcLibraryModel.h"
#include "datamodel/model/SqlText_p.h"
#include "datamodel/model/SubModel.h"
#include "datamodel/program/GlobalVarModel.h"
#include "datamodel/program/PouModel.h"

#include "accore/ACCore.h"
#include "accore/DeviceMemory.h"
#include "accore/SafeAccore.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <map>

namespace {

const char* const module = "AbstractPlcProjectModel";

void logAs(const char* module, const std::string& text)
{
    HostServices::log(module, HostServices::LogInfo, text);
}

} // namespace

AbstractPlcProjectModel::AbstractPlcProjectModel(std::string name, std::string filePath, std::string absoluteFilePath)
    : AbstractProjectModel(std::move(name), std::move(filePath), std::move(absoluteFilePath))
{
}

AbstractPlcProjectModel::~AbstractPlcProjectModel() = default;

void AbstractPlcProjectModel::log(const std::string& text) const
{
    logAs(module, text);
}

bool AbstractPlcProjectModel::openDB(const std::string& name, const std::string& filePath, QSqlDatabase& db,
                                     QString password, bool writable)
{
    QSqlDatabase connection = DatabaseConnection::add(name, filePath, password, writable);
    QString error;
    if (!DatabaseConnection::open(connection, writable, &error)) {
        logAs(module, name + "库打开失败:" + error.toStdString());
        DatabaseConnection::remove(connection);
        return false;
    }
    db = connection;
    return true;
}

bool AbstractPlcProjectModel::checkDbFile(const std::string& name, const std::string& filePath, int& error,
                                          QString password)
{
    return checkDbFile(name, filePath, error, password, nullptr);
}

bool AbstractPlcProjectModel::checkDbFile(const std::string& name, const std::string& filePath, int& error,
                                          QString password, QString* errorText)
{
    ScopedConnection connection(name, filePath, password, false);
    if (!connection.isOpen())
        error = connection.errorNumber();
    if (!connection.isOpen() && errorText)
        *errorText = connection.errorText();
    return connection.isOpen();
}

bool AbstractPlcProjectModel::checkDbValid(const std::string& name, const std::string& filePath)
{
    const QFileInfo info(QString::fromStdString(filePath));
    if (!info.isFile() || info.size() < 1)
        return false;
    ScopedConnection connection(name, filePath, DefaultPassword, false);
    // A file that does not open with the default password may still be a project whose
    // password was changed: the driver tells that case apart by its error number.
    return connection.isOpen() || connection.errorNumber() == WrongPasswordError;
}

bool AbstractPlcProjectModel::modifyDbPassword(AbstractPlcProjectModel* model, const QString& password)
{
    if (!model)
        return false;
    model->finishStatements(); // no statement may be pending while the file is re-keyed
    QSqlDatabase db = model->db();
    QSqlQuery rekey(db);
    bool ok = rekey.exec(QStringLiteral("pragma rekey = ") + SqlText::literal(password));
    rekey.finish();
    logAs("AbstractProjectModel", "修改工程密码");
    if (!ok) {
        logAs("AbstractProjectModel", "rekey of '" + model->name() + "' failed: "
                                          + rekey.lastError().text().toStdString());
        return false;
    }
    // The model must never hold a password that does not open its file: prove the new one
    // on a connection of its own before taking it.
    const std::string file = db.databaseName().toStdString();
    int error = 0;
    if (!checkDbFile(model->name(), file, error, password)) {
        logAs("AbstractProjectModel", "the new password of '" + model->name()
                                          + "' does not open its file (error " + std::to_string(error)
                                          + "); the old password is kept");
        return false;
    }
    model->setPassword(password);
    db.setPassword(password);
    return true;
}

QMap<QString, QString> AbstractPlcProjectModel::getProjectInfo(QString name, QString filePath, const QString& password)
{
    QMap<QString, QString> info;
    ScopedConnection connection(name.toStdString(), filePath.toStdString(), password, false);
    if (!connection.isOpen())
        return info;
    QSqlQuery query(connection.db());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT * FROM ProjectInfo")) || !query.next())
        return info;
    const QSqlRecord row = query.record();
    info.insert(QStringLiteral("fileName"), row.value(QStringLiteral("Name")).toString());
    const QString type = typeText(static_cast<ProjectType>(row.value(QStringLiteral("Type")).toInt()));
    if (!type.isEmpty())
        info.insert(QStringLiteral("projectType"), type);
    info.insert(QStringLiteral("comments"), row.value(QStringLiteral("Description")).toString());
    info.insert(QStringLiteral("author"), row.value(QStringLiteral("Author")).toString());
    info.insert(QStringLiteral("versionCreated"), row.value(QStringLiteral("VersionCreated")).toString());
    info.insert(QStringLiteral("versionModified"), row.value(QStringLiteral("VersionModified")).toString());
    const QJsonDocument properties =
        QJsonDocument::fromJson(row.value(QStringLiteral("Properties")).toString().toUtf8());
    const QJsonValue style = properties.isObject() ? properties.object().value(QStringLiteral("ProgramStyle"))
                                                   : QJsonValue();
    info.insert(QStringLiteral("ProgramStyle"), style.isString() ? style.toString() : QStringLiteral("IECStyle"));
    return info;
}

bool AbstractPlcProjectModel::setProjectInfo(QString name, QString filePath, const QMap<QString, QString>& info,
                                             const QString& password)
{
    for (const char* key : {"fileName", "projectType", "comments", "author"})
        if (!info.contains(QLatin1String(key)))
            return false;
    ScopedConnection connection(name.toStdString(), filePath.toStdString(), password, true);
    QSqlQuery query(connection.db());
    query.prepare(QStringLiteral("UPDATE ProjectInfo SET Name=?, Description=?, Author=?  WHERE Id=") + "1");
    query.addBindValue(info.value(QStringLiteral("fileName")));
    query.addBindValue(info.value(QStringLiteral("comments")));
    query.addBindValue(info.value(QStringLiteral("author")));
    if (!connection.isOpen() || !query.exec()) {
        const QString error = connection.isOpen() ? query.lastError().text() : connection.errorText();
        logAs("AbstractProjectModel", "update of the project information of " + filePath.toStdString()
                                          + " failed: " + error.toStdString());
        return false;
    }
    return true;
}

bool AbstractPlcProjectModel::open(const std::string&, const std::string&, const std::string&, bool)
{
    return true;
}

bool AbstractPlcProjectModel::create(const std::map<std::string, std::string>&)
{
    return true;
}

bool AbstractPlcProjectModel::save()
{
    log("保存工程");
    bool ok = true;
    for (SubModel* model : subModels()) {
        if (!model->save()) {
            log("模块保存失败: " + model->name());
            ok = false;
        }
    }
    log(ok ? "工程保存成功" : "工程保存失败");
    return ok;
}

bool AbstractPlcProjectModel::saveAs(const std::string& name, const std::string& filePath, bool flag)
{
    if (!flag)
        log("自动保存工程:" + filePath);
    // The target must be a copy of the project already; the current connection stays in use
    // until the new one is open and proven to hold a project, so a failed switch leaves the
    // project working on its old file.
    if (!QFileInfo(QString::fromStdString(filePath)).isFile()) {
        log("save as " + filePath + " failed: the file does not exist");
        return false;
    }
    QSqlDatabase target;
    if (!openDB(name, filePath, target, password(), true))
        return false;
    QSqlQuery check(target);
    if (!check.exec(QStringLiteral("SELECT count(*) FROM ProjectInfo")) || !check.next()) {
        log("save as " + filePath + " failed: the file holds no project: " + check.lastError().text().toStdString());
        check = QSqlQuery();
        DatabaseConnection::remove(target);
        return false;
    }
    check = QSqlQuery();
    setSqlDatabase(&target);
    for (SubModel* model : subModels())
        model->saveAs(flag);
    return true;
}

bool AbstractPlcProjectModel::releaseDBBroken()
{
    finishStatements(); // VACUUM needs every statement of the connection finished
    QSqlQuery query(db());
    if (query.exec(QStringLiteral("VACUUM;")))
        return true;
    log("释放数据库冗余信息失败:" + query.lastError().text().toStdString());
    return false;
}

PlcLibraryModel* AbstractPlcProjectModel::openLibrary(const std::string& name, const std::string& filePath,
                                                      QString password)
{
    // open() fails exactly where a separate probe of the file would, without deriving the
    // key twice.
    auto library = std::make_unique<PlcLibraryModel>(name, filePath, filePath);
    if (!library->open(name, filePath, password.toStdString(), false))
        return nullptr;
    return library.release();
}

std::unique_ptr<AbstractProjectModel> AbstractPlcProjectModel::openLibraryFile(const std::string& name,
                                                                               const std::string& filePath,
                                                                               const QString& password) const
{
    return std::unique_ptr<AbstractProjectModel>(openLibrary(name, filePath, password));
}

void AbstractPlcProjectModel::initHiddenData(AbstractProjectModel* project)
{
    auto* plc = dynamic_cast<AbstractPlcProjectModel*>(project);
    if (!plc || plc->type() != Project)
        return;
    // Lists and the POU that the motion and device configuration fill; the add operations
    // refuse names that exist, so objects of an existing project stay as they are.
    if (auto* lists = plc->subModel<GlobalVarModel>()) {
        for (const char* name : {"HiddenAxisVar", "HiddenAxisGroupVar", "IOMappingVars", "EcamVars"}) {
            GlobalVarModel::GlobalVarTable* list = lists->addVarTable(name, 0);
            if (!list)
                continue;
            list->setProperty("Hidden", "true");
            list->setVarDeclaration("VAR_GLOBAL\nEND_VAR");
            list->save();
        }
        // Device variables moved to the I/O mapping list.
        std::vector<GlobalVarModel::GlobalVarTable*> all;
        lists->allVarTables(all);
        for (GlobalVarModel::GlobalVarTable* list : all)
            if (list->name() == "DeviceVars")
                lists->removeVarTable(list);
    }
    if (auto* pous = plc->subModel<PouModel>()) {
        if (PouModel::PouUnit* pou = pous->addPou("DevicePOU", PouModel::PRGPOU, PouModel::POU_ST, 0)) {
            pou->setVarDeclaration("PROGRAM DevicePOU \nVAR\nEND_VAR\n");
            pou->setProperty("Hidden", "true");
            pou->save();
        }
    }
}

void AbstractPlcProjectModel::setDeviceMemery(const std::string& name)
{
    SafeProjectModel project(name);
    if (project.project())
        handDeviceMemory(*project.project());
}

void AbstractPlcProjectModel::handDeviceMemory(AbstractProjectModel& project)
{
    // The memory areas come from the device tree's controller and its hardware description;
    // a project without them leaves the core's defaults.
    auto* tree = project.subModel<DeviceTreeModel>();
    const QString device = tree ? tree->getRootName() : QString();
    ac::SafeAccore core(project.name());
    if (device.isEmpty() || !core.getAccore())
        return;
    const QVariantMap iec = DevDescription::instance()->devProperty(device + QStringLiteral(".IECMem")).toMap();
    if (!iec.isEmpty()) {
        auto size = [&iec](const char* key) { return iec.value(QLatin1String(key)).toString().toULongLong(); };
        ac::DeviceAreas areas;
        areas.input = size("input");
        areas.output = size("output");
        areas.memory = size("memory");
        areas.general = size("general");
        areas.retian = size("retian");
        areas.code = size("code");
        areas.stack = size("stack");
        core.getAccore()->setDeviceType(areas);
    }
    const QVariantMap japan =
        DevDescription::instance()->devProperty(device + QStringLiteral(".JapanMem.memory")).toMap();
    if (!japan.isEmpty()) {
        std::map<std::string, unsigned long long> counts;
        for (auto it = japan.begin(); it != japan.end(); ++it)
            counts[it.key().toStdString()] = it.value().toString().toULongLong();
        core.getAccore()->deviceMemory()->resetJapanLayout(counts);
    }
    if (iec.isEmpty() || japan.isEmpty())
        HostServices::log("AbstractPlcProjectModel", HostServices::LogInfo,
                          "the description of " + device.toStdString() + " gives no IECMem or JapanMem.memory");
}
