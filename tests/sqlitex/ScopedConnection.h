#pragma once

#include <QByteArray>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>

// A "QSQLITEX" connection under a name of its own that is closed and removed from Qt's
// connection list when it goes out of scope (queries on it must be gone by then).
class ScopedConnection
{
public:
    explicit ScopedConnection(const QString& file, const QString& password = QStringLiteral("kv rond"),
                              const QString& options = QString());
    ~ScopedConnection();
    ScopedConnection(const ScopedConnection&) = delete;
    ScopedConnection& operator=(const ScopedConnection&) = delete;

    QSqlDatabase& db() { return m_db; }
    bool open() { return m_db.open(); }
    // Runs one statement; on failure adds the statement and the error to the test's output.
    bool exec(const QString& sql);
    // The first column of the first row of a query, or an invalid value.
    QVariant scalar(const QString& sql);

private:
    QString m_name;
    QSqlDatabase m_db;
};

// The bytes of a file.
QByteArray fileBytes(const QString& path);

