#include "sqlitex/internal/StatementInfo.h"

#include <cctype>
#include <cstring>

namespace {

// A small reader over SQL text that knows SQLite's comments, quotes and identifiers;
// enough to read the first keywords of a statement and a pragma's value.
class SqlReader
{
public:
    explicit SqlReader(const char* sql) : m_p(sql ? sql : "") {}

    void skipSpaceAndComments()
    {
        for (;;) {
            while (*m_p && std::isspace(static_cast<unsigned char>(*m_p)))
                ++m_p;
            if (m_p[0] == '-' && m_p[1] == '-') {
                while (*m_p && *m_p != '\n')
                    ++m_p;
            } else if (m_p[0] == '/' && m_p[1] == '*') {
                const char* end = std::strstr(m_p + 2, "*/");
                m_p = end ? end + 2 : m_p + std::strlen(m_p);
            } else {
                return;
            }
        }
    }

    // Empty statements before the first one (";") are passed over as SQLite does.
    void skipEmptyStatements()
    {
        for (skipSpaceAndComments(); *m_p == ';'; skipSpaceAndComments())
            ++m_p;
    }

    bool accept(char c)
    {
        skipSpaceAndComments();
        if (*m_p != c)
            return false;
        ++m_p;
        return true;
    }

    // A bare or quoted name ("x", `x`, [x]) or a quoted string ('x'), without its quotes.
    // A bare token ends at white space, a parenthesis, a semicolon or a dot.
    QByteArray token()
    {
        skipSpaceAndComments();
        const char open = *m_p;
        const char close = open == '[' ? ']' : open;
        if (open == '\'' || open == '"' || open == '`' || open == '[')
            return quoted(close);
        const char* start = m_p;
        while (*m_p && !std::isspace(static_cast<unsigned char>(*m_p)) && !std::strchr("();.=", *m_p))
            ++m_p;
        return QByteArray(start, int(m_p - start));
    }

private:
    QByteArray quoted(char close)
    {
        QByteArray text;
        for (++m_p; *m_p; ++m_p) {
            if (*m_p == close) {
                if (close != ']' && m_p[1] == close) { // a doubled quote stands for one
                    text += close;
                    ++m_p;
                    continue;
                }
                ++m_p;
                return text;
            }
            text += *m_p;
        }
        return text;
    }

    const char* m_p;
};

bool sameWord(const QByteArray& word, const char* keyword)
{
    return qstricmp(word.constData(), keyword) == 0;
}

} // namespace

StatementInfo StatementInfo::inspect(const char* sql)
{
    StatementInfo info;
    SqlReader reader(sql);
    reader.skipEmptyStatements();
    const QByteArray first = reader.token();
    if (sameWord(first, "INSERT") || sameWord(first, "REPLACE")) {
        info.m_insert = true;
        return info;
    }
    if (sameWord(first, "BEGIN") || sameWord(first, "SAVEPOINT")) {
        info.m_transaction = Transaction::Begins;
        return info;
    }
    if (sameWord(first, "COMMIT") || sameWord(first, "END") || sameWord(first, "RELEASE")) {
        info.m_transaction = sameWord(first, "RELEASE") ? Transaction::Nested : Transaction::Ends;
        return info;
    }
    if (sameWord(first, "ROLLBACK")) {
        // ROLLBACK [TRANSACTION] [TO [SAVEPOINT] name]
        QByteArray next = reader.token();
        if (sameWord(next, "TRANSACTION"))
            next = reader.token();
        info.m_transaction = sameWord(next, "TO") ? Transaction::Nested : Transaction::Ends;
        return info;
    }
    if (!sameWord(first, "PRAGMA"))
        return info;

    QByteArray name = reader.token();
    if (reader.accept('.')) {
        if (!sameWord(name, "main"))
            return info; // the key of an attached database is not this connection's key
        name = reader.token();
    }
    const bool hex = sameWord(name, "hexrekey");
    if (!hex && !sameWord(name, "rekey"))
        return info;
    if (!reader.accept('=') && !reader.accept('('))
        return info; // "PRAGMA rekey" without a value changes nothing
    const QByteArray value = reader.token();
    info.m_rekey = true;
    info.m_newKey = hex ? QByteArray::fromHex(value) : value;
    return info;
}
