#include "datamodel/model/DatabaseConnection_p.h"

#include <QDateTime>
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
    return db;
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
    m_open = m_db.isValid() && m_db.open();
    if (!m_open) {
        m_errorText = m_db.lastError().text();
        m_errorNumber = DatabaseConnection::errorNumber(m_db);
    }
}

ScopedConnection::~ScopedConnection()
{
    DatabaseConnection::remove(m_db);
}
