// Soft components and time literals: whatever parses must print back to the same value.
#include "accore/ConstantValue.h"
#include "accore/DeviceMemory.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const ac::DeviceMemory open;
    static const ac::DeviceMemory laidOut = [] {
        ac::DeviceMemory m;
        m.resetJapanLayout({{"X", 256}, {"Y", 256}, {"M", 8192}, {"S", 1024}, {"B", 512}, {"D", 8000},
                            {"R", 32768}, {"W", 512}});
        return m;
    }();
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (const ac::DeviceMemory* memory : {&open, &laidOut}) {
        const ac::JapanComponent c = memory->parseComponent(text);
        if (!c.valid)
            continue;
        const ac::JapanComponent again = memory->parseComponent(memory->componentToString(c));
        if (!again.valid || again.device != c.device || again.index != c.index || again.bit != c.bit)
            std::abort();
    }
    if (auto value = ac::ConstantValue::fromTimeLiteral(text))
        (void)value->basicData().data();
    return 0;
}
