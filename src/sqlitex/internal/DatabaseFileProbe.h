#pragma once

#include <QString>
#include <QtGlobal>

// What the bytes of a database file tell before any key is tried. SQLCipher answers a wrong
// key, a plain SQLite file and a file of some other kind with the same error ("file is
// encrypted or is not a database"); the probe tells them apart where the file itself can.
class DatabaseFileProbe
{
public:
    enum class Kind {
        Missing,      // no such file (or not readable)
        Empty,        // 0 bytes: SQLite makes a new database of it
        PlainSqlite,  // begins with the header of an unencrypted SQLite database
        NotADatabase, // cannot be an encrypted database: its size is no multiple of a page
        Opaque,       // may be an encrypted database; only a key can tell
    };

    // Every SQLCipher page size is a power of two of at least this many bytes.
    static constexpr qint64 SmallestPageSize = 512;

    static DatabaseFileProbe inspect(const QString& path);

    Kind kind() const { return m_kind; }
    qint64 size() const { return m_size; }
    // Why the file is not an encrypted database, for PlainSqlite and NotADatabase.
    QString reason() const;

private:
    Kind m_kind = Kind::Missing;
    qint64 m_size = 0;
};
