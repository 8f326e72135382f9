#pragma once

#include "accore/BasicData.h"
#include "accore/BasicDataType.h"
#include "accore/SourceLocation.h"

#include <memory>
#include <string>

namespace ac {

// A constant computed by the core, with its type and whether it overflowed its type.
class ConstantValue
{
public:
    ConstantValue(int basicType, BasicData data, bool overflow, SourceLocation at = {});

    int basicType() const { return m_type; }
    const BasicData& basicData() const { return m_data; }
    bool isOverFlow() const { return m_overflow; }
    SourceLocation location() const { return m_at; }

    // A TIME value (milliseconds, unsigned 32-bit) from its components. Each component is
    // the text of a decimal number (a fraction is allowed, "1.5") or null when absent.
    // Null result: no component, a component that is not a number, or a component after
    // the first that exceeds its unit (25 hours after days, 60 minutes, 60 seconds,
    // 1000 milliseconds). A total above 4294967295 ms gives an overflowed value.
    static std::unique_ptr<ConstantValue> fromTime(SourceLocation at, const char* days, const char* hours,
                                                   const char* minutes, const char* seconds,
                                                   const char* milliseconds);
    // An LTIME value (nanoseconds, unsigned 64-bit) from seven components, the same way.
    static std::unique_ptr<ConstantValue> fromLTime(SourceLocation at, const char* days, const char* hours,
                                                    const char* minutes, const char* seconds,
                                                    const char* milliseconds, const char* microseconds,
                                                    const char* nanoseconds);

    // A whole time literal ("T#1d2h", "TIME#1.5s", "LTIME#5us", underscores allowed).
    // Null when the text is no time literal.
    static std::unique_ptr<ConstantValue> fromTimeLiteral(const std::string& text, SourceLocation at = {});

private:
    int m_type;
    BasicData m_data;
    bool m_overflow;
    SourceLocation m_at;
};

} // namespace ac
