#include "accore/internal/LiteralValue.h"

#include "accore/ConstantValue.h"
#include "accore/SymbolDataType.h"
#include "accore/SymbolEnumType.h"
#include "accore/internal/Lexer.h"

#include <cmath>
#include <cstdlib>

namespace ac {

bool LiteralValue::fitsInteger(bool negativeValue, long long low, unsigned long long high) const
{
    if (overflow)
        return false;
    if (negativeValue && magnitude != 0) {
        const unsigned long long lowMagnitude = low < 0 ? 0ull - static_cast<unsigned long long>(low) : 0;
        return low < 0 && magnitude <= lowMagnitude;
    }
    if (low > 0 && magnitude < static_cast<unsigned long long>(low))
        return false; // a subrange above zero
    return magnitude <= high;
}

long long LiteralValue::signedValue(bool negativeValue) const
{
    return negativeValue ? static_cast<long long>(0ull - magnitude) : static_cast<long long>(magnitude);
}

bool parseIntegerText(const std::string& text, LiteralValue& value)
{
    value = LiteralValue();
    value.kind = LiteralValue::Integer;
    unsigned base = 10;
    size_t i = 0;
    const size_t hash = text.find('#');
    if (hash != std::string::npos) {
        const std::string prefix = text.substr(0, hash);
        if (prefix == "2")
            base = 2;
        else if (prefix == "8")
            base = 8;
        else if (prefix == "16")
            base = 16;
        else
            return false;
        i = hash + 1;
    }
    bool digits = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '_')
            continue;
        unsigned digit = 0;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else
            return false;
        if (digit >= base)
            return false;
        digits = true;
        if (value.magnitude > (~0ull - digit) / base)
            value.overflow = true;
        else
            value.magnitude = value.magnitude * base + digit;
    }
    return digits;
}

namespace {
bool isDigits(const std::string& s, size_t from, size_t count)
{
    if (from + count > s.size())
        return false;
    for (size_t i = from; i < from + count; ++i) {
        if (!isDigit(s[i]))
            return false;
    }
    return true;
}

// Reads one to `most` digits at `i` (moved past them); false when none.
bool readNumber(const std::string& s, size_t& i, size_t most, int& value)
{
    const size_t from = i;
    value = 0;
    while (i < s.size() && i - from < most && isDigit(s[i]))
        value = value * 10 + (s[i++] - '0');
    return i > from;
}

bool validDate(const std::string& s, size_t& i)
{
    // yyyy-m[m]-d[d], years 1970 to 2105 (unsigned 32-bit seconds since 1970)
    int year = 0, month = 0, day = 0;
    const size_t from = i;
    if (!readNumber(s, i, 4, year) || i - from != 4 || i >= s.size() || s[i++] != '-'
        || !readNumber(s, i, 2, month) || i >= s.size() || s[i++] != '-' || !readNumber(s, i, 2, day))
        return false;
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1970 || year > 2105 || month < 1 || month > 12 || day < 1)
        return false;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    const int limit = days[month - 1] + (month == 2 && leap ? 1 : 0);
    return day <= limit;
}

bool validTimeOfDay(const std::string& s, size_t i)
{
    // h[h]:m[m][:s[s][.fff]]
    int hour = 0, minute = 0, second = 0;
    if (!readNumber(s, i, 2, hour) || i >= s.size() || s[i++] != ':' || !readNumber(s, i, 2, minute))
        return false;
    if (hour > 23 || minute > 59)
        return false;
    if (i == s.size())
        return true;
    if (s[i++] != ':' || !readNumber(s, i, 2, second) || second > 59)
        return false;
    if (i == s.size())
        return true;
    if (s[i] != '.' || i + 1 >= s.size() || s.size() - i - 1 > 9)
        return false;
    return isDigits(s, i + 1, s.size() - i - 1);
}

// Storage units of a quoted string after its "$" escapes, counted as the memory layout
// stores them: bytes of UTF-8 for a STRING (STRING(n) holds n bytes and a terminator, so
// 'héllo' needs 6), UTF-16 code units for a WSTRING (a character beyond the basic plane
// takes two). False for an invalid escape.
bool stringLength(const std::string& text, bool wide, unsigned long long& length, std::string& problem)
{
    length = 0;
    if (text.size() < 2) {
        problem = "unterminated string";
        return false;
    }
    for (size_t i = 1; i + 1 < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '$') {
            if (i + 2 >= text.size()) {
                problem = "'$' at the end of a string";
                return false;
            }
            const char e = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i + 1])));
            const std::string simple = "$'\"LNPRT";
            if (simple.find(e) != std::string::npos) {
                ++i;
            } else {
                const size_t hexCount = wide ? 4 : 2;
                for (size_t k = 1; k <= hexCount; ++k) {
                    if (i + k + 1 >= text.size() || !std::isxdigit(static_cast<unsigned char>(text[i + k]))) {
                        problem = "invalid escape '$" + std::string(1, text[i + 1]) + "'";
                        return false;
                    }
                }
                i += hexCount;
            }
            ++length;
        } else if (!wide) {
            ++length;
        } else if ((c & 0xC0) != 0x80) {
            // A continuation byte belongs to the character before; a four-byte sequence is a
            // surrogate pair in UTF-16.
            length += c >= 0xF0 ? 2 : 1;
        }
    }
    return true;
}
} // namespace

LiteralValue::Kind classifyLiteral(const std::string& text, LiteralValue& value)
{
    value = LiteralValue();
    if (text.empty())
        return LiteralValue::Invalid;
    const char first = text[0];
    if (first == '-' || first == '+') {
        const LiteralValue::Kind kind = classifyLiteral(text.substr(1), value);
        if (kind != LiteralValue::Integer && kind != LiteralValue::Real)
            return value.kind = LiteralValue::Invalid;
        value.negative = first == '-';
        if (value.negative)
            value.real = -value.real;
        return kind;
    }
    if (first == '\'' || first == '"') {
        const bool wide = first == '"';
        if (!stringLength(text, wide, value.length, value.problem))
            return value.kind = LiteralValue::Invalid;
        return value.kind = wide ? LiteralValue::WString : LiteralValue::String;
    }
    if (isDigit(first)) {
        if (parseIntegerText(text, value))
            return value.kind = LiteralValue::Integer;
        value = LiteralValue();
        std::string plain;
        for (char c : text) {
            if (c != '_')
                plain += c;
        }
        char* end = nullptr;
        value.real = std::strtod(plain.c_str(), &end);
        if (end && *end == '\0' && plain.find_first_of(".eE") != std::string::npos)
            return value.kind = LiteralValue::Real;
        value.problem = "not a number";
        return value.kind = LiteralValue::Invalid;
    }
    const size_t hash = text.find('#');
    if (hash == std::string::npos)
        return value.kind = LiteralValue::Name;
    value.prefix = upperAscii(text.substr(0, hash));
    value.body = text.substr(hash + 1);
    const std::string& p = value.prefix;
    if (p == "T" || p == "TIME" || p == "LT" || p == "LTIME") {
        auto constant = ConstantValue::fromTimeLiteral(text);
        if (!constant) {
            value.problem = "not a valid duration";
            return value.kind = LiteralValue::Invalid;
        }
        value.overflow = constant->isOverFlow();
        value.magnitude = constant->basicData().data();
        return value.kind = (p == "LT" || p == "LTIME") ? LiteralValue::LTime : LiteralValue::Time;
    }
    if (p == "D" || p == "DATE") {
        size_t i = 0;
        if (!validDate(value.body, i) || i != value.body.size()) {
            value.problem = "not a valid date yyyy-mm-dd";
            return value.kind = LiteralValue::Invalid;
        }
        return value.kind = LiteralValue::Date;
    }
    if (p == "DT" || p == "DATE_AND_TIME") {
        size_t i = 0;
        if (!validDate(value.body, i) || i >= value.body.size() || value.body[i] != '-'
            || !validTimeOfDay(value.body, i + 1)) {
            value.problem = "not a valid date and time yyyy-mm-dd-hh:mm:ss";
            return value.kind = LiteralValue::Invalid;
        }
        return value.kind = LiteralValue::DateTime;
    }
    if (p == "TOD" || p == "TIME_OF_DAY") {
        if (!validTimeOfDay(value.body, 0)) {
            value.problem = "not a valid time of day hh:mm:ss";
            return value.kind = LiteralValue::Invalid;
        }
        return value.kind = LiteralValue::TimeOfDay;
    }
    return value.kind = LiteralValue::Typed;
}

bool literalFitsType(LiteralValue::Kind kind, const LiteralValue& value, const std::string& text,
                     const SymbolDataType& type, std::string& why)
{
    if (kind == LiteralValue::Invalid) {
        why = value.problem.empty() ? "not a valid literal" : value.problem;
        return false;
    }
    if (kind == LiteralValue::Typed) {
        // "INT#5", "BOOL#TRUE", "E_Mode#Auto": the prefix must suit the type, the body the value.
        if (const auto* e = dynamic_cast<const SymbolEnumType*>(&type)) {
            bool ok = false;
            e->value(text, ok);
            if (!ok)
                why = "no such value of enumeration " + e->name();
            return ok;
        }
        LiteralValue inner;
        const LiteralValue::Kind innerKind = classifyLiteral(value.body, inner);
        const std::string& p = value.prefix;
        const bool intPrefix = p == "SINT" || p == "INT" || p == "DINT" || p == "LINT" || p == "USINT" || p == "UINT"
            || p == "UDINT" || p == "ULINT" || p == "BYTE" || p == "WORD" || p == "DWORD" || p == "LWORD";
        if (type.dataType() == BT_BOOL && p == "BOOL") {
            const std::string b = upperAscii(value.body);
            if (b == "TRUE" || b == "FALSE" || b == "0" || b == "1")
                return true;
            why = "a BOOL value";
            return false;
        }
        if ((type.isInteger() && intPrefix) || (type.isReal() && (p == "REAL" || p == "LREAL" || intPrefix))
            || (type.isString() && (p == "STRING" || p == "WSTRING")))
            return literalFitsType(innerKind, inner, value.body, type, why);
        why = "a " + p + " literal";
        return false;
    }
    const int code = type.dataType();
    if (type.isInteger()) {
        if (kind != LiteralValue::Integer) {
            why = kind == LiteralValue::Real ? "an integer value, found a real number" : "an integer value";
            return false;
        }
        long long low = 0;
        unsigned long long high = 0;
        type.integerRange(low, high);
        if (!value.fitsInteger(value.negative, low, high)) {
            why = "out of range " + std::to_string(low) + ".." + std::to_string(high);
            return false;
        }
        return true;
    }
    switch (code) {
    case BT_BOOL:
        if (kind == LiteralValue::Integer && !value.negative && value.magnitude <= 1 && !value.overflow)
            return true;
        why = "TRUE, FALSE, 0 or 1";
        return false;
    case BT_REAL:
    case BT_LREAL:
        if (kind == LiteralValue::Integer)
            return true;
        if (kind == LiteralValue::Real) {
            if (code == BT_REAL && std::fabs(value.real) > 3.4028235e38) {
                why = "out of the REAL range";
                return false;
            }
            if (std::isinf(value.real)) {
                why = "out of the LREAL range";
                return false;
            }
            return true;
        }
        why = "a number";
        return false;
    case BT_TIME:
        if (kind != LiteralValue::Time) {
            why = "a duration T#...";
            return false;
        }
        if (value.overflow) {
            why = "longer than 4294967295 ms";
            return false;
        }
        return true;
    case BT_LTIME:
        if (kind != LiteralValue::Time && kind != LiteralValue::LTime) {
            why = "a duration LTIME#...";
            return false;
        }
        if (kind == LiteralValue::LTime && value.overflow) {
            why = "longer than the LTIME range";
            return false;
        }
        return kind == LiteralValue::LTime || !value.overflow;
    case BT_DATE:
        if (kind == LiteralValue::Date)
            return true;
        why = "a date D#yyyy-mm-dd";
        return false;
    case BT_DATE_AND_TIME:
        if (kind == LiteralValue::DateTime)
            return true;
        why = "a date and time DT#yyyy-mm-dd-hh:mm:ss";
        return false;
    case BT_TIME_OF_DAY:
        if (kind == LiteralValue::TimeOfDay)
            return true;
        why = "a time of day TOD#hh:mm:ss";
        return false;
    case BT_STRING:
    case BT_WSTRING: {
        const LiteralValue::Kind wanted = code == BT_STRING ? LiteralValue::String : LiteralValue::WString;
        if (kind != wanted) {
            why = code == BT_STRING ? "a string in single quotes" : "a wide string in double quotes";
            return false;
        }
        if (value.length > type.stringLength()) {
            why = std::to_string(value.length) + (code == BT_STRING ? " bytes, at most " : " characters, at most ")
                + std::to_string(type.stringLength());
            return false;
        }
        return true;
    }
    case BT_POINTER:
        if (kind == LiteralValue::Integer && value.magnitude == 0)
            return true;
        why = "only 0 initialises a pointer";
        return false;
    case BT_ENUM:
        why = "a value of enumeration " + type.name();
        return false;
    case BT_ARRAY:
        why = "an array value [...]";
        return false;
    default:
        why = "a structure value (member := value, ...)";
        return false;
    }
}

} // namespace ac
