#pragma once

#include <string>

namespace ac {

// A soft component of the Japanese programming style: a device letter and a number
// ("X17", "M100", "D200.3"). X and Y are numbered in octal, the others in decimal; word
// components (D, R, W) may name one bit ".0" to ".15".
struct JapanComponent
{
    bool valid = false;
    std::string device;          // "X", "Y", "M", "S", "B", "D", "R", "W"
    unsigned long long index = 0; // component number (X17 -> 15)
    int bit = -1;                // -1 when no bit is named

    bool isWordDevice() const { return device == "D" || device == "R" || device == "W"; }
    bool isOctal() const { return device == "X" || device == "Y"; }
};

} // namespace ac
