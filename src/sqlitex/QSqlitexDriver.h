#pragma once

#include "sqlitex/SqlitexGlobal.h"

#include <QSqlDriver>

#include <memory>

class QSqlitexDriverPrivate;

// A Qt SQL driver for SQLite database files encrypted with SQLCipher.
//
// The password given with QSqlDatabase::setPassword() is the key of the file: it is applied
// right after the file is opened and checked by reading the schema, so that open() fails
// with WrongKeyError when it does not fit. An empty password opens plain SQLite files.
// Connect options (separated by ";"): ReadOnlyOption, and BusyTimeoutOption "=ms".
// "PRAGMA rekey = '...'" changes the key of an open file.
// Files are taken for data from someone else: see FilePolicy for what a file may not do.
class SQLITEX_EXPORT QSqlitexDriver : public QSqlDriver
{
    Q_OBJECT
public:
    // The name the driver is registered under, for QSqlDatabase::addDatabase().
    static constexpr const char* DriverName = "QSQLITEX";
    // lastError().nativeErrorCode() of an open that failed because the password is wrong.
    static constexpr int WrongKeyError = 200;
    // lastError().nativeErrorCode() of an open refused because the file holds code that its
    // user did not declare (a trigger, a view, an index on expressions).
    static constexpr int UntrustedFileError = 201;
    // The property (a QStringList of CREATE TRIGGER statements) that declares the triggers a
    // file may hold; set it on driver() before open(). Every other trigger, any view and any
    // index on expressions makes open() fail with UntrustedFileError.
    static constexpr const char* TrustedTriggersProperty = "trustedTriggers";
    // Opens the file read-only: every write fails.
    static constexpr const char* ReadOnlyOption = "QSQLITE_OPEN_READONLY";
    // "QSQLITE_BUSY_TIMEOUT=ms": how long a statement waits for a lock held by another
    // connection before it fails with "database is locked".
    static constexpr const char* BusyTimeoutOption = "QSQLITE_BUSY_TIMEOUT";
    static constexpr int DefaultBusyTimeoutMs = 5000;

    // Registers the driver under DriverName with QSqlDatabase, so that no plug-in path is
    // needed. Safe to call from several threads and more than once; returns true.
    static bool registerDriver();

    explicit QSqlitexDriver(QObject* parent = nullptr);
    ~QSqlitexDriver() override;

    bool hasFeature(DriverFeature feature) const override;
    bool open(const QString& db, const QString& user, const QString& password, const QString& host,
              int port, const QString& connectOptions) override;
    void close() override;
    QSqlResult* createResult() const override;

    bool beginTransaction() override;
    bool commitTransaction() override;
    bool rollbackTransaction() override;

    QStringList tables(QSql::TableType type) const override;
    QSqlRecord record(const QString& tableName) const override;
    QSqlIndex primaryIndex(const QString& tableName) const override;
    QString escapeIdentifier(const QString& identifier, IdentifierType type) const override;
    QString formatValue(const QSqlField& field, bool trimStrings = false) const override;
    // The connection's sqlite3* (type name "sqlite3*"), or an invalid value when closed.
    QVariant handle() const override;

private:
    friend class QSqlitexResult;
    bool runTransactionStatement(const char* sql, const QString& what);

    std::unique_ptr<QSqlitexDriverPrivate> d;
};
