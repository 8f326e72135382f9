#include "accore/PrjMemCopyMember.h"

#include "accore/BasicDataType.h"

#include <cstring>

namespace ac {

namespace {

bool isSignedCode(int code)
{
    return (code >= BT_SINT && code <= BT_LINT) || code == BT_ENUM;
}

bool isUnsignedCode(int code)
{
    return code >= BT_USINT && code <= BT_BOOL;
}

// The last byte of `count` values of `size` bytes `stride` apart from `offset`, inside `limit`.
bool fits(unsigned long long offset, unsigned long long size, unsigned long long count, unsigned long long stride,
          std::size_t limit)
{
    if (count == 0 || size == 0)
        return true;
    if (stride != 0 && count - 1 > (~0ull - offset) / stride)
        return false;
    const unsigned long long last = offset + (count - 1) * stride;
    return last <= limit && size <= limit - last;
}

bool convertible(int from, int to, unsigned long long fromSize, unsigned long long toSize)
{
    if (from == to || from == BT_NONE || to == BT_NONE)
        return true;
    if ((isSignedCode(from) || isUnsignedCode(from)) && (isSignedCode(to) || isUnsignedCode(to)))
        return fromSize <= 8 && toSize <= 8;
    return from == BT_REAL && to == BT_LREAL && fromSize == 4 && toSize == 8;
}

void convertOne(const unsigned char* from, unsigned long long fromSize, int fromType, unsigned char* to,
                unsigned long long toSize, int toType)
{
    if (fromType == BT_REAL && toType == BT_LREAL) {
        float value;
        std::memcpy(&value, from, sizeof value);
        const double wide = value;
        std::memcpy(to, &wide, sizeof wide);
        return;
    }
    const unsigned long long common = fromSize < toSize ? fromSize : toSize;
    std::memcpy(to, from, common);
    // Little-endian: the sign lives in the old value's last byte.
    const bool negative = isSignedCode(fromType) && fromType != toType && fromSize > 0 && (from[fromSize - 1] & 0x80);
    std::memset(to + common, negative ? 0xFF : 0x00, toSize - common);
}

} // namespace

bool PrjMemCopyMember::apply(const unsigned char* oldImage, std::size_t oldSize, unsigned char* newImage,
                             std::size_t newSize) const
{
    const unsigned long long toSize = targetSize();
    if (!oldImage || !newImage || !convertible(oldType, newType, byteSize, toSize))
        return false;
    if (!fits(oldOffset, byteSize, count, oldStride, oldSize) || !fits(newOffset, toSize, count, newStride, newSize))
        return false;
    for (unsigned long long i = 0; i < count; ++i)
        convertOne(oldImage + oldOffset + i * oldStride, byteSize, oldType, newImage + newOffset + i * newStride, toSize,
                   newType);
    return true;
}

} // namespace ac
