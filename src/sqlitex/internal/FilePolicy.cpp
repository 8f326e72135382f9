#include "sqlitex/internal/FilePolicy.h"

#include "sqlitex/internal/SqliteRows.h"

#include <QRegularExpression>

#include <sqlite3.h>

#include <cstring>
#include <functional>

namespace {

// PRAGMAs that take an argument and change nothing in the file (cache_size only sizes this
// connection's page cache), the one that changes the key
// (the driver runs it itself, see QSqlitexDriverPrivate::rekey) and foreign key checks, which
// only make writes stricter (deferred ones are checked at the commit instead).
const QStringList& pragmasWithArgument()
{
    static const QStringList names = {
        QStringLiteral("rekey"),       QStringLiteral("foreign_keys"),     QStringLiteral("defer_foreign_keys"),     QStringLiteral("table_info"),       QStringLiteral("index_list"),
        QStringLiteral("index_info"),  QStringLiteral("index_xinfo"),      QStringLiteral("foreign_key_list"),
        QStringLiteral("integrity_check"), QStringLiteral("quick_check"),  QStringLiteral("foreign_key_check"),
        QStringLiteral("cache_size"),
    };
    return names;
}

// SQL functions that reach beyond the database: loading code, and the FTS3 tokenizer lookup
// that hands out (and takes) raw pointers.
bool isForbiddenFunction(const char* name)
{
    return name && (sqlite3_stricmp(name, "load_extension") == 0 || sqlite3_stricmp(name, "fts3_tokenizer") == 0);
}

QString quoted(const QString& name)
{
    QString escaped = name;
    escaped.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

QString refusal(const QString& what, const QString& name)
{
    return QStringLiteral("the file holds %1 '%2' that no project file has: not opened").arg(what, name);
}

} // namespace

FilePolicy::FilePolicy(const QStringList& trustedTriggers)
{
    for (const QString& statement : trustedTriggers) {
        const QString canonical = canonicalTrigger(statement);
        if (canonical.isEmpty())
            continue;
        static const QRegularExpression firstWord(QStringLiteral("^\"?([^\\s\"(]+)"));
        const QRegularExpressionMatch name = firstWord.match(canonical);
        if (name.hasMatch())
            m_triggers.insert(name.captured(1).toLower(), canonical);
    }
}

QString FilePolicy::canonicalTrigger(const QString& createStatement)
{
    // Comments before the statement, as a script carries them, are not part of it.
    static const QRegularExpression head(
        QStringLiteral("^\\s*(?:(?:--[^\\n]*(?:\\n|$)|/\\*.*?\\*/)\\s*)*CREATE\\s+(?:TEMP\\s+|TEMPORARY\\s+)?TRIGGER\\s+"
                       "(?:IF\\s+NOT\\s+EXISTS\\s+)?"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = head.match(createStatement);
    if (!match.hasMatch())
        return {};
    QString body = createStatement.mid(match.capturedEnd()).simplified();
    // Renaming a table rewrites its triggers with the name in quotes; a plain name means the
    // same quoted or not.
    static const QRegularExpression quotedName(QStringLiteral("\"([A-Za-z_][A-Za-z0-9_]*)\""));
    body.replace(quotedName, QStringLiteral("\\1"));
    while (body.endsWith(QLatin1Char(';')))
        body = body.left(body.size() - 1).trimmed();
    return body;
}

void FilePolicy::harden(sqlite3* db)
{
    sqlite3_limit(db, SQLITE_LIMIT_LENGTH, MaxValueLength);
    sqlite3_limit(db, SQLITE_LIMIT_COLUMN, 500);
    sqlite3_limit(db, SQLITE_LIMIT_ATTACHED, 1); // VACUUM's temporary copy
    sqlite3_limit(db, SQLITE_LIMIT_TRIGGER_DEPTH, 10);
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
    // A corrupt page must be an error, not a wild read; and a mapped file could change under
    // the reader.
    sqlite3_exec(db, "PRAGMA cell_size_check = ON", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "PRAGMA mmap_size = 0", nullptr, nullptr, nullptr);
}

QString FilePolicy::checkSchema(sqlite3* db) const
{
    QString why;
    QStringList tables;
    const bool read = sqlitex::forEachRow(db, QStringLiteral("SELECT type, name, sql FROM sqlite_master"), [&](sqlite3_stmt* row) {
        const QString type = sqlitex::columnText(row, 0), name = sqlitex::columnText(row, 1);
        if (!why.isEmpty())
            return;
        if (type == QLatin1String("trigger")) {
            const QString trusted = m_triggers.value(name.toLower());
            if (trusted.isEmpty() || trusted != canonicalTrigger(sqlitex::columnText(row, 2)))
                why = refusal(QStringLiteral("a trigger"), name);
        } else if (type == QLatin1String("view")) {
            why = refusal(QStringLiteral("a view"), name);
        } else if (type == QLatin1String("table")) {
            tables << name;
        } else if (type != QLatin1String("index")) {
            why = refusal(QStringLiteral("an object of the kind '%1'").arg(type), name);
        }
    });
    if (!read)
        return QStringLiteral("the schema of the file cannot be read: %1").arg(QString::fromUtf8(sqlite3_errmsg(db)));
    // Indexes whose entries are computed by an expression, or that a condition selects.
    for (const QString& table : tables) {
        if (!why.isEmpty())
            break;
        QStringList indexes;
        sqlitex::forEachRow(db, QStringLiteral("PRAGMA index_list(%1)").arg(quoted(table)), [&](sqlite3_stmt* row) {
            if (sqlite3_column_int(row, 4) != 0 && why.isEmpty())
                why = refusal(QStringLiteral("a partial index"), sqlitex::columnText(row, 1));
            indexes << sqlitex::columnText(row, 1);
        });
        for (const QString& index : indexes) {
            sqlitex::forEachRow(db, QStringLiteral("PRAGMA index_xinfo(%1)").arg(quoted(index)), [&](sqlite3_stmt* row) {
                if (sqlite3_column_int(row, 1) == -2 && why.isEmpty())
                    why = refusal(QStringLiteral("an index on expressions"), index);
            });
        }
    }
    return why;
}

void FilePolicy::install(sqlite3* db)
{
    sqlite3_set_authorizer(db, &FilePolicy::authorize, this);
}

int FilePolicy::authorize(void* self, int action, const char* a, const char* b, const char* database,
                          const char* trigger)
{
    auto* policy = static_cast<FilePolicy*>(self);
    const int answer = policy->decide(action, a, b, database, trigger);
    if (answer != SQLITE_OK)
        ++policy->m_denied;
    return answer;
}

int FilePolicy::decide(int action, const char* a, const char* b, const char* database, const char* trigger)
{
    // Whatever a trigger or a view does is the file author's code unless it was declared.
    if (trigger && !isTrustedTrigger(QString::fromUtf8(trigger)))
        return SQLITE_DENY;
    switch (action) {
    case SQLITE_ATTACH:
        // VACUUM copies the file through a temporary database that it attaches as "".
        return a && *a == '\0' ? SQLITE_OK : SQLITE_DENY;
    case SQLITE_CREATE_VIEW:
    case SQLITE_CREATE_TEMP_VIEW:
    case SQLITE_CREATE_VTABLE:
        return SQLITE_DENY;
    case SQLITE_CREATE_TRIGGER:
    case SQLITE_CREATE_TEMP_TRIGGER:
        return a && isTrustedTrigger(QString::fromUtf8(a)) ? SQLITE_OK : SQLITE_DENY;
    case SQLITE_FUNCTION:
        return isForbiddenFunction(b) ? SQLITE_DENY : SQLITE_OK;
    case SQLITE_PRAGMA:
        // A PRAGMA with a value sets something, except the few that only take an argument,
        // and VACUUM's own settings of its temporary copy.
        if (b && !pragmasWithArgument().contains(QString::fromUtf8(a).toLower())
            && !(database && std::strcmp(database, "vacuum_db") == 0))
            return SQLITE_DENY;
        return SQLITE_OK;
    default:
        return SQLITE_OK;
    }
}
