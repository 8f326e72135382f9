#include "Arguments.h"

namespace plcproj {

bool Arguments::parse(const QStringList& words, const QStringList& valued)
{
    for (int i = 0; i < words.size(); ++i) {
        const QString& word = words[i];
        // "-c" is the short form of "--c"; anything else with one dash ("-1") is a word.
        const bool shortOption = word.size() == 2 && word[0] == '-' && word[1].isLetter();
        if (!shortOption && (!word.startsWith(QLatin1String("--")) || word == QLatin1String("--"))) {
            m_positional << word;
            continue;
        }
        QString name = word.mid(shortOption ? 1 : 2);
        const int equals = name.indexOf('=');
        if (equals >= 0) {
            m_options.insert(name.left(equals), name.mid(equals + 1));
            continue;
        }
        if (valued.contains(name)) {
            if (i + 1 >= words.size()) {
                m_error = QStringLiteral("option --%1 needs a value").arg(name);
                return false;
            }
            m_options.insert(name, words[++i]);
        } else {
            m_options.insert(name, QString());
        }
    }
    return true;
}

QStringList Arguments::unknown(const QStringList& valued, const QStringList& switches) const
{
    QStringList out;
    for (auto it = m_options.begin(); it != m_options.end(); ++it)
        if (!valued.contains(it.key()) && !switches.contains(it.key()))
            out << QStringLiteral("--") + it.key();
    return out;
}

} // namespace plcproj
