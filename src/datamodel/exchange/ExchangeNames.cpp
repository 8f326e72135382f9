#include "datamodel/exchange/ExchangeNames.h"

#include <QHash>
#include <QSet>

namespace {

bool isReservedDeviceName(const QString& stem)
{
    static const QSet<QString> reserved = [] {
        QSet<QString> names{"CON", "PRN", "AUX", "NUL"};
        for (int digit = 1; digit <= 9; ++digit) {
            names.insert(QStringLiteral("COM%1").arg(digit));
            names.insert(QStringLiteral("LPT%1").arg(digit));
        }
        return names;
    }();
    return reserved.contains(stem.toUpper());
}

bool needsEscape(uint code, bool last, bool escapeCase)
{
    static const QString special = QStringLiteral("/\\:*?\"<>|%.'");
    if (code < 0x20 || code == 0x7f || (code < 0x80 && special.contains(QChar(code))))
        return true;
    if (last && code == ' ')
        return true; // some file systems drop a trailing blank
    return escapeCase && code <= 0xffff && QChar(code).isUpper();
}

void appendEscaped(QString& out, uint code)
{
    const QByteArray bytes = QString::fromUcs4(&code, 1).toUtf8();
    for (unsigned char byte : bytes)
        out += QStringLiteral("%%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
}

int hexValue(uint code)
{
    if (code >= '0' && code <= '9')
        return int(code - '0');
    if (code >= 'A' && code <= 'F')
        return int(code - 'A' + 10);
    if (code >= 'a' && code <= 'f')
        return int(code - 'a' + 10);
    return -1;
}

} // namespace

QString ExchangeNames::encode(const QString& name, bool escapeCase)
{
    if (name.isEmpty())
        return QStringLiteral("%");
    const QVector<uint> codes = name.toUcs4();
    QString out;
    for (int i = 0; i < codes.size(); ++i) {
        if (needsEscape(codes[i], i == codes.size() - 1, escapeCase))
            appendEscaped(out, codes[i]);
        else
            out += QString::fromUcs4(&codes[i], 1);
    }
    if (isReservedDeviceName(out)) {
        const uint first = out.at(0).unicode();
        out.remove(0, 1);
        QString escaped;
        appendEscaped(escaped, first);
        out.prepend(escaped);
    }
    return out;
}

bool ExchangeNames::decode(const QString& stem, QString& name)
{
    name.clear();
    if (stem == QLatin1String("%"))
        return true;
    if (stem.isEmpty())
        return false;
    const QVector<uint> codes = stem.toUcs4();
    QByteArray bytes;
    for (int i = 0; i < codes.size(); ++i) {
        if (codes[i] != '%') {
            bytes += QString::fromUcs4(&codes[i], 1).toUtf8();
            continue;
        }
        if (i + 2 >= codes.size())
            return false;
        const int high = hexValue(codes[i + 1]), low = hexValue(codes[i + 2]);
        if (high < 0 || low < 0)
            return false;
        bytes += char(high * 16 + low);
        i += 2;
    }
    name = QString::fromUtf8(bytes);
    return name.toUtf8() == bytes; // no invalid UTF-8 slipped through
}

QStringList ExchangeNames::stems(const QStringList& names)
{
    QStringList out;
    QHash<QString, int> folded; // case-folded stem -> how many names have it
    for (const QString& name : names) {
        out << encode(name);
        ++folded[out.last().toLower()];
    }
    for (int i = 0; i < names.size(); ++i)
        if (folded.value(out[i].toLower()) > 1)
            out[i] = encode(names[i], true);
    return out;
}
