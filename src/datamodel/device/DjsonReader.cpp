#include "datamodel/device/DjsonReader_p.h"

#include "datamodel/device/LimitedRead_p.h"

namespace {

// Offset of the first byte that does not belong to well-formed UTF-8 (overlong forms,
// surrogates and code points above U+10FFFF included), or -1 for a clean text.
int firstInvalidUtf8(const QByteArray& bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const int size = bytes.size();
    int i = 0;
    while (i < size) {
        const unsigned char c = p[i];
        int length = 0;
        unsigned min = 0;
        unsigned code = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            length = 2, min = 0x80, code = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            length = 3, min = 0x800, code = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            length = 4, min = 0x10000, code = c & 0x07;
        } else {
            return i;
        }
        if (i + length > size)
            return i;
        for (int k = 1; k < length; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                return i;
            code = (code << 6) | (p[i + k] & 0x3F);
        }
        if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return i;
        i += length;
    }
    return -1;
}

QString shortened(const QString& text)
{
    return text.size() > 40 ? text.left(37) + QStringLiteral("...") : text;
}

struct Token
{
    enum Kind { End, OpenBrace, CloseBrace, Colon, Comma, Word, String };
    Kind kind = End;
    QString text;
    int line = 1;
    int column = 1;

    bool isKey() const { return kind == Word || kind == String; }
    QString describe() const
    {
        switch (kind) {
        case End: return QStringLiteral("the end of the file");
        case OpenBrace: return QStringLiteral("'{'");
        case CloseBrace: return QStringLiteral("'}'");
        case Colon: return QStringLiteral("':'");
        case Comma: return QStringLiteral("','");
        case Word: return QStringLiteral("'%1'").arg(shortened(text));
        case String: return QStringLiteral("\"%1\"").arg(shortened(text));
        }
        return QString();
    }
};

class Lexer
{
public:
    explicit Lexer(const QString& text) : m_text(text) {}

    // False with `diagnostic` set for a string that never ends.
    bool next(Token* token, DjsonDiagnostic* diagnostic)
    {
        skipBlanksAndComments();
        token->line = m_line;
        token->column = m_column;
        token->text.clear();
        if (m_pos >= m_text.size()) {
            token->kind = Token::End;
            return true;
        }
        const QChar c = m_text.at(m_pos);
        switch (c.unicode()) {
        case '{': token->kind = Token::OpenBrace; advance(); return true;
        case '}': token->kind = Token::CloseBrace; advance(); return true;
        case ':': token->kind = Token::Colon; advance(); return true;
        case ',': token->kind = Token::Comma; advance(); return true;
        case '"': return quoted(token, diagnostic);
        default: word(token); return true;
        }
    }

private:
    static bool endsWord(QChar c)
    {
        return c.isSpace() || c == '"' || c == ':' || c == ',' || c == '{' || c == '}' || c == '#';
    }

    void advance()
    {
        if (m_text.at(m_pos) == '\n') {
            ++m_line;
            m_column = 1;
        } else {
            ++m_column;
        }
        ++m_pos;
    }

    void skipBlanksAndComments()
    {
        while (m_pos < m_text.size()) {
            const QChar c = m_text.at(m_pos);
            if (c == '#') {
                while (m_pos < m_text.size() && m_text.at(m_pos) != '\n')
                    advance();
            } else if (c.isSpace()) {
                advance();
            } else {
                return;
            }
        }
    }

    bool quoted(Token* token, DjsonDiagnostic* diagnostic)
    {
        token->kind = Token::String;
        const int start = m_pos + 1;
        advance(); // the opening quote
        while (m_pos < m_text.size()) {
            const QChar c = m_text.at(m_pos);
            if (c == '"') {
                token->text = m_text.mid(start, m_pos - start);
                advance();
                return true;
            }
            // A backslash keeps the character after it in the text, whatever it is.
            if (c == '\\' && m_pos + 1 < m_text.size())
                advance();
            advance();
        }
        *diagnostic = DjsonDiagnostic::unterminatedString(token->line, token->column);
        return false;
    }

    void word(Token* token)
    {
        token->kind = Token::Word;
        const int start = m_pos;
        while (m_pos < m_text.size() && !endsWord(m_text.at(m_pos)))
            advance();
        token->text = m_text.mid(start, m_pos - start);
    }

    const QString& m_text;
    int m_pos = 0;
    int m_line = 1;
    int m_column = 1;
};

class Parser
{
public:
    Parser(const QString& text, QVariantMap* members) : m_lexer(text), m_members(members) {}

    bool document()
    {
        if (!next())
            return false;
        if (m_token.kind == Token::OpenBrace) {
            const Token open = m_token;
            if (!members(m_members, Token::CloseBrace, open, 1))
                return false;
            if (!next())
                return false;
            return m_token.kind == Token::End || fail(QStringLiteral("the end of the file"));
        }
        return membersFromCurrent(m_members, Token::End, m_token, 0);
    }

    DjsonDiagnostic diagnostic() const { return m_diagnostic; }

private:
    bool next() { return m_lexer.next(&m_token, &m_diagnostic); }

    bool fail(const QString& expected)
    {
        m_diagnostic = DjsonDiagnostic::unexpectedToken(m_token.line, m_token.column, expected, m_token.describe());
        return false;
    }

    // Members up to `closer`; the first token is read here.
    bool members(QVariantMap* into, Token::Kind closer, const Token& open, int depth)
    {
        return next() && membersFromCurrent(into, closer, open, depth);
    }

    // Members up to `closer`, starting with the token already read. Each member is inserted
    // as soon as its value is complete, so that the caller keeps what came before an error.
    bool membersFromCurrent(QVariantMap* into, Token::Kind closer, const Token& open, int depth)
    {
        const QString closing = closer == Token::End ? QStringLiteral("the end of the file") : QStringLiteral("'}'");
        for (;;) {
            if (m_token.kind == closer)
                return true;
            if (m_token.kind == Token::End) {
                m_diagnostic = DjsonDiagnostic::unclosedMap(open.line, open.column);
                return false;
            }
            if (!m_token.isKey())
                return fail(QStringLiteral("a key or %1").arg(closing));
            const QString key = m_token.text;
            if (!next())
                return false;
            if (m_token.kind != Token::Colon)
                return fail(QStringLiteral("':' after the key \"%1\"").arg(shortened(key)));
            QVariant value;
            if (!next() || !this->value(&value, key, depth))
                return false;
            into->insert(key, value);
            if (!next())
                return false;
            if (m_token.kind == Token::Comma) {
                if (!next())
                    return false;
            } else if (m_token.kind == Token::End && closer != Token::End) {
                m_diagnostic = DjsonDiagnostic::unclosedMap(open.line, open.column);
                return false;
            } else if (m_token.kind != closer) {
                return fail(QStringLiteral("',' or %1 after the value of \"%2\"").arg(closing, shortened(key)));
            }
        }
    }

    bool value(QVariant* value, const QString& key, int depth)
    {
        if (m_token.kind == Token::Word || m_token.kind == Token::String) {
            *value = m_token.text;
            return true;
        }
        if (m_token.kind != Token::OpenBrace)
            return fail(QStringLiteral("a value for the key \"%1\"").arg(shortened(key)));
        if (depth + 1 > DjsonReader::MaxDepth) {
            m_diagnostic = DjsonDiagnostic::tooDeep(m_token.line, m_token.column, DjsonReader::MaxDepth);
            return false;
        }
        const Token open = m_token;
        QVariantMap nested;
        if (!members(&nested, Token::CloseBrace, open, depth + 1))
            return false;
        *value = nested;
        return true;
    }

    Lexer m_lexer;
    QVariantMap* m_members;
    Token m_token;
    DjsonDiagnostic m_diagnostic;
};

// Line and column of a byte offset in a text that is valid UTF-8 up to that offset.
void locate(const QByteArray& bytes, int offset, int* line, int* column)
{
    const QByteArray before = bytes.left(offset);
    *line = before.count('\n') + 1;
    const int lineStart = before.lastIndexOf('\n') + 1;
    *column = QString::fromUtf8(before.mid(lineStart)).size() + 1;
}

} // namespace

QString DjsonDiagnostic::toString() const
{
    if (line <= 0)
        return message;
    return QStringLiteral("line %1, column %2: %3").arg(line).arg(column).arg(message);
}

DjsonDiagnostic DjsonDiagnostic::unexpectedToken(int line, int column, const QString& expected, const QString& found)
{
    return {line, column, QStringLiteral("expected %1, found %2").arg(expected, found)};
}

DjsonDiagnostic DjsonDiagnostic::unterminatedString(int line, int column)
{
    return {line, column, QStringLiteral("the quoted string that starts here never ends")};
}

DjsonDiagnostic DjsonDiagnostic::unclosedMap(int line, int column)
{
    return {line, column, QStringLiteral("the '{' here is never closed")};
}

DjsonDiagnostic DjsonDiagnostic::tooDeep(int line, int column, int limit)
{
    return {line, column, QStringLiteral("maps nested deeper than %1 levels").arg(limit)};
}

DjsonDiagnostic DjsonDiagnostic::invalidUtf8(int line, int column)
{
    return {line, column, QStringLiteral("the text is not UTF-8")};
}

DjsonDiagnostic DjsonDiagnostic::unreadable(const QString& cause)
{
    return {0, 0, QStringLiteral("cannot be read: %1").arg(cause)};
}

bool DjsonReader::parse(const QByteArray& text, QVariantMap* members, DjsonDiagnostic* diagnostic)
{
    QByteArray bytes = text;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    const int invalid = firstInvalidUtf8(bytes);
    if (invalid >= 0) {
        int line = 0, column = 0;
        locate(bytes, invalid, &line, &column);
        *diagnostic = DjsonDiagnostic::invalidUtf8(line, column);
        return false;
    }
    const QString decoded = QString::fromUtf8(bytes);
    Parser parser(decoded, members);
    if (parser.document())
        return true;
    *diagnostic = parser.diagnostic();
    return false;
}

bool DjsonReader::readFile(const QString& path, QVariantMap* members, DjsonDiagnostic* diagnostic)
{
    QByteArray text;
    QString error;
    if (!readLimited(path, MaxFileSize, &text, &error)) {
        *diagnostic = DjsonDiagnostic::unreadable(error);
        return false;
    }
    return parse(text, members, diagnostic);
}
