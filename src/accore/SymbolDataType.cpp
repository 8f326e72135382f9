#include "accore/SymbolDataType.h"

#include "accore/InitValueTree.h"
#include "accore/SymbolEnumType.h"
#include "accore/SymbolSubrangeType.h"
#include "accore/SymbolVariable.h"

#include <limits>
#include <utility>

namespace ac {

namespace {
unsigned long long saturatingMul(unsigned long long a, unsigned long long b)
{
    if (a != 0 && b > ~0ull / a)
        return ~0ull;
    return a * b;
}
} // namespace

SymbolDataType::SymbolDataType(std::string name, int basicType)
    : SymbolDataType(std::move(name), basicType, ST_DATATYPE)
{
}

SymbolDataType::SymbolDataType(std::string name, int basicType, int symbolType)
    : VarContainer(std::move(name), symbolType), m_basicType(basicType)
{
    if (basicType == BT_STRING || basicType == BT_WSTRING)
        m_stringLength = 80;
}

SymbolDataType::~SymbolDataType() = default;

std::shared_ptr<SymbolDataType> SymbolDataType::makeString(int basicType, unsigned long long length)
{
    const char* base = basicType == BT_WSTRING ? "WSTRING" : "STRING";
    auto type = std::make_shared<SymbolDataType>(std::string(base) + "(" + std::to_string(length) + ")",
                                                 basicType == BT_WSTRING ? BT_WSTRING : BT_STRING);
    type->m_stringLength = length;
    return type;
}

std::shared_ptr<SymbolDataType> SymbolDataType::makeArray(std::vector<Bound> bounds,
                                                          std::shared_ptr<SymbolDataType> element)
{
    std::string name = "ARRAY[";
    for (size_t i = 0; i < bounds.size(); ++i) {
        if (i)
            name += ", ";
        name += std::to_string(bounds[i].lower) + ".." + std::to_string(bounds[i].upper);
    }
    name += "] OF " + (element ? element->typeText() : std::string("?"));
    auto type = std::make_shared<SymbolDataType>(std::move(name), BT_ARRAY);
    type->m_bounds = std::move(bounds);
    type->m_element = std::move(element);
    return type;
}

std::shared_ptr<SymbolDataType> SymbolDataType::makePointer(const std::shared_ptr<SymbolDataType>& target)
{
    auto type = std::make_shared<SymbolDataType>("POINTER TO " + (target ? target->typeText() : std::string("?")),
                                                 BT_POINTER);
    type->m_target = target;
    return type;
}

std::shared_ptr<SymbolDataType> SymbolDataType::makeStruct(std::string name)
{
    return std::make_shared<SymbolDataType>(std::move(name), BT_STRUCT);
}

void SymbolDataType::copyShapeFrom(const SymbolDataType& from)
{
    m_stringLength = from.m_stringLength;
    m_bounds = from.m_bounds;
    m_element = from.m_element;
    m_target = from.m_target;
}

std::shared_ptr<SymbolDataType> SymbolDataType::makeNamed(std::string name, const SymbolDataType& target)
{
    if (const auto* e = dynamic_cast<const SymbolEnumType*>(&target)) {
        auto copy = std::make_shared<SymbolEnumType>(std::move(name), e->baseType());
        for (const auto& value : e->enumerators())
            copy->addEnumerator(value.first, value.second);
        return copy;
    }
    if (const auto* r = dynamic_cast<const SymbolSubrangeType*>(&target))
        return std::make_shared<SymbolSubrangeType>(std::move(name), r->dataType(), r->low(), r->high());
    if (target.isFunctionBlock())
        return nullptr;
    if (target.isStruct()) {
        auto copy = makeStruct(std::move(name));
        copy->setTypeResolver(target.typeResolver());
        for (const auto& member : target) {
            auto variable = std::make_unique<SymbolVariable>(member->name(), member->sharedType(), member->scope());
            variable->setRetain(member->isRetain());
            variable->setConstant(member->isConstant());
            variable->setLocation(member->location());
            variable->setPragma(member->pragma());
            variable->setComment(member->comment());
            if (member->initValue())
                variable->setInitValue(member->initValue()->clone());
            copy->addParam(std::move(variable), -1);
        }
        return copy;
    }
    auto copy = std::make_shared<SymbolDataType>(std::move(name), target.dataType());
    copy->copyShapeFrom(target);
    return copy;
}

bool SymbolDataType::isInteger() const
{
    return (m_basicType >= BT_SINT && m_basicType <= BT_ULINT);
}

bool SymbolDataType::isSigned() const
{
    return (m_basicType >= BT_SINT && m_basicType <= BT_LINT) || m_basicType == BT_ENUM;
}

unsigned long long SymbolDataType::elementaryByteSize(int basicType)
{
    switch (basicType) {
    case BT_SINT: case BT_USINT: case BT_BOOL: return 1;
    case BT_INT: case BT_UINT: case BT_ENUM: return 2;
    case BT_DINT: case BT_UDINT: case BT_REAL: case BT_TIME: case BT_DATE: case BT_DATE_AND_TIME:
    case BT_TIME_OF_DAY: case BT_POINTER: return 4;
    case BT_LINT: case BT_ULINT: case BT_LREAL: case BT_LTIME: return 8;
    default: return 0;
    }
}

const char* SymbolDataType::basicTypeName(int basicType)
{
    static const char* const names[] = {"NONE", "SINT", "INT", "DINT", "LINT", "USINT", "UINT", "UDINT",
                                        "ULINT", "BOOL", "REAL", "LREAL", "TIME", "LTIME", "DATE",
                                        "DATE_AND_TIME", "TIME_OF_DAY", "POINTER", "STRING", "WSTRING",
                                        "ENUM", "ARRAY", "STRUCT", "FB"};
    if (basicType < 0 || basicType > BT_FB_INSTANCE)
        return "NONE";
    return names[basicType];
}

unsigned long long SymbolDataType::elementCount() const
{
    unsigned long long count = 1;
    for (const Bound& b : m_bounds)
        count = saturatingMul(count, b.count());
    return count;
}

unsigned long long SymbolDataType::byteSize() const
{
    switch (m_basicType) {
    case BT_STRING: return m_stringLength + 1;
    case BT_WSTRING: return saturatingMul(m_stringLength + 1, 2);
    case BT_ARRAY: return m_element ? saturatingMul(elementCount(), m_element->byteSize()) : 0;
    case BT_STRUCT:
    case BT_FB_INSTANCE: return layoutSize();
    default: return elementaryByteSize(m_basicType);
    }
}

unsigned SymbolDataType::alignment() const
{
    switch (m_basicType) {
    case BT_STRING: return 1;
    case BT_WSTRING: return 2;
    case BT_ARRAY: return m_element ? m_element->alignment() : 1;
    case BT_STRUCT:
    case BT_FB_INSTANCE: return layoutAlignment();
    default: {
        const unsigned long long size = elementaryByteSize(m_basicType);
        return size == 0 ? 1u : static_cast<unsigned>(size);
    }
    }
}

unsigned long long SymbolDataType::memBitSize(bool valueBits) const
{
    if (valueBits && m_basicType == BT_BOOL)
        return 1;
    return saturatingMul(byteSize(), 8);
}

bool SymbolDataType::integerRange(long long& low, unsigned long long& high) const
{
    switch (m_basicType) {
    case BT_SINT: low = -128; high = 127; return true;
    case BT_INT: case BT_ENUM: low = -32768; high = 32767; return true;
    case BT_DINT: low = std::numeric_limits<int>::min(); high = std::numeric_limits<int>::max(); return true;
    case BT_LINT: low = std::numeric_limits<long long>::min(); high = std::numeric_limits<long long>::max(); return true;
    case BT_USINT: low = 0; high = 0xFF; return true;
    case BT_UINT: low = 0; high = 0xFFFF; return true;
    case BT_UDINT: low = 0; high = 0xFFFFFFFFull; return true;
    case BT_ULINT: low = 0; high = ~0ull; return true;
    default: return false;
    }
}

std::string SymbolDataType::typeText() const
{
    return name();
}

} // namespace ac
