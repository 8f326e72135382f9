#include "ScriptReader.h"

namespace plcproj {

namespace {

// The length of the UTF-8 sequence that starts at `at`, or 0 when it is none (a stray
// continuation byte, an overlong form, a surrogate, a code point past U+10FFFF, a cut-off
// sequence).
int sequenceLength(const QByteArray& bytes, int at)
{
    const auto byte = [&bytes](int i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80)
        return 1;
    int length = 0;
    unsigned int min = 0, code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        min = 0x80;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        min = 0x800;
        code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        min = 0x10000;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (at + length > bytes.size())
        return 0;
    for (int i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (byte(at + i) & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

} // namespace

bool ScriptReader::findFault(const QByteArray& script, int& offset, QString& reason)
{
    int lineStart = 0;
    for (int i = 0; i < script.size();) {
        const char c = script[i];
        if (c == '\n') {
            lineStart = ++i;
            continue;
        }
        if (i - lineStart >= MaxLineBytes) {
            offset = i;
            reason = QStringLiteral("the line is longer than %1 bytes").arg(MaxLineBytes);
            return true;
        }
        if (c == '\0') {
            offset = i;
            reason = QStringLiteral("a NUL byte");
            return true;
        }
        // U+FFFD stands where the command line held bytes that were no text.
        const int length = sequenceLength(script, i);
        if (length == 0 || (length == 3 && script.mid(i, 3) == QByteArray("\xEF\xBF\xBD"))) {
            offset = i;
            reason = QStringLiteral("bytes that are no UTF-8 text");
            return true;
        }
        i += length;
    }
    return false;
}

bool ScriptReader::read(const QByteArray& script, Origin origin, std::vector<ScriptCommand>& commands)
{
    int offset = 0;
    QString reason;
    if (findFault(script, offset, reason)) {
        const QByteArray before = script.left(offset);
        const int lineStart = before.lastIndexOf('\n') + 1;
        const int column = QString::fromUtf8(before.mid(lineStart)).size() + 1;
        QString where = QStringLiteral("line %1, column %2").arg(before.count('\n') + 1).arg(column);
        if (origin == Origin::CommandLine) {
            // The commands up to the fault, the faulty one included: a stand-in character
            // takes the fault's place.
            std::vector<ScriptCommand> upTo;
            ScriptReader prefix;
            if (prefix.read(QString::fromUtf8(before) + QLatin1Char('x'), upTo) && !upTo.empty())
                where = QStringLiteral("command %1, column %2").arg(upTo.back().number).arg(column);
        }
        m_error = QStringLiteral("%1: %2; nothing was run").arg(where, reason);
        return false;
    }
    if (!read(QString::fromUtf8(script), commands))
        return false;
    return true;
}

QString ScriptReader::position(const ScriptCommand& command, Origin origin)
{
    return origin == Origin::File ? QStringLiteral("line %1").arg(command.line)
                                  : QStringLiteral("command %1").arg(command.number);
}

bool ScriptReader::read(const QString& script, std::vector<ScriptCommand>& commands)
{
    ScriptCommand current;
    QString word;
    bool inWord = false;
    int line = 1;
    auto endWord = [&] {
        if (inWord)
            current.words << word;
        word.clear();
        inWord = false;
    };
    auto endCommand = [&] {
        endWord();
        if (!current.words.isEmpty()) {
            current.number = static_cast<int>(commands.size()) + 1;
            commands.push_back(std::move(current));
        }
        current = ScriptCommand();
    };
    for (int i = 0; i < script.size(); ++i) {
        const QChar c = script[i];
        if (!inWord && current.words.isEmpty())
            current.line = line;
        if (c == '\n') {
            ++line;
            endCommand();
        } else if (c == ';') {
            endCommand();
        } else if (c == ' ' || c == '\t' || c == '\r') {
            endWord();
        } else if (c == '#' && !inWord) {
            while (i + 1 < script.size() && script[i + 1] != '\n')
                ++i;
        } else if (c == '\\') {
            if (i + 1 < script.size()) {
                if (script[i + 1] == '\n')
                    ++line; // a continued line
                else
                    word += script[i + 1];
                ++i;
            }
            inWord = true;
        } else if (c == '\'') {
            const int close = script.indexOf('\'', i + 1);
            if (close < 0) {
                m_error = QStringLiteral("line %1: unterminated single quote").arg(line);
                return false;
            }
            const QString quoted = script.mid(i + 1, close - i - 1);
            line += quoted.count('\n');
            word += quoted;
            inWord = true;
            i = close;
        } else if (c == '"') {
            const int start = line;
            bool closed = false;
            for (++i; i < script.size(); ++i) {
                const QChar d = script[i];
                if (d == '"') {
                    closed = true;
                    break;
                }
                if (d == '\n')
                    ++line;
                if (d == '\\' && i + 1 < script.size()) {
                    const QChar e = script[++i];
                    if (e == 'n')
                        word += '\n';
                    else if (e == 't')
                        word += '\t';
                    else if (e == '"' || e == '\\')
                        word += e;
                    else
                        word += QStringLiteral("\\") + e;
                    continue;
                }
                word += d;
            }
            if (!closed) {
                m_error = QStringLiteral("line %1: unterminated double quote").arg(start);
                return false;
            }
            inWord = true;
        } else {
            word += c;
            inWord = true;
        }
    }
    endCommand();
    return true;
}

} // namespace plcproj
