#pragma once

#include <QByteArray>
#include <QSqlError>
#include <QString>

#include <memory>
#include <vector>

#include "sqlitex/internal/FilePolicy.h"

struct sqlite3;
struct sqlite3_stmt;
class QSqlitexResult;

// The state of one open connection, shared by the driver and its results.
class QSqlitexDriverPrivate
{
public:
    ~QSqlitexDriverPrivate();

    // Runs a "PRAGMA rekey" text (UTF-8) so that it either re-encrypts the whole file with
    // newKey or fails and leaves file and connection as they were. SQLCipher's own pragma
    // (run by SQLite while it prepares the statement) reports success even when it changed
    // nothing, and after a failed attempt it writes later pages with the new key into a file
    // encrypted with the old one.
    bool rekey(const QByteArray& sql, const QByteArray& newKey, QSqlError* error);

    // Prepares the first statement of a UTF-8 text, passing over empty ones before it (";",
    // comments); what follows it is not prepared. *statement stays null for a text without
    // any statement.
    static int prepareFirst(sqlite3* db, const QByteArray& text, sqlite3_stmt** statement);

    // Finalizes the statements of every live result and closes the handle. When the driver
    // itself goes away the results also forget it, so that they outlive it safely.
    void closeHandle(bool driverGone);
    void wipeKey();

    // SQLite rolls a whole transaction back by itself after some failures (a full disk, an
    // I/O error, no memory) while the application still believes it open: every statement
    // after that would be committed on its own. From such a failure until the application
    // ends its transaction (COMMIT, END or ROLLBACK) the connection refuses every statement
    // that writes or begins a transaction; `lostTransaction` holds the failure's text.
    QString lostTransaction;
    // After a statement failed: notes a transaction that SQLite rolled back with it.
    // `wasInTransaction`: the connection was inside one when the statement began.
    void noteFailure(bool wasInTransaction);

    sqlite3* db = nullptr;
    QString fileName;
    QByteArray key;        // the key the file is encrypted with now; empty for plain files
    bool readOnly = false;
    // What the file may do on this connection; its authorizer is installed on `db`.
    std::unique_ptr<FilePolicy> policy;
    // Results created by this driver that are still alive (they register and unregister
    // themselves); closing the connection finalizes their statements first.
    std::vector<QSqlitexResult*> results;
};
