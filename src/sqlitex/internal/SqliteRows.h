#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

#include <sqlite3.h>

// Statements that the driver runs for itself (schema reads, PRAGMA lists), straight through
// SQLite, with their text columns as QString.
namespace sqlitex {

// Steps `sql` to its end, calling `onRow` for each row; false when it cannot be prepared or fails.
inline bool forEachRow(sqlite3* db, const QString& sql, const std::function<void(sqlite3_stmt*)>& onRow)
{
    sqlite3_stmt* statement = nullptr;
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(db, text.constData(), text.size(), &statement, nullptr) != SQLITE_OK || !statement)
        return false;
    int rc;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW)
        onRow(statement);
    sqlite3_finalize(statement);
    return rc == SQLITE_DONE;
}

inline QString columnText(sqlite3_stmt* statement, int column)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return QString::fromUtf8(text, sqlite3_column_bytes(statement, column));
}

} // namespace sqlitex
