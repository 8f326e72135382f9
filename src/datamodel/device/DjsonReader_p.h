#pragma once

#include <QByteArray>
#include <QString>
#include <QVariantMap>

// Where and why a description text stopped being read. Line and column count from 1; a
// diagnostic about the file as a whole (unreadable, too large) has line 0.
struct DjsonDiagnostic
{
    int line = 0;
    int column = 0;
    QString message;

    bool isNull() const { return message.isEmpty(); }
    // "line 3, column 7: expected ':' after the key \"Name\", found '}'"
    QString toString() const;

    static DjsonDiagnostic unexpectedToken(int line, int column, const QString& expected, const QString& found);
    static DjsonDiagnostic unterminatedString(int line, int column);
    static DjsonDiagnostic unclosedMap(int line, int column);
    static DjsonDiagnostic tooDeep(int line, int column, int limit);
    static DjsonDiagnostic invalidUtf8(int line, int column);
    static DjsonDiagnostic unreadable(const QString& cause);
};

// Reader of the hardware description files ("*.djson"): members `key : value` separated by
// ",", a value being a bare word, a quoted string or a nested map in braces; "#" starts a
// comment that runs to the end of the line. Inside a quoted string a backslash and the
// character after it are both kept, so \" does not end the string. A file may hold its
// members bare or enclosed in one pair of braces, and a trailing comma before a closing
// brace (or the end of the file) is accepted. Values are QString or nested QVariantMap.
//
// The text must be UTF-8 (a leading byte order mark is skipped). Reading stops at the first
// error; the top-level members completed before it are kept, which is what a caller that
// skips a broken file after what it could read needs.
class DjsonReader
{
public:
    static constexpr qint64 MaxFileSize = 16 * 1024 * 1024;
    static constexpr int MaxDepth = 64;

    // Inserts the top-level members of `text` into `members` (a later member of the same
    // name replaces an earlier one). False with `diagnostic` filled when the text is broken.
    static bool parse(const QByteArray& text, QVariantMap* members, DjsonDiagnostic* diagnostic);
    // The same for a file; files over MaxFileSize are refused unread.
    static bool readFile(const QString& path, QVariantMap* members, DjsonDiagnostic* diagnostic);
};
