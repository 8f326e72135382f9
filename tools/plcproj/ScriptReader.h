#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace plcproj {

// One command of an exec script and the line it starts on.
struct ScriptCommand
{
    int line = 0;
    QStringList words;
};

// Splits an exec script into commands and words as a POSIX shell splits words: blanks separate
// words, ';' and line ends separate commands, '…' is taken literally, "…" knows the escapes
// \n, \t, \" and \\, a backslash outside quotes takes the next character literally, and '#' at
// the start of a word comments out the rest of the line.
class ScriptReader
{
public:
    bool read(const QString& script, std::vector<ScriptCommand>& commands);
    QString error() const { return m_error; }

private:
    QString m_error;
};

} // namespace plcproj
