#include "sqlitex/internal/SqlitexError.h"

#include <sqlite3.h>

namespace sqlitex {

QSqlError makeError(const QString& driverText, const QString& databaseText, QSqlError::ErrorType type,
                    int code)
{
    return QSqlError(driverText, databaseText, type, QString::number(code));
}

QSqlError lastError(sqlite3* db, const QString& driverText, QSqlError::ErrorType type)
{
    if (!db)
        return makeError(driverText, QStringLiteral("out of memory"), type, SQLITE_NOMEM);
    return makeError(driverText, QString::fromUtf8(sqlite3_errmsg(db)), type, sqlite3_extended_errcode(db));
}

QSqlError errorFor(sqlite3* db, int code, const QString& driverText, QSqlError::ErrorType type)
{
    // The connection's message belongs to its last call; take it only when that call failed
    // with the same primary code, otherwise SQLite's generic text for the code.
    if (db && (sqlite3_extended_errcode(db) & 0xff) == (code & 0xff))
        return lastError(db, driverText, type);
    return makeError(driverText, QString::fromUtf8(sqlite3_errstr(code)), type, code);
}

} // namespace sqlitex
