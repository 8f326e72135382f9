#pragma once

#include <string>

namespace ac {

class SymbolDataType;

// What a literal's source text is, and its value where the checks need it.
struct LiteralValue
{
    enum Kind { Invalid, Integer, Real, Time, LTime, Date, DateTime, TimeOfDay, String, WString, Typed, Name };

    Kind kind = Invalid;
    bool negative = false;
    unsigned long long magnitude = 0; // integers: absolute value
    bool overflow = false;            // integers above 64 bits, times above their type
    double real = 0;
    unsigned long long length = 0; // strings: storage units after escapes (STRING bytes, WSTRING UTF-16 units)
    std::string prefix;            // typed literals: upper-case type name before '#'
    std::string body;              // typed literals: the text after '#'
    std::string problem;           // Invalid: why

    bool fitsInteger(bool negativeValue, long long low, unsigned long long high) const;
    long long signedValue(bool negativeValue) const;
};

// "42", "16#FF", "2#1010_0101" (no sign). False when not an integer literal.
bool parseIntegerText(const std::string& text, LiteralValue& value);
LiteralValue::Kind classifyLiteral(const std::string& text, LiteralValue& value);
// Whether a classified literal can initialise `type`; `why` says why not.
bool literalFitsType(LiteralValue::Kind kind, const LiteralValue& value, const std::string& text,
                     const SymbolDataType& type, std::string& why);

} // namespace ac
