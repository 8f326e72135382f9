#include "ScriptReader.h"

namespace plcproj {

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
        if (!current.words.isEmpty())
            commands.push_back(current);
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
