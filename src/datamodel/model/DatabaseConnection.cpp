#include "datamodel/model/DatabaseConnection_p.h"

#include "datamodel/model/DatabaseScript_p.h"
#include "datamodel/model/ProjectFiles.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSqlDriver>
#include <QVariant>
#include <QMutex>
#include <QSqlError>

namespace {

QMutex& namesMutex()
{
    static QMutex mutex;
    return mutex;
}

} // namespace

QSqlDatabase DatabaseConnection::add(const std::string& caller, const std::string& filePath,
                                     const QString& password, bool writable)
{
    const QString base = QString::fromStdString(caller) + QString::number(QDateTime::currentSecsSinceEpoch());
    QMutexLocker lock(&namesMutex());
    QString name = base;
    for (int n = 2; QSqlDatabase::contains(name); ++n)
        name = base + QLatin1Char('_') + QString::number(n);
    QSqlDatabase db = QSqlDatabase::addDatabase(QLatin1String(DriverName), name);
    db.setDatabaseName(QString::fromStdString(filePath));
    if (!writable)
        db.setConnectOptions(QLatin1String(ReadOnlyOption));
    db.setPassword(password);
    if (QSqlDriver* driver = db.driver())
        driver->setProperty("trustedTriggers", QVariant(DatabaseScript::triggerStatements()));
    return db;
}

bool DatabaseConnection::open(QSqlDatabase& db, bool writable, QString* error)
{
    const QString file = db.databaseName();
    if (writable && file != QLatin1String(":memory:")) {
        if (const Result<void> noLink = ProjectFiles::refuseDatabaseLinks(file); !noLink) {
            *error = noLink.errorString();
            return false;
        }
        if (!QFileInfo::exists(file)) {
            const Result<void> created = ProjectFiles::writeNew(file, QByteArray());
            if (!created) {
                *error = created.failure().describe();
                return false;
            }
        }
    }
    if (!db.isValid() || !db.open()) {
        *error = db.lastError().text();
        return false;
    }
    return true;
}

void DatabaseConnection::remove(QSqlDatabase& db)
{
    const QString name = db.connectionName();
    if (db.isOpen())
        db.close();
    db = QSqlDatabase();
    if (!name.isEmpty() && QSqlDatabase::contains(name))
        QSqlDatabase::removeDatabase(name);
}

int DatabaseConnection::errorNumber(const QSqlDatabase& db)
{
    return db.lastError().nativeErrorCode().toInt();
}

ScopedConnection::ScopedConnection(const std::string& caller, const std::string& filePath,
                                   const QString& password, bool writable)
    : m_db(DatabaseConnection::add(caller, filePath, password, writable))
{
    m_open = DatabaseConnection::open(m_db, writable, &m_errorText);
    if (!m_open)
        m_errorNumber = DatabaseConnection::errorNumber(m_db);
}

ScopedConnection::~ScopedConnection()
{
    DatabaseConnection::remove(m_db);
}
