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

private:
    bool m_insert = false;
    bool m_rekey = false;
    QByteArray m_newKey;
};
