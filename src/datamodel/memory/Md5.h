#pragma once

#include "datamodel/model/DatamodelExport.h"

#include <cstddef>
#include <string>

// The MD5 message digest (RFC 1321). The memory layout file is stamped with it so that a
// damaged or edited layout is noticed before an online change relies on it.
class DATAMODEL_EXPORT Md5
{
public:
    static constexpr std::size_t DigestSize = 16;

    // The 16-byte digest of `length` bytes at `data` into `out16`. `data` may be null
    // when `length` is 0.
    static void getMd5(const char* data, std::size_t length, unsigned char* out16);
    // The digest as 32 lower-case hexadecimal digits.
    static std::string getMd5Hex(const char* data, std::size_t length);
};
