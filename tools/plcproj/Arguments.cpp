#include "Arguments.h"

#include <QCommandLineParser>
#include <QRegularExpression>

namespace plcproj {

namespace {

QString dashed(const QString& name)
{
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

// A word that the parser would read as an option: "--x", "-x" (not "-", "--", nor "-1").
bool looksLikeOption(const QString& word)
{
    if (word.size() < 2 || word[0] != QLatin1Char('-'))
        return false;
    if (word == QLatin1String("--"))
        return false;
    return word[1] == QLatin1Char('-') || word[1].isLetter();
}

// The option name of "--name" or "-n" without an "=value" part; empty for anything else.
QString bareOptionName(const QString& word)
{
    if (!looksLikeOption(word) || word.contains(QLatin1Char('=')))
        return {};
    return word.startsWith(QLatin1String("--")) ? word.mid(2) : word.mid(1);
}

// Negative numbers stand in for themselves: QCommandLineParser would read "-1" as the
// short options "1". They are hidden behind private-use markers while it parses.
const QChar NumberMarker(0xE000);

} // namespace

bool Arguments::parse(const QStringList& words, const QStringList& valued, const QStringList& switches)
{
    static const QRegularExpression negativeNumber(QStringLiteral("^-[0-9.]"));
    QStringList hidden;
    QStringList input{QStringLiteral("plcproj")}; // the parser skips the program name
    bool endOfOptions = false;
    for (int i = 0; i < words.size(); ++i) {
        const QString& word = words[i];
        if (word == QLatin1String("--"))
            endOfOptions = true;
        if (!endOfOptions && valued.contains(bareOptionName(word)) && i + 1 < words.size()
            && looksLikeOption(words[i + 1])) {
            m_error = QStringLiteral("option %1 needs a value, not the option %2 (write %1=VALUE for a value "
                                     "that begins with '-')")
                          .arg(dashed(bareOptionName(word)), words[i + 1]);
            return false;
        }
        if (negativeNumber.match(word).hasMatch()) {
            input << NumberMarker + QString::number(hidden.size());
            hidden << word;
        } else {
            input << word;
        }
    }
    const auto restore = [&](const QString& text) {
        if (text.size() < 2 || text[0] != NumberMarker)
            return text;
        bool ok = false;
        const int index = text.mid(1).toInt(&ok);
        return ok && index < hidden.size() ? hidden[index] : text;
    };

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const QString& name : valued)
        parser.addOption(QCommandLineOption(name, QString(), QStringLiteral("value")));
    for (const QString& name : switches)
        parser.addOption(QCommandLineOption(name));
    if (!parser.parse(input)) {
        m_error = parser.errorText();
        return false;
    }
    for (const QString& word : parser.positionalArguments())
        m_positional << restore(word);
    for (const QString& name : parser.optionNames()) {
        if (valued.contains(name))
            m_options.insert(name, restore(parser.value(name)));
        else
            m_options.insert(name, QString());
    }
    return true;
}

QString Arguments::optionsHelp(const QStringList& valued, const QStringList& switches)
{
    QString text;
    for (const QString& name : valued)
        text += QStringLiteral("  %1 %2\n").arg(dashed(name), name.toUpper());
    for (const QString& name : switches)
        text += QStringLiteral("  %1\n").arg(dashed(name));
    return text;
}

} // namespace plcproj
