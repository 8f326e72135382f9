#pragma once

namespace ac {

// A place in the controller's memory, as an IEC direct address (%IX0.7, %QW2, %MD10) gives
// it. `kind` is the access size: 0 bit, 1 byte, 2 word, 3 double word, 4 long word.
struct HeapAddress
{
    enum Kind { Bit = 0, Byte = 1, Word = 2, DWord = 3, LWord = 4, Invalid = -1 };
    enum Area { Input = 'I', Output = 'Q', Memory = 'M' };

    int kind = Invalid;
    char area = 0;                   // 'I', 'Q' or 'M'
    unsigned long long byteOffset = 0; // first byte of the value inside the area
    unsigned bitNumber = 0;          // bit inside the byte, for kind 0
    unsigned size = 0;               // value width in bits: 1, 8, 16, 32 or 64

    bool isValid() const { return kind != Invalid; }
    bool isBit() const { return kind == Bit; }
};

} // namespace ac
