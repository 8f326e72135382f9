#pragma once

#include <cstdint>

namespace ac {

// The raw value of a constant as the controller stores it: up to 64 bits, little-endian
// when written to memory. Unsigned types use the low bits, signed ones two's complement.
class BasicData
{
public:
    BasicData() = default;
    explicit BasicData(std::uint64_t bits) : m_bits(bits) {}

    std::uint64_t data() const { return m_bits; }
    std::int64_t asSigned() const { return static_cast<std::int64_t>(m_bits); }

private:
    std::uint64_t m_bits = 0;
};

} // namespace ac
