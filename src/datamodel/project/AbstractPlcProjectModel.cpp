#include "datamodel/project/AbstractPlcProjectModel.h"

#include "datamodel/program/HiddenObjects_p.h"

#include "datamodel/device/DevDescription.h"
#include "datamodel/device/DeviceTreeModel.h"
#include "datamodel/model/DatabaseConnection_p.h"
#include "datamodel/model/HostServices.h"
#include "datamodel/model/ProjectModelManager.h"
#include "datamodel/model/ScopedTransaction_p.h"
#include "datamodel/project/PlcLibraryModel.h"
#include "datamodel/model/SqlText_p.h"
#include "datamodel/model/SubModel.h"
#include "datamodel/program/GlobalVarModel.h"
#include "datamodel/program/PouModel.h"

#include "accore/ACCore.h"
#include "accore/DeviceMemory.h"
#include "accore/SafeAccore.h"

#include <QFile>
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
    return openDB(name, filePath, db, std::move(password), writable, nullptr);
}

bool AbstractPlcProjectModel::openDB(const std::string& name, const std::string& filePath, QSqlDatabase& db,
                                     QString password, bool writable, QString* error)
{
    QSqlDatabase connection = DatabaseConnection::add(name, filePath, password, writable);
    QString cause;
    if (!DatabaseConnection::open(connection, writable, &cause)) {
        logAs(module, name + "库打开失败:" + cause.toStdString());
        if (error)
            *error = cause;
        DatabaseConnection::remove(connection);
        return false;
    }
    db = connection;
    return true;
}

bool AbstractPlcProjectModel::recoverInterruptedSave(const std::string& filePath, const QString& password,
                                                     QString* error)
{
    if (!hasHotJournal(filePath))
        return true;
    QSqlDatabase connection;
    QString cause;
    // The first read of a read-write connection plays the journal back, whatever the key.
    const bool opened = openDB("recovery", filePath, connection, password, true, &cause);
    if (opened)
        DatabaseConnection::remove(connection);
    if (hasHotJournal(filePath)) {
        const QString text = QStringLiteral("%1 needs recovery from an interrupted save, and it failed: %2")
                                 .arg(QString::fromStdString(filePath), cause.isEmpty() ? QStringLiteral("the journal stayed") : cause);
        logAs(module, text.toStdString());
        if (error)
            *error = text;
        return false;
    }
    logAs(module, "recovered " + filePath + ": the changes of an interrupted save were rolled back");
    return true;
}

QString AbstractPlcProjectModel::whyNotAProject(const std::string& filePath, const QString& password)
{
    const QString file = QString::fromStdString(filePath);
    const QFileInfo info(file);
    if (!info.exists())
        return QStringLiteral("%1 does not exist").arg(file);
    if (info.isDir())
        return QStringLiteral("%1 is a folder, not a project file").arg(file);
    if (info.size() == 0)
        return QStringLiteral("%1 is not a project file: it is empty (0 bytes)").arg(file);
    if (!info.isReadable())
        return QStringLiteral("%1 cannot be read: permission denied").arg(file);
    QSqlDatabase connection;
    QString cause;
    if (!openDB("check", filePath, connection, password, false, &cause))
        return cause;
    QString why;
    {
        QSqlQuery query(connection);
        if (!query.exec(QStringLiteral("SELECT count(*) FROM ProjectInfo")))
            why = QStringLiteral("%1 is not a project file: %2").arg(file, query.lastError().text());
        else if (!query.next() || query.value(0).toInt() < 1)
            why = QStringLiteral("%1 is not a project file: it holds no project information").arg(file);
    }
    if (why.isEmpty()) {
        const QString damage = damageOf(connection);
        why = damage.isEmpty() ? QStringLiteral("%1 could not be read as a project").arg(file)
                               : QStringLiteral("%1 is damaged: %2").arg(file, damage);
    }
    DatabaseConnection::remove(connection);
    return why;
}

QString AbstractPlcProjectModel::damageOf(const QSqlDatabase& db)
{
    // Reads every page: a page whose content or authentication code is broken fails here
    // even where the schema and the first tables still read.
    QSqlQuery check(db);
    check.setForwardOnly(true);
    if (!check.exec(QStringLiteral("PRAGMA quick_check(1)")))
        return check.lastError().text();
    if (!check.next())
        return check.lastError().isValid() ? check.lastError().text() : QStringLiteral("its pages do not read");
    const QString result = check.value(0).toString();
    return result == QLatin1String("ok") ? QString() : result;
}

bool AbstractPlcProjectModel::hasHotJournal(const std::string& filePath)
{
    // SQLite's own rule: a journal whose header was never completed (its first byte still
    // zero) was written before any page of the file changed, so it holds nothing to roll
    // back and SQLite ignores it; the next write transaction reuses it.
    const QString path = QString::fromStdString(filePath) + QStringLiteral("-journal");
    // A link or a FIFO in its place is not read here (a FIFO would block): the open refuses it.
    const QFileInfo info(path);
    if (info.isSymLink() || !info.isFile())
        return false;
    QFile journal(path);
    if (!journal.open(QIODevice::ReadOnly))
        return false;
    char first = 0;
    return journal.getChar(&first) && first != 0;
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
    clearLastError();
    // One transaction around every sub-model's writes: its commit is the one moment the new
    // state reaches the file, and the sub-models clear their flags only after it.
    ScopedTransaction transaction(db());
    if (!transaction.isActive()) {
        noteFailure("save of '" + name() + "' failed: no transaction could begin: "
                    + transaction.errorText().toStdString());
        log("工程保存失败");
        return false;
    }
    bool ok = true;
    // Every sub-model is asked, so that each failure is logged; none of their writes is kept
    // when one fails.
    for (SubModel* model : subModels()) {
        if (!model->save()) {
            log("模块保存失败: " + model->name());
            noteFailure("save of " + model->name() + " failed");
            ok = false;
        }
    }
    if (ok && !transaction.commit()) {
        noteFailure("save of '" + name() + "' failed: the commit failed: " + transaction.errorText().toStdString());
        ok = false;
    }
    if (!ok) {
        transaction.rollback();
        log("save of '" + name() + "' rolled back: " + lastError().toStdString());
    } else {
        reclaimFreePages();
    }
    log(ok ? "工程保存成功" : "工程保存失败");
    return ok;
}

bool AbstractPlcProjectModel::saveAs(const std::string& name, const std::string& filePath, bool flag)
{
    if (!flag)
        log("自动保存工程:" + filePath);
    // The target must be a copy of the project already. The model writes it completely before
    // it keeps it; until then the old connection stays open, so that a failed save leaves the
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
    QSqlDatabase previous = exchangeDatabase(target);
    for (SubModel* model : subModels())
        model->saveAs(flag);
    if (!save()) {
        const QString cause = lastError();
        exchangeDatabase(previous);
        DatabaseConnection::remove(target);
        // The sub-models learn the rows of the old file again.
        for (SubModel* model : subModels())
            model->saveAs(m_clearFlagsOnSave);
        noteFailure(cause.toStdString());
        log("save as " + filePath + " failed; the project stays on its file: " + cause.toStdString());
        return false;
    }
    m_clearFlagsOnSave = flag;
    DatabaseConnection::remove(previous);
    return true;
}

void AbstractPlcProjectModel::reclaimFreePages()
{
    // The space of deleted rows is given back when it has grown to a quarter of the file, after
    // a save and never on open: an open must not rewrite a file.
    QSqlQuery pages(db());
    if (!pages.exec(QStringLiteral("PRAGMA freelist_count")) || !pages.next())
        return;
    if (ScopedTransaction::isOpen(db()))
        return; // the save was part of a larger transaction: not yet in the file
    const qint64 free = pages.value(0).toLongLong();
    pages.finish();
    if (free < 64 || !pages.exec(QStringLiteral("PRAGMA page_count")) || !pages.next())
        return;
    const qint64 total = pages.value(0).toLongLong();
    pages = QSqlQuery();
    if (free * 4 >= total)
        releaseDBBroken();
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
    HiddenObjects::create(*plc);
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
