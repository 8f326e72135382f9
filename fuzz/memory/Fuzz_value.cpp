// The text of an online write, per type: whatever QStringToBuff accepts stays inside the
// buffer, reads back, and writes the same bytes again. The first input byte picks the type,
// the second the radix, the third the capacity and bit number; the rest is the text.
#include "datamodel/memory/DataConversion.h"

#include "accore/ACCore.h"
#include "accore/SymbolDataType.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

const char* const kTypeTexts[] = {"SINT",  "INT",   "DINT",  "LINT",   "USINT",  "UINT",      "UDINT",
                                  "ULINT", "BOOL",  "REAL",  "LREAL",  "TIME",   "LTIME",     "DATE",
                                  "DT",    "TOD",   "POINTER", "STRING(8)", "WSTRING(8)", "STRING", "E_Mode",
                                  "E_Far", "S_Pair"};

std::vector<ac::SymbolDataType*> makeTypes()
{
    static ac::ACCore core;
    core.parserTypes("TYPE E_Mode : (Off, Auto := 5, Manual := -3); E_Far : DINT (Near := 1, Far := 70000);\n"
                     "S_Pair : STRUCT a : INT; b : BOOL; END_STRUCT; END_TYPE",
                     "Types", 1);
    std::vector<ac::SymbolDataType*> types;
    for (const char* text : kTypeTexts)
        types.push_back(core.parseSpecification(text));
    return types;
}

bool isReal(const ac::SymbolDataType* type)
{
    return type->dataType() == ac::BT_REAL || type->dataType() == ac::BT_LREAL;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::vector<ac::SymbolDataType*> types = makeTypes();
    if (size < 3)
        return 0;
    ac::SymbolDataType* type = types[data[0] % types.size()];
    if (!type)
        std::abort();
    static const unsigned radixes[] = {2, 10, 16, 8};
    const unsigned radix = radixes[data[1] % 4];
    const unsigned capacity = data[2] % 24;
    ac::HeapAddress address;
    if (data[2] & 0x80) {
        address.kind = ac::HeapAddress::Bit;
        address.bitNumber = data[2] % 10; // 8 and 9 must be refused
    }
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data + 3), static_cast<int>(size - 3));

    // Exactly `capacity` bytes on the heap, so that the sanitizer sees any write past them.
    std::unique_ptr<char[]> buffer(new char[capacity ? capacity : 1]);
    unsigned written = capacity;
    if (!DataConversion::QStringToBuff(text, buffer.get(), written, type, address, radix))
        return 0;
    if (written > capacity || radix == 8 || (address.isBit() && address.bitNumber > 7 && type->dataType() == ac::BT_BOOL))
        std::abort();

    QString shown;
    if (!DataConversion::BuffToQString(shown, buffer.get(), written, type, address, radix))
        std::abort();
    if (shown.startsWith(QLatin1String("Value(")))
        std::abort(); // a BOOL write stores only 0 or 1 (or the addressed bit)
    std::unique_ptr<char[]> again(new char[capacity ? capacity : 1]);
    unsigned rewritten = capacity;
    if (!DataConversion::QStringToBuff(shown, again.get(), rewritten, type, address, radix))
        std::abort();
    // Printing rounds REAL and LREAL to 7 and 15 digits; every other value comes back exactly.
    if (!isReal(type) && (rewritten != written || std::memcmp(buffer.get(), again.get(), written) != 0))
        std::abort();
    return 0;
}
