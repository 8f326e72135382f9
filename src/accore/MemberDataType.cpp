#include "accore/MemberDataType.h"

#include "accore/SymbolDataType.h"
#include "accore/SymbolVariable.h"

namespace ac {

MemberDataType MemberDataType::fromType(const SymbolDataType& type, const SymbolVariable* variable)
{
    MemberDataType out;
    out.typeName = type.typeText();
    out.byteSize = type.byteSize();
    out.basicDataType = type.dataType();
    if (type.isArray()) {
        out.arraryRangeSize = static_cast<int>(type.bounds().size());
        for (size_t i = 0; i < type.bounds().size(); ++i) {
            if (i)
                out.arraryRange += ",";
            out.arraryRange += std::to_string(type.bounds()[i].lower) + ".." + std::to_string(type.bounds()[i].upper);
        }
        if (type.elementType())
            out.child = std::make_shared<MemberDataType>(fromType(*type.elementType()));
    } else if (type.isPointer() && type.refType()) {
        const SymbolDataType* target = type.refType();
        // Pointed-to structures are described by name only: pointers may form cycles.
        MemberDataType child;
        child.typeName = target->typeText();
        child.byteSize = target->byteSize();
        child.basicDataType = target->dataType();
        out.child = std::make_shared<MemberDataType>(child);
    }
    if (variable) {
        out.visitScope = variable->scope();
        out.retain = variable->isRetain();
        out.constant = variable->isConstant();
        out.fixedAddr = variable->fixedAddressText();
        out.bitAddr = variable->isFixedAddress() && variable->fixedAddress().isBit()
            ? static_cast<int>(variable->fixedAddress().bitNumber)
            : 0;
    }
    return out;
}

} // namespace ac
