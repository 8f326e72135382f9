#pragma once

#include <QByteArray>

// What the driver must know about a statement before SQLite prepares it, read from the
// first statement of a UTF-8 text. SQLite runs a PRAGMA while it prepares it, so a rekey
// must be recognised here, before sqlite3_prepare_v2() sees it.
class StatementInfo
{
public:
    static StatementInfo inspect(const char* sql);

    // INSERT or REPLACE: the statement's rowid is its lastInsertId.
    bool isInsert() const { return m_insert; }
    // "PRAGMA [main.]rekey = 'key'" or "PRAGMA [main.]hexrekey = 'hex'" (also in the form
    // "rekey('key')"): changes the key of the main database file to newKey().
    bool isRekey() const { return m_rekey; }
    const QByteArray& newKey() const { return m_newKey; }

    // How the statement takes part in a transaction.
    enum class Transaction {
        None,
        Begins, // BEGIN, SAVEPOINT: may start a new transaction
        Ends,   // COMMIT, END, a ROLLBACK of the whole transaction
        Nested, // RELEASE, ROLLBACK TO: a savepoint inside one
    };
    Transaction transaction() const { return m_transaction; }

private:
    bool m_insert = false;
    bool m_rekey = false;
    Transaction m_transaction = Transaction::None;
    QByteArray m_newKey;
};
