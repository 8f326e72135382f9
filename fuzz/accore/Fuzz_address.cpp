// IEC direct addresses: whatever parses must print back to the same address.
#include "accore/DeviceMemory.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const ac::DeviceMemory unchecked;
    static const ac::DeviceMemory device = [] {
        ac::DeviceMemory m;
        ac::DeviceAreas areas;
        areas.input = 128;
        areas.output = 64;
        areas.memory = 4096;
        m.setAreas(areas);
        return m;
    }();
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (const ac::DeviceMemory* memory : {&unchecked, &device}) {
        for (bool percent : {true, false}) {
            ac::HeapAddress address;
            if (!memory->string2IecAddress(text, &address, percent))
                continue;
            const std::string printed = memory->iecAddress2String(address, true);
            ac::HeapAddress again;
            if (printed.empty() || !memory->string2IecAddress(printed, &again, true) || again.kind != address.kind
                || again.area != address.area || again.byteOffset != address.byteOffset
                || again.bitNumber != address.bitNumber || again.size != address.size)
                std::abort();
        }
    }
    return 0;
}
