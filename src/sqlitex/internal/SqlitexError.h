#pragma once

#include <QSqlError>
#include <QString>

struct sqlite3;

namespace sqlitex {

// An error with both texts filled: driverText says what the driver tried and on what,
// databaseText is SQLite's own message; the native code is SQLite's (extended) result code.
QSqlError makeError(const QString& driverText, const QString& databaseText, QSqlError::ErrorType type,
                    int code);

// The error of the connection's last failed call (sqlite3_extended_errcode, sqlite3_errmsg).
QSqlError lastError(sqlite3* db, const QString& driverText, QSqlError::ErrorType type);

// The same for a result code that is known but may not be the connection's last one
// (sqlite3_open_v2 without a handle, sqlite3_step after sqlite3_reset).
QSqlError errorFor(sqlite3* db, int code, const QString& driverText, QSqlError::ErrorType type);

} // namespace sqlitex
