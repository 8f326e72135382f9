#include "sqlitex/QSqlitexDriver.h"

#include "sqlitex/internal/DatabaseFileProbe.h"
#include "sqlitex/internal/DeclaredType.h"
#include "sqlitex/internal/FilePolicy.h"
#include "sqlitex/internal/SqliteRows.h"
#include "sqlitex/internal/QSqlitexDriverPrivate.h"
#include "sqlitex/internal/QSqlitexResult.h"
#include "sqlitex/internal/SqlitexError.h"

#include <QSqlDatabase>
#include <QSqlDriverCreator>
#include <QSqlField>
#include <QSqlIndex>
#include <QSqlRecord>
#include <QStringList>

#include <sqlite3.h>

#include <algorithm>
#include <functional>

Q_DECLARE_OPAQUE_POINTER(sqlite3*)
Q_DECLARE_METATYPE(sqlite3*)

namespace {

struct ConnectOptions
{
    bool readOnly = false;
    bool uri = false;
    int busyTimeoutMs = QSqlitexDriver::DefaultBusyTimeoutMs;
};

// Options are separated by ";" and may carry spaces around names and "=", as with Qt's own
// SQLite driver; unknown options are ignored.
ConnectOptions parseConnectOptions(const QString& text)
{
    ConnectOptions options;
    const QString busyTimeout = QString::fromLatin1(QSqlitexDriver::BusyTimeoutOption);
    for (const QString& part : text.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString option = part.trimmed();
        if (option == QLatin1String(QSqlitexDriver::ReadOnlyOption)) {
            options.readOnly = true;
        } else if (option == QLatin1String("QSQLITE_OPEN_URI")) {
            options.uri = true;
        } else if (option.startsWith(busyTimeout)) {
            const QString value = option.mid(busyTimeout.size()).trimmed();
            bool ok = false;
            const int ms = value.startsWith(QLatin1Char('=')) ? value.mid(1).trimmed().toInt(&ok) : -1;
            if (ok && ms >= 0)
                options.busyTimeoutMs = ms;
        }
    }
    return options;
}

// The columns of a table as "PRAGMA table_info" lists them; pk is the column's position in
// the primary key (0: not part of it).
struct TableColumn
{
    QSqlField field;
    int pk = 0;
};

std::vector<TableColumn> tableColumns(sqlite3* db, const QString& table, const QString& escapedTable)
{
    std::vector<TableColumn> columns;
    sqlitex::forEachRow(db, QStringLiteral("PRAGMA table_info(%1)").arg(escapedTable), [&](sqlite3_stmt* row) {
        const auto* declared = reinterpret_cast<const char*>(sqlite3_column_text(row, 2));
        TableColumn column;
        column.field = QSqlField(sqlitex::columnText(row, 1), sqlitex::variantTypeOf(declared), table);
        column.field.setRequiredStatus(sqlite3_column_int(row, 3) ? QSqlField::Required : QSqlField::Optional);
        if (sqlite3_column_type(row, 4) != SQLITE_NULL)
            column.field.setDefaultValue(sqlitex::columnText(row, 4));
        column.pk = sqlite3_column_int(row, 5);
        columns.push_back(column);
    });
    return columns;
}

QString openFailureText(const QString& fileName)
{
    return QStringLiteral("Unable to open database '%1'").arg(fileName);
}

// Why the schema could not be read with the key that was applied. SQLCipher reports a wrong
// key, a plain SQLite file and a file of another kind alike as SQLITE_NOTADB; only where the
// file's own bytes cannot hold an encrypted database is the answer something else than a
// wrong (or missing) password.
QSqlError schemaReadError(sqlite3* db, int rc, const QString& fileName, bool keyGiven)
{
    const QString what = openFailureText(fileName);
    if (rc == SQLITE_READONLY_ROLLBACK)
        return sqlitex::makeError(
            what + QStringLiteral(": the file needs recovery: an interrupted write left its journal %1-journal; "
                                  "opening the file for writing rolls the interrupted changes back")
                       .arg(fileName),
            QString::fromUtf8(sqlite3_errmsg(db)), QSqlError::ConnectionError, rc);
    if ((rc & 0xff) == SQLITE_CORRUPT)
        return sqlitex::makeError(what + QStringLiteral(": the file is damaged (cut short or overwritten)"),
                                  QString::fromUtf8(sqlite3_errmsg(db)), QSqlError::ConnectionError, rc);
    if ((rc & 0xff) != SQLITE_NOTADB)
        return sqlitex::errorFor(db, rc, what, QSqlError::ConnectionError);
    const QString sqliteText = QString::fromUtf8(sqlite3_errmsg(db));
    const DatabaseFileProbe probe = DatabaseFileProbe::inspect(fileName);
    switch (probe.kind()) {
    case DatabaseFileProbe::Kind::PlainSqlite:
        if (!keyGiven) // a plain file that SQLite itself cannot read
            break;
        Q_FALLTHROUGH();
    case DatabaseFileProbe::Kind::NotADatabase:
        return sqlitex::makeError(what + QStringLiteral(": ") + probe.reason(), sqliteText,
                                  QSqlError::ConnectionError, rc);
    case DatabaseFileProbe::Kind::Opaque:
        return sqlitex::makeError(what + (keyGiven ? QStringLiteral(": wrong password")
                                                   : QStringLiteral(": the file is encrypted and no password was given")),
                                  sqliteText, QSqlError::ConnectionError, QSqlitexDriver::WrongKeyError);
    case DatabaseFileProbe::Kind::Missing:
    case DatabaseFileProbe::Kind::Empty:
        break;
    }
    return sqlitex::makeError(what, sqliteText, QSqlError::ConnectionError, rc);
}

// True when a second connection reads the schema of the file with key; files that do not
// live on disk (in-memory and temporary databases) have nothing to check.
bool fileOpensWith(sqlite3* db, const QByteArray& key)
{
    const char* path = sqlite3_db_filename(db, "main");
    if (!path || !*path)
        return true;
    sqlite3* probe = nullptr;
    int rc = sqlite3_open_v2(path, &probe, SQLITE_OPEN_READONLY, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_key(probe, key.constData(), key.size());
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(probe, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    sqlite3_close_v2(probe);
    return rc == SQLITE_OK;
}

} // namespace

// ---- QSqlitexDriverPrivate ----

QSqlitexDriverPrivate::~QSqlitexDriverPrivate()
{
    closeHandle(true);
}

int QSqlitexDriverPrivate::prepareFirst(sqlite3* db, const QByteArray& text, sqlite3_stmt** statement)
{
    *statement = nullptr;
    const char* next = text.constData();
    const char* end = next + text.size();
    while (next < end) {
        const char* tail = nullptr;
        const int rc = sqlite3_prepare_v2(db, next, int(end - next), statement, &tail);
        if (rc != SQLITE_OK || *statement || !tail || tail <= next)
            return rc;
        next = tail;
    }
    return SQLITE_OK;
}

void QSqlitexDriverPrivate::closeHandle(bool driverGone)
{
    for (QSqlitexResult* result : results)
        result->detachFromConnection(driverGone);
    if (driverGone)
        results.clear();
    if (db)
        sqlite3_close_v2(db);
    db = nullptr;
    wipeKey();
}

void QSqlitexDriverPrivate::noteFailure(bool wasInTransaction)
{
    if (db && wasInTransaction && sqlite3_get_autocommit(db) && lostTransaction.isEmpty())
        lostTransaction = QString::fromUtf8(sqlite3_errmsg(db));
}

void QSqlitexDriverPrivate::wipeKey()
{
    key.fill('\0');
    key.clear();
}

bool QSqlitexDriverPrivate::rekey(const QByteArray& sql, const QByteArray& newKey, QSqlError* error)
{
    const QString what = QStringLiteral("Unable to change the password of '%1'").arg(fileName);
    const auto refuse = [&](int code, const QString& why) {
        *error = sqlitex::makeError(what, why, QSqlError::StatementError, code);
        return false;
    };
    if (!db)
        return refuse(SQLITE_MISUSE, QStringLiteral("the connection is not open"));
    if (readOnly)
        return refuse(SQLITE_READONLY, QStringLiteral("the connection is read-only"));
    if (key.isEmpty())
        return refuse(SQLITE_MISUSE, QStringLiteral("the file was opened without a password, and pragma rekey "
                                                    "cannot encrypt a plain database"));
    if (newKey.isEmpty())
        return refuse(SQLITE_MISUSE, QStringLiteral("the new password is empty"));
    if (!sqlite3_get_autocommit(db))
        return refuse(SQLITE_MISUSE, QStringLiteral("a transaction is open on the connection"));

    // Take the write lock first (waiting the busy time-out): SQLCipher's pragma cannot tell
    // that it did not get it.
    if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
        *error = sqlitex::lastError(db, what, QSqlError::StatementError);
        return false;
    }
    sqlite3_stmt* statement = nullptr;
    int rc = prepareFirst(db, sql, &statement); // this re-encrypts the file
    if (rc == SQLITE_OK && statement) {
        rc = sqlite3_step(statement);
        if (rc == SQLITE_DONE || rc == SQLITE_ROW)
            rc = SQLITE_OK;
    }
    if (rc != SQLITE_OK)
        *error = sqlitex::errorFor(db, rc, what, QSqlError::StatementError);
    sqlite3_finalize(statement);
    if (!error->isValid() && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
        *error = sqlitex::lastError(db, what, QSqlError::StatementError);
    if (!sqlite3_get_autocommit(db))
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);

    if (!error->isValid() && fileOpensWith(db, newKey)) {
        wipeKey();
        key = newKey;
        return true;
    }
    // The file kept its old key. SQLCipher has already switched the connection to the new
    // one, and would write new pages with it: give the connection its old key back.
    sqlite3_key(db, key.constData(), key.size());
    if (!error->isValid())
        *error = sqlitex::makeError(what, QStringLiteral("the file could not be re-encrypted (no space left or an I/O error)"),
                                    QSqlError::StatementError, SQLITE_IOERR);
    return false;
}

// ---- QSqlitexDriver ----

bool QSqlitexDriver::registerDriver()
{
    // A function-local static is initialised once, also when several threads race here.
    static const bool registered = [] {
        // QSqlDatabase takes ownership of the creator.
        QSqlDatabase::registerSqlDriver(QString::fromLatin1(DriverName), new QSqlDriverCreator<QSqlitexDriver>);
        return true;
    }();
    return registered;
}

QSqlitexDriver::QSqlitexDriver(QObject* parent)
    : QSqlDriver(parent)
    , d(std::make_unique<QSqlitexDriverPrivate>())
{
}

QSqlitexDriver::~QSqlitexDriver() = default;

bool QSqlitexDriver::hasFeature(DriverFeature feature) const
{
    switch (feature) {
    case Transactions:
    case BLOB:
    case Unicode:
    case PreparedQueries:
    case NamedPlaceholders:
    case PositionalPlaceholders:
    case LastInsertId:
    case LowPrecisionNumbers:
    case SimpleLocking:
    case FinishQuery:
        return true;
    case QuerySize:
    case BatchOperations:
    case EventNotifications:
    case MultipleResultSets:
    case CancelQuery:
        return false;
    }
    return false;
}

bool QSqlitexDriver::open(const QString& db, const QString& /*user*/, const QString& password,
                          const QString& /*host*/, int /*port*/, const QString& connectOptions)
{
    if (isOpen())
        close();
    const ConnectOptions options = parseConnectOptions(connectOptions);
    // A Qt connection is used by one thread at a time, so SQLite's per-call locking of the
    // connection (its "serialized" mode) buys nothing here and costs on every column read.
    int flags = SQLITE_OPEN_NOMUTEX;
    flags |= options.readOnly ? SQLITE_OPEN_READONLY : (SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    if (options.uri)
        flags |= SQLITE_OPEN_URI;

    sqlite3* handle = nullptr;
    const auto fail = [&](const QSqlError& error) {
        sqlite3_close_v2(handle);
        setLastError(error);
        setOpenError(true);
        return false;
    };
    int rc = sqlite3_open_v2(db.toUtf8().constData(), &handle, flags, nullptr);
    if (rc != SQLITE_OK)
        return fail(sqlitex::errorFor(handle, rc, openFailureText(db), QSqlError::ConnectionError));
    sqlite3_extended_result_codes(handle, 1);
    sqlite3_busy_timeout(handle, options.busyTimeoutMs);
    FilePolicy::harden(handle);

    // The key must be applied before any other statement touches the file.
    QByteArray key = password.toUtf8();
    if (!key.isEmpty()) {
        rc = sqlite3_key(handle, key.constData(), key.size());
        if (rc != SQLITE_OK)
            return fail(sqlitex::errorFor(handle, rc, openFailureText(db), QSqlError::ConnectionError));
    }
    // Reading the schema decrypts the first page: this is where a wrong key shows.
    rc = sqlite3_exec(handle, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        return fail(schemaReadError(handle, rc, db, !key.isEmpty()));
    // Before anything else runs on the file: refuse it when it holds code of its author.
    auto policy = std::make_unique<FilePolicy>(property(TrustedTriggersProperty).toStringList());
    const QString refused = policy->checkSchema(handle);
    if (!refused.isEmpty())
        return fail(sqlitex::makeError(openFailureText(db) + QStringLiteral(": ") + refused, refused,
                                       QSqlError::ConnectionError, UntrustedFileError));
    policy->install(handle);

    d->policy = std::move(policy);
    d->db = handle;
    d->fileName = db;
    d->key = key;
    d->readOnly = options.readOnly;
    key.fill('\0');
    setOpen(true);
    setOpenError(false);
    return true;
}

void QSqlitexDriver::close()
{
    d->closeHandle(false);
    setOpen(false);
    setOpenError(false);
}

QSqlResult* QSqlitexDriver::createResult() const
{
    return new QSqlitexResult(this); // owned by the QSqlQuery that asked for it
}

bool QSqlitexDriver::runTransactionStatement(const char* sql, const QString& what)
{
    if (!d->db) {
        setLastError(sqlitex::makeError(what, QStringLiteral("the connection is not open"),
                                        QSqlError::TransactionError, SQLITE_MISUSE));
        return false;
    }
    if (sqlite3_exec(d->db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
        setLastError(sqlitex::lastError(d->db, what, QSqlError::TransactionError));
        return false;
    }
    return true;
}

bool QSqlitexDriver::beginTransaction()
{
    if (!d->lostTransaction.isEmpty()) {
        setLastError(sqlitex::makeError(QStringLiteral("Unable to begin transaction"), d->lostTransaction,
                                        QSqlError::TransactionError, SQLITE_ABORT));
        return false;
    }
    return runTransactionStatement("BEGIN", QStringLiteral("Unable to begin transaction"));
}

bool QSqlitexDriver::commitTransaction()
{
    d->lostTransaction.clear(); // the application ends its transaction: whatever it was
    return runTransactionStatement("COMMIT", QStringLiteral("Unable to commit transaction"));
}

bool QSqlitexDriver::rollbackTransaction()
{
    d->lostTransaction.clear();
    return runTransactionStatement("ROLLBACK", QStringLiteral("Unable to roll back transaction"));
}

QStringList QSqlitexDriver::tables(QSql::TableType type) const
{
    QStringList names;
    if (!d->db)
        return names;
    QStringList wanted;
    if (type & QSql::Tables)
        wanted << QStringLiteral("(type = 'table' AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\')");
    if (type & QSql::Views)
        wanted << QStringLiteral("type = 'view'");
    if (type & QSql::SystemTables) {
        names << QStringLiteral("sqlite_master");
        wanted << QStringLiteral("(type = 'table' AND name LIKE 'sqlite\\_%' ESCAPE '\\')");
    }
    if (wanted.isEmpty())
        return names;
    sqlitex::forEachRow(d->db, QStringLiteral("SELECT name FROM sqlite_master WHERE ") + wanted.join(QStringLiteral(" OR ")),
               [&](sqlite3_stmt* row) { names << sqlitex::columnText(row, 0); });
    return names;
}

QSqlRecord QSqlitexDriver::record(const QString& tableName) const
{
    QSqlRecord record;
    if (!d->db)
        return record;
    for (const TableColumn& column : tableColumns(d->db, tableName, escapeIdentifier(tableName, TableName)))
        record.append(column.field);
    return record;
}

QSqlIndex QSqlitexDriver::primaryIndex(const QString& tableName) const
{
    QSqlIndex index(tableName);
    if (!d->db)
        return index;
    std::vector<TableColumn> columns = tableColumns(d->db, tableName, escapeIdentifier(tableName, TableName));
    columns.erase(std::remove_if(columns.begin(), columns.end(), [](const TableColumn& c) { return c.pk == 0; }),
                  columns.end());
    std::sort(columns.begin(), columns.end(), [](const TableColumn& a, const TableColumn& b) { return a.pk < b.pk; });
    for (const TableColumn& column : columns)
        index.append(column.field);
    return index;
}

QString QSqlitexDriver::escapeIdentifier(const QString& identifier, IdentifierType type) const
{
    if (identifier.isEmpty() || isIdentifierEscaped(identifier, type))
        return identifier;
    QString escaped = identifier;
    escaped.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

QString QSqlitexDriver::formatValue(const QSqlField& field, bool trimStrings) const
{
    // SQLite reads X'..' as a blob; the default quoted hex would be stored as text.
    if (!field.isNull() && field.value().userType() == QMetaType::QByteArray)
        return QLatin1String("X'") + QString::fromLatin1(field.value().toByteArray().toHex()) + QLatin1Char('\'');
    return QSqlDriver::formatValue(field, trimStrings);
}

QVariant QSqlitexDriver::handle() const
{
    return d->db ? QVariant::fromValue(d->db) : QVariant();
}
