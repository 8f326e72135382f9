#include "ScopedConnection.h"

#include "sqlitex/QSqlitexDriver.h"

#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <gtest/gtest.h>

#include <atomic>

ScopedConnection::ScopedConnection(const QString& file, const QString& password, const QString& options)
{
    static std::atomic<int> serial{0};
    QSqlitexDriver::registerDriver();
    m_name = QStringLiteral("sqlitex_test_%1").arg(++serial);
    m_db = QSqlDatabase::addDatabase(QLatin1String(QSqlitexDriver::DriverName), m_name);
    m_db.setDatabaseName(file);
    m_db.setPassword(password);
    m_db.setConnectOptions(options);
}

ScopedConnection::~ScopedConnection()
{
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_name);
}

bool ScopedConnection::exec(const QString& sql)
{
    QSqlQuery query(m_db);
    if (query.exec(sql))
        return true;
    ADD_FAILURE() << sql.toStdString() << ": " << query.lastError().text().toStdString();
    return false;
}

QVariant ScopedConnection::scalar(const QString& sql)
{
    QSqlQuery query(m_db);
    if (!query.exec(sql) || !query.next())
        return QVariant();
    return query.value(0);
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
