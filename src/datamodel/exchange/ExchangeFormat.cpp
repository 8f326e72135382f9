#include "datamodel/exchange/ExchangeFormat_p.h"

#include <QList>

#include <algorithm>

namespace ExchangeFormat {

namespace {

// "(*" + k '#' + "LOGIC#*)" with k >= 1: the separator (k = 1) and the lines escaped from it.
int separatorHashes(const QByteArray& line)
{
    if (!line.startsWith("(*#") || !line.endsWith("LOGIC#*)"))
        return 0;
    const QByteArray hashes = line.mid(2, line.size() - 2 - 8);
    return hashes.count('#') == hashes.size() ? hashes.size() : 0;
}

// Adds (delta 1) or removes (delta -1) one '#' on every line that looks like a separator.
QByteArray shiftSeparators(const QByteArray& text, int delta, int minimumHashes)
{
    QList<QByteArray> lines = text.split('\n');
    for (QByteArray& line : lines)
        if (separatorHashes(line) >= minimumHashes)
            line = delta > 0 ? line.insert(2, '#') : line.remove(2, 1);
    return lines.join('\n');
}

const char* const languages[] = {"NOLANG", "ST", "CFC", "LD", "SFC", "LD_JAPAN", "IL", "FBD"};

} // namespace

int lineAt(const QByteArray& bytes, int offset)
{
    return int(bytes.left(offset).count('\n')) + 1;
}

bool toId(const QJsonValue& value, unsigned int& id)
{
    const double number = value.toDouble(-1);
    if (!value.isDouble() || number < 0 || number > 4294967294.0 || number != double(qint64(number)))
        return false;
    id = unsigned(number);
    return true;
}

bool stringMembers(const QJsonValue& value)
{
    if (value.isUndefined())
        return true;
    if (!value.isObject())
        return false;
    const QJsonObject object = value.toObject();
    return std::all_of(object.begin(), object.end(), [](const QJsonValue& member) { return member.isString(); });
}

QByteArray pouFile(const std::string& declaration, const std::string& logic)
{
    return shiftSeparators(QByteArray::fromStdString(declaration), 1, 1) + '\n' + LogicSeparator + '\n'
        + QByteArray::fromStdString(logic) + '\n';
}

bool splitPouFile(const QByteArray& file, std::string& declaration, std::string& logic)
{
    if (!file.endsWith('\n'))
        return false;
    const QByteArray marker = '\n' + LogicSeparator + '\n';
    const int at = file.indexOf(marker);
    if (at < 0)
        return false;
    declaration = shiftSeparators(file.left(at), -1, 2).toStdString();
    const int logicStart = at + marker.size();
    logic = file.mid(logicStart, file.size() - 1 - logicStart).toStdString();
    return true;
}

QString languageName(int language)
{
    if (language >= 0 && language < int(std::size(languages)))
        return QString::fromLatin1(languages[language]);
    return QString::number(language);
}

int languageFromName(const QString& name)
{
    for (int i = 0; i < int(std::size(languages)); ++i)
        if (name == QLatin1String(languages[i]))
            return i;
    bool ok = false;
    const int number = name.toInt(&ok);
    return ok && number >= 0 ? number : -1;
}

} // namespace ExchangeFormat
