#pragma once

#include <cstddef>
#include <string>

namespace ac {

// One copy instruction of an online change: `count` values of a member survive by being
// read from the old memory image of the symbol and written into the new one. Value i lies
// at oldOffset + i * oldStride in the old image and goes to newOffset + i * newStride.
//
// A value is converted when its type changed: `oldType` and `newType` are BasicDataType
// codes (0 = raw bytes). Signed integers are sign-extended, unsigned integers and BOOL
// zero-extended, REAL widened to LREAL; strings and raw bytes are copied and the rest of the
// new value cleared. Copies only read the old image, so the new one may be built beside it
// or over it (the memory image never places a member where a value of the same change is
// still to be read).
struct PrjMemCopyMember
{
    std::string symbolName;
    std::string memberName;            // the member's path inside the symbol ("axis.pos", "arr[].x")
    unsigned long long oldOffset = 0;  // byte offset of the first value in the old image
    unsigned long long newOffset = 0;  // byte offset of the first value in the new image
    unsigned long long byteSize = 0;   // bytes of one old value
    unsigned long long newByteSize = 0; // bytes of one new value; 0: as byteSize
    int oldType = 0;
    int newType = 0;
    unsigned long long count = 1;
    unsigned long long oldStride = 0;
    unsigned long long newStride = 0;

    unsigned long long targetSize() const { return newByteSize ? newByteSize : byteSize; }

    // Carries the values from `oldImage` into `newImage`. False, and nothing written, when a
    // value lies outside either image or the conversion is not one of the above.
    bool apply(const unsigned char* oldImage, std::size_t oldSize, unsigned char* newImage, std::size_t newSize) const;
};

} // namespace ac
