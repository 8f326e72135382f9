#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace plcproj {

// One command of an exec script, the line it starts on and its place among the commands.
struct ScriptCommand
{
    int line = 0;
    int number = 0; // 1 for the first command of the script
    QStringList words;
};

// Splits an exec script into commands and words as a POSIX shell splits words: blanks separate
// words, ';' and line ends separate commands, '…' is taken literally, "…" knows the escapes
// \n, \t, \" and \\, a backslash outside quotes takes the next character literally, and '#' at
// the start of a word comments out the rest of the line.
//
// A script is read whole before anything runs: bytes that are no text (a NUL byte, invalid
// UTF-8) or a line longer than MaxLineBytes refuse it with the line and column where they
// stand, so that a script never stops half-way for what could have been seen at the start.
class ScriptReader
{
public:
    static constexpr int MaxLineBytes = 1 << 20;

    // Where a script comes from: a file (-f, positions by line) or the command line (-c,
    // positions by command).
    enum class Origin { File, CommandLine };

    // Checks the bytes (see above) and splits them; false with error() set.
    bool read(const QByteArray& script, Origin origin, std::vector<ScriptCommand>& commands);
    // Splits text that is known to be valid.
    bool read(const QString& script, std::vector<ScriptCommand>& commands);
    QString error() const { return m_error; }

    // How a command is named in messages: "line 3" in a file, "command 3" on the command line.
    static QString position(const ScriptCommand& command, Origin origin);

private:
    // The first fault of the bytes as an offset and a reason; false when there is none.
    static bool findFault(const QByteArray& script, int& offset, QString& reason);

    QString m_error;
};

} // namespace plcproj
