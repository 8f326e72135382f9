#pragma once

#include "accore/BasicDataType.h"
#include "accore/VarContainer.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace ac {

// A data type. Elementary types, strings, arrays, pointers, structures, enumerations and
// function block instance types are all SymbolDataType; structures and function blocks
// hold their members as a VarContainer.
//
// Memory layout rule (what sizes and offsets mean everywhere in the core):
// - every elementary type is aligned to its own size, up to 8 bytes; BOOL takes one byte;
// - STRING(n) takes n + 1 bytes (UTF-8 and a terminator), alignment 1; WSTRING(n) takes
//   2 * (n + 1) bytes, alignment 2; the default length is 80;
// - POINTER is 4 bytes (32-bit controller addresses); an enumeration is a signed 16-bit
//   value (2 bytes) unless it names another integer base type;
// - an array is its element repeated without gaps, aligned like its element;
// - structures and function block instances place their members in declaration order,
//   each at the next offset that is a multiple of its alignment, and are padded to a
//   multiple of their largest member alignment; an empty one still takes one byte;
// - no type may exceed maxByteSize() bytes.
class SymbolDataType : public VarContainer, public std::enable_shared_from_this<SymbolDataType>
{
public:
    struct Bound
    {
        long long lower = 0;
        long long upper = 0;
        unsigned long long count() const { return static_cast<unsigned long long>(upper - lower) + 1; }
    };

    // An elementary type of the given code (name as given, e.g. "WORD" for code 6).
    SymbolDataType(std::string name, int basicType);
    ~SymbolDataType() override;

    static std::shared_ptr<SymbolDataType> makeString(int basicType, unsigned long long length);
    static std::shared_ptr<SymbolDataType> makeArray(std::vector<Bound> bounds,
                                                     std::shared_ptr<SymbolDataType> element);
    static std::shared_ptr<SymbolDataType> makePointer(const std::shared_ptr<SymbolDataType>& target);
    static std::shared_ptr<SymbolDataType> makeStruct(std::string name);
    // A named data type with the value set and layout of `target` ("TYPE Flag : BOOL;",
    // "TYPE Buf : ARRAY[0..7] OF BYTE;"): a copy under the new name, so that the target
    // itself is never changed. Null for a function block or program.
    static std::shared_ptr<SymbolDataType> makeNamed(std::string name, const SymbolDataType& target);

    int dataType() const { return m_basicType; } // BasicDataType code

    bool isElementary() const { return m_basicType >= BT_SINT && m_basicType <= BT_WSTRING; }
    bool isInteger() const;
    bool isSigned() const;
    bool isReal() const { return m_basicType == BT_REAL || m_basicType == BT_LREAL; }
    bool isString() const { return m_basicType == BT_STRING || m_basicType == BT_WSTRING; }
    bool isArray() const { return m_basicType == BT_ARRAY; }
    bool isPointer() const { return m_basicType == BT_POINTER; }
    bool isStruct() const { return m_basicType == BT_STRUCT; }
    bool isEnum() const { return m_basicType == BT_ENUM; }
    bool isFunctionBlock() const { return m_basicType == BT_FB_INSTANCE; }

    virtual unsigned long long byteSize() const;
    virtual unsigned alignment() const;
    unsigned long long memBitSize(bool valueBits = false) const override;

    // STRING(n) / WSTRING(n): n characters.
    unsigned long long stringLength() const { return m_stringLength; }

    // Arrays: element type and the bounds of every dimension.
    SymbolDataType* elementType() const { return m_element.get(); }
    const std::shared_ptr<SymbolDataType>& sharedElementType() const { return m_element; }
    const std::vector<Bound>& bounds() const { return m_bounds; }
    unsigned long long elementCount() const;

    // Pointers: the type pointed to. Null once that type was dropped by the core (a
    // pointer does not keep its target alive, so that types may point at each other).
    SymbolDataType* refType() const { return m_target.lock().get(); }
    void setRefType(const std::shared_ptr<SymbolDataType>& target) { m_target = target; }

    // The text that names this type in a declaration ("INT", "STRING(20)",
    // "ARRAY[1..10] OF REAL", "POINTER TO Motor").
    std::string typeText() const;

    // Inclusive value range of an integer type (enumerations: signed 16-bit).
    virtual bool integerRange(long long& low, unsigned long long& high) const;

    static unsigned long long maxByteSize() { return 1ull << 32; }
    static unsigned long long elementaryByteSize(int basicType);
    static const char* basicTypeName(int basicType);

protected:
    SymbolDataType(std::string name, int basicType, int symbolType);
    // Copies what a derived type needs of `from` (string length, bounds, element, target).
    void copyShapeFrom(const SymbolDataType& from);

private:
    int m_basicType;
    unsigned long long m_stringLength = 0;
    std::vector<Bound> m_bounds;
    std::shared_ptr<SymbolDataType> m_element;
    std::weak_ptr<SymbolDataType> m_target;
};

} // namespace ac
