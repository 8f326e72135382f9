#pragma once

#include <QSqlDatabase>
#include <QString>

#include <string>

// Qt SQL connections of project and library files through the encrypting driver "QSQLITEX".
//
// Every open adds its own connection, named after the caller and the current time in seconds;
// a suffix keeps the name unique, because Qt silently replaces a connection of the same name
// and would invalidate a connection that a model still uses. Whoever opens a connection removes
// it again with remove(), so that Qt's connection list does not grow with every call.
class DatabaseConnection
{
public:
    static constexpr const char* DriverName = "QSQLITEX";
    static constexpr const char* ReadOnlyOption = "QSQLITE_OPEN_READONLY";
    static constexpr int WrongPasswordError = 200;

    // Adds a connection for `filePath` (not yet opened). The driver is told which triggers a
    // file may hold: those of the library's own scripts.
    static QSqlDatabase add(const std::string& caller, const std::string& filePath,
                            const QString& password, bool writable);
    // Opens a connection made by add(). For writing, neither the file nor its side files
    // (journal, WAL) may be links, and a file that does not exist yet is created readable and
    // writable by its owner only (SQLite gives its side files the same mode). False with
    // `error` set to the refusal or the driver's text.
    static bool open(QSqlDatabase& db, bool writable, QString* error);
    // Closes `db`, forgets the handle and removes its connection from Qt's list.
    static void remove(QSqlDatabase& db);
    // The driver's error number of the last failure of `db` (0 when none).
    static int errorNumber(const QSqlDatabase& db);
    // Whether `db` was opened read-only: nothing may be written to it, not even an upgrade.
    static bool isReadOnly(const QSqlDatabase& db)
    {
        return db.connectOptions().contains(QLatin1String(ReadOnlyOption));
    }
};

// A connection for the length of one call: opened in the constructor, removed on destruction.
class ScopedConnection
{
public:
    ScopedConnection(const std::string& caller, const std::string& filePath, const QString& password,
                     bool writable);
    ~ScopedConnection();
    ScopedConnection(const ScopedConnection&) = delete;
    ScopedConnection& operator=(const ScopedConnection&) = delete;

    bool isOpen() const { return m_open; }
    QSqlDatabase& db() { return m_db; }
    QString errorText() const { return m_errorText; }
    int errorNumber() const { return m_errorNumber; }

private:
    QSqlDatabase m_db;
    bool m_open = false;
    QString m_errorText;
    int m_errorNumber = 0;
};
