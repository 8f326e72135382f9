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

QStringList rawRows(const QString& file, const QString& sql, const QString& key, int column)
{
    QStringList rows;
    sqlite3* db = openKeyed(file, key);
    sqlite3_stmt* statement = nullptr;
    if (db && sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &statement, nullptr) == SQLITE_OK) {
        while (sqlite3_step(statement) == SQLITE_ROW)
            rows << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, column)));
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return rows;
}

namespace {

// Rewrites the CREATE statement of `table` in the schema and tells every connection so.
bool rewriteTable(const QString& file, const QString& table, const QString& newSql)
{
    const QStringList version = rawRows(file, QStringLiteral("PRAGMA schema_version"));
    if (version.size() != 1)
        return false;
    QString escaped = newSql;
    escaped.replace(QLatin1Char('\''), QLatin1String("''"));
    return rawExec(file, QStringLiteral("PRAGMA writable_schema = ON; "
                                        "UPDATE sqlite_master SET sql = '%1' WHERE type = 'table' AND name = '%2'; "
                                        "PRAGMA writable_schema = OFF; PRAGMA schema_version = %3;")
                             .arg(escaped, table)
                             .arg(version.first().toLongLong() + 1));
}

QString constraintText(const QString& name, const QString& condition)
{
    return QStringLiteral(", CONSTRAINT \"%1\" CHECK (%2)").arg(name, condition);
}

} // namespace

bool refuseWrites(const QString& file, const QString& table, const QString& name, const QString& condition)
{
    const QStringList sql =
        rawRows(file, QStringLiteral("SELECT sql FROM sqlite_master WHERE type = 'table' AND name = '%1'").arg(table));
    if (sql.size() != 1)
        return false;
    QString definition = sql.first().trimmed();
    if (!definition.endsWith(QLatin1Char(')')))
        return false;
    definition.chop(1);
    QString check = condition;
    if (check.isEmpty()) {
        for (const QString& column : rawRows(file, QStringLiteral("PRAGMA table_info(\"%1\")").arg(table), QStringLiteral("kv rond"), 1))
            check += QStringLiteral("(\"%1\" IS NULL) + ").arg(column);
        check += QStringLiteral("0 < 0");
    }
    return rewriteTable(file, table, definition + constraintText(name, check) + QLatin1Char(')'));
}

bool allowWrites(const QString& file, const QString& table, const QString& name)
{
    const QStringList sql =
        rawRows(file, QStringLiteral("SELECT sql FROM sqlite_master WHERE type = 'table' AND name = '%1'").arg(table));
    if (sql.size() != 1)
        return false;
    // refuseWrites() put the constraint last.
    const QString definition = sql.first();
    const int added = definition.lastIndexOf(constraintText(name, QString()).chopped(1));
    if (added < 0)
        return false;
    return rewriteTable(file, table, definition.left(added) + QLatin1Char(')'));
}

} // namespace testsupport
