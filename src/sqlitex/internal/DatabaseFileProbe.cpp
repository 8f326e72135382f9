#include "sqlitex/internal/DatabaseFileProbe.h"

#include <QFile>

#include <cstring>

namespace {
// The first 16 bytes of every unencrypted SQLite 3 database file.
constexpr char PlainHeader[16] = {'S', 'Q', 'L', 'i', 't', 'e', ' ', 'f', 'o', 'r', 'm', 'a', 't', ' ', '3', '\0'};
} // namespace

DatabaseFileProbe DatabaseFileProbe::inspect(const QString& path)
{
    DatabaseFileProbe probe;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return probe;
    probe.m_size = file.size();
    char header[sizeof PlainHeader] = {};
    const qint64 got = file.read(header, sizeof header);
    if (probe.m_size == 0)
        probe.m_kind = Kind::Empty;
    else if (got == qint64(sizeof header) && std::memcmp(header, PlainHeader, sizeof header) == 0)
        probe.m_kind = Kind::PlainSqlite;
    else if (probe.m_size % SmallestPageSize != 0)
        probe.m_kind = Kind::NotADatabase;
    else
        probe.m_kind = Kind::Opaque;
    return probe;
}

QString DatabaseFileProbe::reason() const
{
    switch (m_kind) {
    case Kind::PlainSqlite:
        return QStringLiteral("the file is a plain SQLite database without encryption");
    case Kind::NotADatabase:
        return QStringLiteral("the file is not an encrypted database (its size of %1 bytes is no multiple of %2)")
            .arg(m_size)
            .arg(SmallestPageSize);
    case Kind::Missing:
        return QStringLiteral("the file does not exist or cannot be read");
    case Kind::Empty:
    case Kind::Opaque:
        break;
    }
    return {};
}
