#include "datamodel/memory/DataConversion.h"

#include "datamodel/memory/DeclarationWriter_p.h"
#include "datamodel/model/HostServices.h"

#include "accore/ACCore.h"
#include "accore/ConstantValue.h"
#include "accore/DeviceMemory.h"
#include "accore/SafeAccore.h"
#include "accore/SymbolDataType.h"
#include "accore/SymbolEnumType.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QVector>

#include <algorithm>
#include <array>
#include <cstring>

namespace {

const char* const kModule = "DataConversion";

QString badData()
{
    return QStringLiteral("bad Data");
}

bool refuse(const QString& what)
{
    HostServices::log(kModule, HostServices::LogInfo, what.toStdString());
    return false;
}

QString typeName(const ac::SymbolDataType& type)
{
    return QString::fromStdString(type.typeText());
}

bool isIntegerCode(int code)
{
    return (code >= ac::BT_SINT && code <= ac::BT_ULINT) || code == ac::BT_POINTER;
}

bool isSignedCode(int code)
{
    return code >= ac::BT_SINT && code <= ac::BT_LINT;
}

// Bytes of a value of fixed width; 0 for strings (their buffer) and for composites.
unsigned fixedWidth(const ac::SymbolDataType& type)
{
    if (type.dataType() == ac::BT_ENUM)
        return static_cast<unsigned>(type.byteSize());
    return static_cast<unsigned>(ac::SymbolDataType::elementaryByteSize(type.dataType()));
}

// An enumeration is stored as its base type (a signed 16-bit INT unless the declaration
// names another integer type).
bool enumIsSigned(const ac::SymbolEnumType& type)
{
    return type.baseType() == ac::BT_ENUM || isSignedCode(type.baseType());
}

quint64 loadLittleEndian(const char* buffer, unsigned bytes)
{
    quint64 value = 0;
    for (unsigned i = 0; i < bytes; ++i)
        value |= static_cast<quint64>(static_cast<unsigned char>(buffer[i])) << (8 * i);
    return value;
}

void storeLittleEndian(char* buffer, quint64 value, unsigned bytes)
{
    for (unsigned i = 0; i < bytes; ++i)
        buffer[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

qint64 signExtend(quint64 bits, unsigned bytes)
{
    if (bytes >= 8)
        return static_cast<qint64>(bits);
    const unsigned shift = 64 - 8 * bytes;
    return static_cast<qint64>(bits << shift) >> shift;
}

// ---------------------------------------------------------------------------------------
// Raw bytes to text

// An integer of `bits` width in `radix`. Base 2 is padded to the width in bits, base 16 to
// 2, 4 or 8 digits (64-bit values to 8 as well). A negative value keeps its sign in front
// of the padding, the sign counting as one character of the width: "16#-1", "2#-0000001".
QString integerText(quint64 magnitude, bool negative, unsigned bits, unsigned radix)
{
    const QString sign = negative ? QStringLiteral("-") : QString();
    if (radix == 10)
        return sign + QString::number(magnitude);
    QString digits = QString::number(magnitude, static_cast<int>(radix)).toUpper();
    const int width = static_cast<int>(radix == 2 ? bits : bits == 64 ? 8 : bits / 4);
    const int cut = static_cast<int>(radix == 2 ? bits : bits / 4);
    const QString prefix = radix == 2 ? QStringLiteral("2#") : QStringLiteral("16#");
    if (negative)
        return prefix + sign + digits.rightJustified(width - 1, QLatin1Char('0'));
    return prefix + digits.rightJustified(width, QLatin1Char('0')).right(cut);
}

QString integerText(quint64 raw, unsigned bytes, bool isSigned, unsigned radix)
{
    if (!isSigned)
        return integerText(raw, false, 8 * bytes, radix);
    const qint64 value = signExtend(raw, bytes);
    const quint64 magnitude = value < 0 ? 0 - static_cast<quint64>(value) : static_cast<quint64>(value);
    return integerText(magnitude, value < 0, 8 * bytes, radix);
}

struct DurationUnit
{
    quint64 size;      // in the type's smallest unit
    const char* name;  // as written in a literal (lower case)
};

const std::array<DurationUnit, 5> timeUnits = {{{86400000ull, "d"}, {3600000ull, "h"}, {60000ull, "m"},
                                                 {1000ull, "s"}, {1ull, "ms"}}};
const std::array<DurationUnit, 7> ltimeUnits = {{{86400000000000ull, "d"}, {3600000000000ull, "h"},
                                                  {60000000000ull, "m"}, {1000000000ull, "s"},
                                                  {1000000ull, "ms"}, {1000ull, "us"}, {1ull, "ns"}}};

template <size_t N>
QString durationText(const char* prefix, quint64 value, const std::array<DurationUnit, N>& units)
{
    QString out = QLatin1String(prefix);
    if (value == 0)
        return out + QStringLiteral("0") + QLatin1String(units[N - 1].name);
    for (const DurationUnit& unit : units) {
        const quint64 part = value / unit.size;
        value %= unit.size;
        if (part)
            out += QString::number(part) + QLatin1String(unit.name);
    }
    return out;
}

// Room for the characters of a STRING(n) or WSTRING(n) in a buffer of `capacity` units:
// at most n, so that the terminator keeps its place inside the variable.
unsigned textRoom(unsigned capacity, unsigned long long typeUnits)
{
    // Qt's text sizes are ints: no string of a controller comes near this bound.
    const unsigned long long characters = std::min(typeUnits > 0 ? typeUnits - 1 : 0, 1ull << 30);
    return characters < capacity ? static_cast<unsigned>(characters) : capacity;
}

QString stringText(const char* buffer, unsigned bytes)
{
    const char* end = static_cast<const char*>(std::memchr(buffer, 0, bytes));
    QString text = QString::fromUtf8(buffer, static_cast<int>(end ? end - buffer : bytes));
    DataConversion::BackslashToDollar(text);
    return text;
}

QString wideStringText(const char* buffer, unsigned bytes)
{
    QVector<ushort> units;
    for (unsigned i = 0; i + 1 < bytes; i += 2) {
        const ushort unit = static_cast<ushort>(loadLittleEndian(buffer + i, 2));
        if (unit == 0)
            break;
        units.append(unit);
    }
    QString text = QString::fromUtf16(units.constData(), units.size());
    DataConversion::BackslashToDollar(text);
    return text;
}

bool boolText(QString& text, const char* buffer, const ac::HeapAddress& address)
{
    const unsigned byte = static_cast<unsigned char>(buffer[0]);
    if (address.isBit()) {
        text = (byte >> address.bitNumber) & 1u ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
        return true;
    }
    if (byte <= 1)
        text = byte ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    else
        text = QCoreApplication::translate("DataConversion", "Value(%1) and Boolean type mismatch").arg(byte);
    return true;
}

bool enumText(QString& text, const char* buffer, const ac::SymbolDataType& type)
{
    const auto* enumeration = dynamic_cast<const ac::SymbolEnumType*>(&type);
    if (!enumeration)
        return refuse(QStringLiteral("BuffToQString: %1 is no enumeration type").arg(typeName(type)));
    const unsigned width = fixedWidth(type);
    const quint64 raw = loadLittleEndian(buffer, width);
    const long long value = enumIsSigned(*enumeration) ? signExtend(raw, width) : static_cast<long long>(raw);
    bool ok = false;
    const std::string key = enumeration->key(value, ok);
    text = ok ? QString::fromStdString(key) : QString::number(value);
    return true;
}

// ---------------------------------------------------------------------------------------
// Text to raw bytes

// Removes the first of `prefixes` (compared without regard to case) from the trimmed text.
bool stripPrefix(QString& text, std::initializer_list<const char*> prefixes)
{
    const QString trimmed = text.trimmed();
    for (const char* prefix : prefixes) {
        if (trimmed.startsWith(QLatin1String(prefix), Qt::CaseInsensitive)) {
            text = trimmed.mid(static_cast<int>(std::strlen(prefix)));
            return true;
        }
    }
    return false;
}

// The integer in `text` as the bits of a value of `code`. The text is read at the parse
// width of the type (16 bits for the 8- and 16-bit types, 32 for the 32-bit ones, 64 for
// the rest), so that a SINT takes "200" as the byte 200; a value that fits no 8-bit pattern
// ("300" for a USINT) is no value of an 8-bit type.
bool parseInteger(const QString& text, int code, unsigned radix, quint64& bits)
{
    QString digits = text.trimmed();
    if (radix == 16) {
        if (!digits.startsWith(QLatin1String("16#")))
            return false;
        digits = digits.mid(3);
    } else if (radix == 2 && digits.startsWith(QLatin1String("2#"))) {
        digits = digits.mid(2);
    }
    const int base = static_cast<int>(radix);
    bool ok = false;
    if (isSignedCode(code)) {
        qint64 value = 0;
        switch (code) {
        case ac::BT_SINT:
        case ac::BT_INT: value = digits.toShort(&ok, base); break;
        case ac::BT_DINT: value = digits.toInt(&ok, base); break;
        default: value = digits.toLongLong(&ok, base); break;
        }
        if (code == ac::BT_SINT && (value < -128 || value > 255))
            return false;
        bits = static_cast<quint64>(value);
        return ok;
    }
    if (digits.startsWith(QLatin1Char('-')))
        return false;
    switch (code) {
    case ac::BT_USINT:
    case ac::BT_UINT: bits = digits.toUShort(&ok, base); break;
    case ac::BT_UDINT:
    case ac::BT_POINTER: bits = digits.toUInt(&ok, base); break;
    default: bits = digits.toULongLong(&ok, base); break;
    }
    if (code == ac::BT_USINT && bits > 255)
        return false;
    return ok;
}

// "1d2h3m" into one number text per unit (null where absent). Units must come from the
// largest to the smallest, each at most once.
template <size_t N>
bool splitDuration(const QString& body, const std::array<DurationUnit, N>& units, std::array<QByteArray, N>& parts,
                   std::array<const char*, N>& pointers)
{
    const QString text = body.toLower();
    int at = 0;
    int last = -1;
    pointers.fill(nullptr);
    while (at < text.size()) {
        const int numberStart = at;
        while (at < text.size() && (text[at].isDigit() || text[at] == '.' || text[at] == '_'))
            ++at;
        const int unitStart = at;
        while (at < text.size() && text[at].isLetter())
            ++at;
        if (numberStart == unitStart || unitStart == at)
            return false;
        const QString unit = text.mid(unitStart, at - unitStart);
        int index = -1;
        for (size_t u = 0; u < N; ++u)
            if (unit == QLatin1String(units[u].name))
                index = static_cast<int>(u);
        if (index <= last)
            return false;
        last = index;
        parts[static_cast<size_t>(index)] = text.mid(numberStart, unitStart - numberStart).toLatin1();
        pointers[static_cast<size_t>(index)] = parts[static_cast<size_t>(index)].constData();
    }
    return last >= 0;
}

// A TIME or LTIME literal: its prefix, then its components, which the core's `make`
// turns into a value; an overflowed value is no value.
template <size_t N, typename Make>
bool parseDuration(const QString& text, std::initializer_list<const char*> prefixes,
                   const std::array<DurationUnit, N>& units, Make make, quint64& value)
{
    QString body = text;
    std::array<QByteArray, N> parts;
    std::array<const char*, N> p;
    if (!stripPrefix(body, prefixes) || !splitDuration(body, units, parts, p))
        return false;
    const std::unique_ptr<ac::ConstantValue> constant = make(p);
    if (!constant || constant->isOverFlow())
        return false;
    value = constant->basicData().data();
    return true;
}

bool parseTime(const QString& text, quint64& value)
{
    return parseDuration(text, {"TIME#", "T#"}, timeUnits, [](const std::array<const char*, 5>& p) {
        return ac::ConstantValue::fromTime({}, p[0], p[1], p[2], p[3], p[4]);
    }, value);
}

bool parseLTime(const QString& text, quint64& value)
{
    return parseDuration(text, {"LTIME#", "LT#"}, ltimeUnits, [](const std::array<const char*, 7>& p) {
        return ac::ConstantValue::fromLTime({}, p[0], p[1], p[2], p[3], p[4], p[5], p[6]);
    }, value);
}

// Seconds since 1970-01-01 UTC, which must fit the unsigned 32 bits of DATE and DT.
bool secondsOf(const QDate& date, const QTime& time, quint64& value)
{
    if (!date.isValid() || !time.isValid())
        return false;
    const qint64 seconds = QDateTime(date, time, Qt::UTC).toSecsSinceEpoch();
    if (seconds < 0 || seconds > 0xFFFFFFFFll)
        return false;
    value = static_cast<quint64>(seconds);
    return true;
}

bool parseDate(const QString& text, quint64& value)
{
    QString body = text;
    return stripPrefix(body, {"DATE#", "D#"})
        && secondsOf(QDate::fromString(body.trimmed(), QStringLiteral("yyyy-MM-dd")), QTime(0, 0), value);
}

bool parseDateAndTime(const QString& text, quint64& value)
{
    QString body = text;
    if (!stripPrefix(body, {"DATE_AND_TIME#", "DT#"}))
        return false;
    body = body.trimmed();
    // "yyyy-MM-dd-hh:mm:ss": the date, a dash, the time; read apart so that no local time
    // zone can make a wall-clock time invalid.
    const int dash = 10;
    if (body.size() <= dash || body[dash] != QLatin1Char('-'))
        return false;
    return secondsOf(QDate::fromString(body.left(dash), QStringLiteral("yyyy-MM-dd")),
                     QTime::fromString(body.mid(dash + 1), QStringLiteral("hh:mm:ss")), value);
}

bool parseTimeOfDay(const QString& text, quint64& value)
{
    QString body = text;
    if (!stripPrefix(body, {"TIME_OF_DAY#", "TOD#"}))
        return false;
    body = body.trimmed();
    QTime time = QTime::fromString(body, QStringLiteral("hh:mm:ss.zzz"));
    if (!time.isValid())
        time = QTime::fromString(body, QStringLiteral("hh:mm:ss"));
    if (!time.isValid())
        return false;
    value = static_cast<quint64>(time.msecsSinceStartOfDay());
    return true;
}

unsigned writeString(const QString& plain, char* buffer, unsigned size, const ac::SymbolDataType& type)
{
    const QByteArray bytes = plain.toUtf8();
    const unsigned room = textRoom(size, type.byteSize());
    unsigned count = bytes.size() < static_cast<int>(room) ? static_cast<unsigned>(bytes.size()) : room;
    // Never end on half a character.
    while (count > 0 && count < static_cast<unsigned>(bytes.size())
           && (static_cast<unsigned char>(bytes[static_cast<int>(count)]) & 0xC0) == 0x80)
        --count;
    std::memcpy(buffer, bytes.constData(), count);
    if (count < size && count < type.byteSize()) {
        buffer[count] = 0;
        return count + 1;
    }
    return count;
}

unsigned writeWideString(const QString& plain, char* buffer, unsigned size, const ac::SymbolDataType& type)
{
    const unsigned room = textRoom(size / 2, type.byteSize() / 2);
    unsigned count = plain.size() < static_cast<int>(room) ? static_cast<unsigned>(plain.size()) : room;
    // Never end on the first half of a surrogate pair.
    if (count > 0 && count < static_cast<unsigned>(plain.size()) && plain[static_cast<int>(count) - 1].isHighSurrogate())
        --count;
    for (unsigned i = 0; i < count; ++i)
        storeLittleEndian(buffer + 2 * i, plain[static_cast<int>(i)].unicode(), 2);
    if (2 * count + 2 <= size && 2 * count + 2 <= type.byteSize()) {
        storeLittleEndian(buffer + 2 * count, 0, 2);
        return 2 * count + 2;
    }
    return 2 * count;
}

bool enumBits(const QString& text, const ac::SymbolDataType& type, quint64& bits)
{
    const auto* enumeration = dynamic_cast<const ac::SymbolEnumType*>(&type);
    if (!enumeration)
        return false;
    bool ok = false;
    const long long value = enumeration->value(text.trimmed().toStdString(), ok);
    if (!ok)
        return false;
    // The declared value must fit the stored width; the parser reports one that does not.
    const unsigned width = fixedWidth(type);
    const quint64 raw = static_cast<quint64>(value);
    const bool fits = enumIsSigned(*enumeration) ? signExtend(raw, width) == value
                                                 : value >= 0 && (width >= 8 || raw >> (8 * width) == 0);
    bits = raw;
    return fits;
}

// The bits of a value of fixed width from its text; false when the text is no such value.
bool fixedBits(const QString& text, const ac::SymbolDataType& type, const ac::HeapAddress& address, unsigned radix,
               quint64& bits)
{
    const int code = type.dataType();
    if (isIntegerCode(code))
        return parseInteger(text, code, radix, bits);
    switch (code) {
    case ac::BT_BOOL: {
        const QString word = text.trimmed().toUpper();
        if (word != QLatin1String("TRUE") && word != QLatin1String("FALSE"))
            return false;
        const bool value = word == QLatin1String("TRUE");
        bits = address.isBit() ? (value ? 1u << address.bitNumber : 0u) : (value ? 1u : 0u);
        return true;
    }
    case ac::BT_REAL: {
        bool ok = false;
        const float value = text.trimmed().toFloat(&ok);
        quint32 raw = 0;
        std::memcpy(&raw, &value, sizeof raw);
        bits = raw;
        return ok;
    }
    case ac::BT_LREAL: {
        bool ok = false;
        const double value = text.trimmed().toDouble(&ok);
        std::memcpy(&bits, &value, sizeof bits);
        return ok;
    }
    case ac::BT_TIME: return parseTime(text, bits);
    case ac::BT_LTIME: return parseLTime(text, bits);
    case ac::BT_DATE: return parseDate(text, bits);
    case ac::BT_DATE_AND_TIME: return parseDateAndTime(text, bits);
    case ac::BT_TIME_OF_DAY: return parseTimeOfDay(text, bits);
    case ac::BT_ENUM: return enumBits(text, type, bits);
    default: return false;
    }
}

// What both directions refuse before they touch a byte: a radix other than 2, 10 and 16, a
// WSTRING buffer of odd size, a type without a value of its own, a buffer shorter than the
// value, a bit number outside 0..7.
bool fitsBuffer(const char* operation, const ac::SymbolDataType& type, unsigned size, const ac::HeapAddress& address,
                unsigned radix)
{
    if (radix != 2 && radix != 10 && radix != 16)
        return refuse(QStringLiteral("%1: radix %2 of %3 is not 2, 10 or 16")
                          .arg(QLatin1String(operation)).arg(radix).arg(typeName(type)));
    const int code = type.dataType();
    if (code == ac::BT_WSTRING && size % 2 != 0)
        return refuse(QStringLiteral("%1: a WSTRING buffer of %2 bytes is odd").arg(QLatin1String(operation)).arg(size));
    if (code == ac::BT_STRING || code == ac::BT_WSTRING)
        return true;
    const unsigned width = fixedWidth(type);
    if (width == 0 || code > ac::BT_ENUM)
        return refuse(QStringLiteral("%1: %2 has no value of its own (type code %3)")
                          .arg(QLatin1String(operation), typeName(type)).arg(code));
    if (size < width)
        return refuse(QStringLiteral("%1: %2 needs %3 bytes, the buffer holds %4")
                          .arg(QLatin1String(operation), typeName(type)).arg(width).arg(size));
    if (code == ac::BT_BOOL && address.isBit() && address.bitNumber > 7)
        return refuse(QStringLiteral("%1: bit number %2 of a BOOL is outside 0..7")
                          .arg(QLatin1String(operation)).arg(address.bitNumber));
    return true;
}

// The core of the current project, held for the lifetime of this object.
class CurrentCore
{
public:
    CurrentCore()
        : m_name(HostServices::cookie(QStringLiteral("Project.Name")).toString().toStdString()),
          m_hold(m_name)
    {
    }
    ac::ACCore* core() const { return m_name.empty() ? nullptr : m_hold.getAccore(); }

private:
    std::string m_name;
    ac::SafeAccore m_hold;
};

} // namespace

bool DataConversion::BuffToQString(QString& text, const char* buffer, unsigned size, ac::SymbolDataType* type,
                                   ac::HeapAddress address, unsigned radix)
{
    text = badData();
    if (!buffer || !type)
        return refuse(QStringLiteral("BuffToQString: no buffer or no type"));
    if (!fitsBuffer("BuffToQString", *type, size, address, radix))
        return false;
    const int code = type->dataType();
    if (code == ac::BT_STRING || code == ac::BT_WSTRING) {
        // The characters end where the type's characters end, even in a larger buffer; the
        // terminator's place is never read as a character.
        text = code == ac::BT_STRING ? stringText(buffer, textRoom(size, type->byteSize()))
                                     : wideStringText(buffer, 2 * textRoom(size / 2, type->byteSize() / 2));
        return true;
    }
    const unsigned width = fixedWidth(*type);
    const quint64 raw = loadLittleEndian(buffer, width);
    if (isIntegerCode(code)) {
        text = integerText(raw, width, isSignedCode(code), radix);
        return true;
    }
    switch (code) {
    case ac::BT_BOOL: return boolText(text, buffer, address);
    case ac::BT_REAL: {
        float value = 0;
        const quint32 bits = static_cast<quint32>(raw);
        std::memcpy(&value, &bits, sizeof value);
        text = QString::number(static_cast<double>(value), 'G', 7);
        return true;
    }
    case ac::BT_LREAL: {
        double value = 0;
        std::memcpy(&value, &raw, sizeof value);
        text = QString::number(value, 'G', 15);
        return true;
    }
    case ac::BT_TIME: text = durationText("T#", raw, timeUnits); return true;
    case ac::BT_LTIME: text = durationText("LTIME#", raw, ltimeUnits); return true;
    case ac::BT_DATE:
        text = QStringLiteral("D#") + QDateTime::fromSecsSinceEpoch(static_cast<qint64>(raw), Qt::UTC).toString(QStringLiteral("yyyy-MM-dd"));
        return true;
    case ac::BT_DATE_AND_TIME:
        text = QStringLiteral("DT#")
            + QDateTime::fromSecsSinceEpoch(static_cast<qint64>(raw), Qt::UTC).toString(QStringLiteral("yyyy-MM-dd-hh:mm:ss"));
        return true;
    case ac::BT_TIME_OF_DAY:
        text = QStringLiteral("TOD#")
            + QTime::fromMSecsSinceStartOfDay(static_cast<int>(raw % 86400000u)).toString(QStringLiteral("hh:mm:ss.zzz"));
        return true;
    case ac::BT_ENUM: return enumText(text, buffer, *type);
    default: return refuse(QStringLiteral("BuffToQString: type code %1 has no text").arg(code));
    }
}

bool DataConversion::QStringToBuff(const QString& text, char* buffer, unsigned& size, ac::SymbolDataType* type,
                                   ac::HeapAddress address, unsigned radix)
{
    if (!buffer || !type)
        return refuse(QStringLiteral("QStringToBuff: no buffer or no type for '%1'").arg(text));
    if (!fitsBuffer("QStringToBuff", *type, size, address, radix))
        return false;
    const int code = type->dataType();
    if (code == ac::BT_STRING || code == ac::BT_WSTRING) {
        QString plain = text;
        DollarToBackslash(plain);
        // The controller's string ends at the first NUL; write no more than it will read.
        const int nul = plain.indexOf(QChar(0));
        if (nul >= 0)
            plain.truncate(nul);
        const unsigned capacity = size;
        size = code == ac::BT_STRING ? writeString(plain, buffer, size, *type) : writeWideString(plain, buffer, size, *type);
        // A text longer than the variable is cut as an assignment cuts it; say so in the log.
        const unsigned long long full = code == ac::BT_STRING ? plain.toUtf8().size() + 1ull : 2ull * plain.size() + 2;
        if (size < full)
            HostServices::log(kModule, HostServices::LogInfo,
                              QStringLiteral("QStringToBuff: '%1' cut to %2 of %3 bytes for %4 (buffer of %5 bytes)")
                                  .arg(text).arg(size).arg(full).arg(typeName(*type)).arg(capacity).toStdString());
        return true;
    }
    const unsigned width = fixedWidth(*type);
    quint64 bits = 0;
    if (!fixedBits(text, *type, address, radix, bits))
        return refuse(QStringLiteral("QStringToBuff: '%1' is no %2 value (radix %3); nothing written")
                          .arg(text, typeName(*type)).arg(radix));
    storeLittleEndian(buffer, bits, width);
    size = width;
    return true;
}

bool DataConversion::BackslashToDollar(QString& text)
{
    if (text.isEmpty())
        return false;
    // "$" first, so that the dollars of the other escapes are not doubled.
    text.replace(QLatin1Char('$'), QLatin1String("$$"));
    text.replace(QLatin1Char('\''), QLatin1String("$'"));
    text.replace(QLatin1Char('"'), QLatin1String("$\""));
    text.replace(QLatin1Char('\n'), QLatin1String("$N"));
    text.replace(QLatin1Char('\f'), QLatin1String("$P"));
    text.replace(QLatin1Char('\r'), QLatin1String("$R"));
    text.replace(QLatin1Char('\t'), QLatin1String("$T"));
    return true;
}

bool DataConversion::DollarToBackslash(QString& text)
{
    if (text.isEmpty())
        return false;
    QString out;
    out.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != QLatin1Char('$') || i + 1 >= text.size()) {
            out += c;
            continue;
        }
        switch (text[i + 1].toUpper().unicode()) {
        case '$': out += QLatin1Char('$'); break;
        case '\'': out += QLatin1Char('\''); break;
        case '"': out += QLatin1Char('"'); break;
        case 'N': out += QLatin1Char('\n'); break;
        case 'P': out += QLatin1Char('\f'); break;
        case 'R': out += QLatin1Char('\r'); break;
        case 'T': out += QLatin1Char('\t'); break;
        default: out += c; continue; // no escape: the dollar stays, the next character is read as usual
        }
        ++i;
    }
    text = out;
    return true;
}

namespace {

QString fromDecimal(const QString& text, int base)
{
    bool ok = false;
    const QString trimmed = text.trimmed();
    const quint64 value = trimmed.toULongLong(&ok, 10);
    return ok && !trimmed.startsWith(QLatin1Char('-')) ? QString::number(value, base) : QString();
}

QString toDecimal(const QString& text, int base, const char* prefix)
{
    QString digits = text.trimmed();
    if (digits.startsWith(QLatin1String(prefix)))
        digits = digits.mid(static_cast<int>(std::strlen(prefix)));
    bool ok = false;
    const quint64 value = digits.toULongLong(&ok, base);
    return ok && !digits.startsWith(QLatin1Char('-')) ? QString::number(value) : QString();
}

} // namespace

QString DataConversion::ConvScale10To16(QString text)
{
    return fromDecimal(text, 16);
}

QString DataConversion::ConvScale10To8(QString text)
{
    return fromDecimal(text, 8);
}

QString DataConversion::ConvScale10To2(QString text)
{
    return fromDecimal(text, 2);
}

QString DataConversion::ConvScale16To10(QString text)
{
    return toDecimal(text, 16, "16#");
}

QString DataConversion::ConvScale8To10(QString text)
{
    return toDecimal(text, 8, "8#");
}

QString DataConversion::ConvScale2To10(QString text)
{
    return toDecimal(text, 2, "2#");
}

QString DataConversion::IecAddressToString(ac::HeapAddress address, bool withPercent)
{
    const CurrentCore current;
    if (!current.core())
        return {};
    return QString::fromStdString(current.core()->deviceMemory()->iecAddress2String(address, withPercent));
}

bool DataConversion::QStringToIecAddress(QString& text, ac::HeapAddress& address, bool requirePercent)
{
    const CurrentCore current;
    return current.core()
        && current.core()->deviceMemory()->string2IecAddress(text.toStdString(), &address, requirePercent);
}

ac::JapanComponent DataConversion::QStringToJapanComponent(QString& text)
{
    const CurrentCore current;
    if (!current.core())
        return {};
    return current.core()->deviceMemory()->parseComponent(text.toStdString());
}

ac::SymbolDataType* DataConversion::getSymbolDataType(QString& typeText)
{
    const CurrentCore current;
    if (!current.core())
        return nullptr;
    ac::SymbolDataType* type = current.core()->parseSpecification(typeText.toStdString());
    // Pointers may lead in a circle through the types they name; a real chain is short.
    for (int hops = 0; type && hops < 64; ++hops) {
        ac::SymbolDataType* below = type->isArray() ? type->elementType() : type->isPointer() ? type->refType() : nullptr;
        if (!below)
            break;
        type = below;
    }
    return type;
}

std::string DataConversion::paramToText(ac::Symbol* container, PouType kind, QString name)
{
    return DeclarationWriter(container, kind, name.toStdString()).text();
}
