#include "support/RawDatabase.h"

#include <sqlite3.h>

namespace testsupport {

namespace {

sqlite3* openKeyed(const QString& file, const QString& key)
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return nullptr;
    }
    const QByteArray k = key.toUtf8();
    if (!k.isEmpty())
        sqlite3_key(db, k.constData(), k.size());
    return db;
}

} // namespace

bool rawExec(const QString& file, const QString& sql, const QString& key, QString* error)
{
    sqlite3* db = openKeyed(file, key);
    if (!db)
        return false;
    char* message = nullptr;
    const bool ok = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &message) == SQLITE_OK;
    if (!ok && error)
        *error = QString::fromUtf8(message ? message : "?");
    sqlite3_free(message);
    sqlite3_close(db);
    return ok;
}

QStringList rawRows(const QString& file, const QString& sql, const QString& key)
{
    QStringList rows;
    sqlite3* db = openKeyed(file, key);
    sqlite3_stmt* statement = nullptr;
    if (db && sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &statement, nullptr) == SQLITE_OK) {
        while (sqlite3_step(statement) == SQLITE_ROW)
            rows << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return rows;
}

} // namespace testsupport
