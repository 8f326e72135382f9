// A project file from someone else: its author may have rewritten the schema and the rows
// (input that starts with an even byte: SQL run on the file with SQLite alone) or the bytes
// themselves (odd: patches at offsets). The driver then opens it as the library does, with the
// library's triggers declared, and runs the statements a load and a save run. Whatever the file
// holds, nothing crashes, and no statement of the author runs: every trigger program that
// starts on the driver's connection must be one of the library's own, otherwise the target
// aborts. DATAMODEL_FUZZ_BASE may name a plain (unencrypted) copy of a real project file to
// start from; by default the base is a new project file made by the library's script.
#include "datamodel/model/DatabaseScript_p.h"
#include "sqlitex/QSqlitexDriver.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

// The driver hands out its handle as this type (see QSqlitexDriver::handle()).
Q_DECLARE_OPAQUE_POINTER(sqlite3*)
Q_DECLARE_METATYPE(sqlite3*)

namespace {

struct Figures
{
    long runs = 0, refused = 0, opened = 0, trustedTriggerRuns = 0;
    ~Figures()
    {
        std::fprintf(stderr, "fuzz_sqlitex_open: %ld runs, %ld files refused at open, %ld opened, "
                             "%ld runs of the library's own triggers, 0 statements of the file's author\n",
                     runs, refused, opened, trustedTriggerRuns);
    }
};
Figures figures;

QString folder;
QString workFile;
QByteArray base;
QSet<QString> trustedNames;

QSet<QString> triggerNames(const QStringList& statements)
{
    static const QRegularExpression name(QStringLiteral("TRIGGER\\s+(?:IF\\s+NOT\\s+EXISTS\\s+)?\"?(\\w+)"),
                                         QRegularExpression::CaseInsensitiveOption);
    QSet<QString> names;
    for (const QString& statement : statements) {
        const QRegularExpressionMatch match = name.match(statement);
        if (match.hasMatch())
            names.insert(match.captured(1).toLower());
    }
    return names;
}

// SQLite reports each trigger program it starts as "-- TRIGGER name".
int onStatement(unsigned type, void*, void*, void* text)
{
    const char* sql = static_cast<const char*>(text);
    if (type != SQLITE_TRACE_STMT || !sql || std::strncmp(sql, "-- TRIGGER ", 11) != 0)
        return 0;
    const QString name = QString::fromUtf8(sql + 11).trimmed().toLower();
    if (!trustedNames.contains(name)) {
        std::fprintf(stderr, "a trigger of the file's author ran: %s\n", sql);
        std::abort();
    }
    ++figures.trustedTriggerRuns;
    return 0;
}

void removeWorkFiles()
{
    for (const char* suffix : {"", "-journal", "-wal", "-shm"})
        QFile::remove(workFile + QLatin1String(suffix));
}

QSqlDatabase connection(const QString& name)
{
    auto* driver = new QSqlitexDriver;
    driver->setProperty(QSqlitexDriver::TrustedTriggersProperty, DatabaseScript::triggerStatements());
    QSqlDatabase db = QSqlDatabase::addDatabase(driver, name);
    db.setDatabaseName(workFile);
    db.setPassword(QString()); // a plain file: mutations reach the pages, not only the cipher
    return db;
}

// The base: a real project file, or a new one from the library's script with a few rows.
bool makeBase()
{
    const QByteArray given = qgetenv("DATAMODEL_FUZZ_BASE");
    if (!given.isEmpty()) {
        QFile file(QString::fromLocal8Bit(given));
        if (!file.open(QIODevice::ReadOnly))
            return false;
        base = file.readAll();
        return true;
    }
    {
        QSqlDatabase db = connection(QStringLiteral("base"));
        if (!db.open())
            return false;
        DatabaseScript(QString::fromLatin1(DatabaseScript::ProjectScript)).run(db);
        QSqlQuery query(db);
        query.exec(QStringLiteral("INSERT INTO POU(Name) VALUES('Main')"));
        query.exec(QStringLiteral("INSERT INTO GlobalVar(Name) VALUES('GVL_Plant')"));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("base"));
    QFile file(workFile);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    base = file.readAll();
    removeWorkFiles();
    return !base.isEmpty();
}

int stopLongRuns(void* steps)
{
    return ++*static_cast<int*>(steps) > 2000; // progress calls of 1000 instructions each
}

// The author's statements, run with SQLite alone and bounded in time, size and reach.
void runAuthorSql(const uint8_t* data, size_t size)
{
    sqlite3* db = nullptr;
    if (sqlite3_open(QFile::encodeName(workFile).constData(), &db) != SQLITE_OK) {
        sqlite3_close(db);
        return;
    }
    sqlite3_limit(db, SQLITE_LIMIT_LENGTH, 1 << 20);
    sqlite3_limit(db, SQLITE_LIMIT_ATTACHED, 0);
    int steps = 0;
    sqlite3_progress_handler(db, 1000, stopLongRuns, &steps);
    sqlite3_exec(db, "PRAGMA max_page_count = 4096", nullptr, nullptr, nullptr);
    const std::string sql(reinterpret_cast<const char*>(data), size);
    sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

// Raw patches: [offset (3 bytes)] [length (1 byte)] [bytes]...
QByteArray patched(const uint8_t* data, size_t size)
{
    QByteArray file = base;
    size_t at = 0;
    while (at + 4 <= size) {
        const int offset = int((data[at] << 16 | data[at + 1] << 8 | data[at + 2]) % uint32_t(file.size()));
        const int length = std::min<int>(data[at + 3], int(size - at - 4));
        for (int i = 0; i < length && offset + i < file.size(); ++i)
            file[offset + i] = char(data[at + 4 + i]);
        at += 4 + size_t(length);
    }
    return file;
}

// What a load and a save do: read every table, write rows in a transaction.
void useAsTheLibraryDoes(QSqlDatabase& db)
{
    sqlite3* handle = db.driver()->handle().value<sqlite3*>();
    if (handle)
        sqlite3_trace_v2(handle, SQLITE_TRACE_STMT, onStatement, nullptr);
    QSqlQuery query(db);
    for (const QString& table : db.tables()) {
        if (query.exec(QStringLiteral("SELECT * FROM \"%1\" LIMIT 200").arg(QString(table).replace('"', "\"\"")))) {
            while (query.next())
                for (int i = 0; i < query.record().count(); ++i)
                    query.value(i).toString();
        }
    }
    db.transaction();
    query.exec(QStringLiteral("INSERT INTO POU(Name) VALUES('Conveyor')"));
    query.exec(QStringLiteral("UPDATE GlobalVar SET Name = Name"));
    query.exec(QStringLiteral("DELETE FROM POU WHERE Name = 'Conveyor'"));
    query.exec(QStringLiteral("INSERT INTO LibraryManager(Name, Path) VALUES('x.nvl', '/Libraries/userlib/x.nvl')"));
    // Fires the library's own trigger delete_folder_table: the trace sees trigger programs.
    query.exec(QStringLiteral("INSERT INTO Folder(Name) VALUES('f')"));
    query.exec(QStringLiteral("DELETE FROM Folder WHERE Name = 'f'"));
    db.commit();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    folder = QDir::tempPath() + QStringLiteral("/fuzz_sqlitex_open_%1").arg(QString::number(::getpid()));
    QDir().mkpath(folder);
    workFile = folder + QStringLiteral("/work.nvp");
    trustedNames = triggerNames(DatabaseScript::triggerStatements());
    if (!makeBase()) {
        std::fprintf(stderr, "no base file\n");
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0 || size > 64 * 1024)
        return 0;
    ++figures.runs;
    removeWorkFiles();
    {
        QFile file(workFile);
        if (!file.open(QIODevice::WriteOnly))
            std::abort();
        file.write(data[0] % 2 ? patched(data + 1, size - 1) : base);
    }
    if (data[0] % 2 == 0)
        runAuthorSql(data + 1, size - 1);
    {
        QSqlDatabase db = connection(QStringLiteral("fuzz"));
        if (db.open()) {
            ++figures.opened;
            useAsTheLibraryDoes(db);
        } else if (db.lastError().nativeErrorCode() == QString::number(QSqlitexDriver::UntrustedFileError)) {
            ++figures.refused;
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fuzz"));
    removeWorkFiles();
    return 0;
}
