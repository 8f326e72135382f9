// The layout text reader: any text is read or refused without a crash. What it accepts is
// written back canonically (reading that again gives the same text), and comparing it with
// itself or with nothing gives a layout the reader accepts again.
#include "datamodel/memory/LayoutText.h"
#include "datamodel/memory/OnlineChange.h"
#include "datamodel/memory/SerializeData.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    SerializeData read;
    if (!LayoutText::read(text, read))
        return 0;
    const std::string written = LayoutText::write(read);
    SerializeData again;
    if (!LayoutText::read(written, again) || LayoutText::write(again) != written)
        std::abort();
    for (const OnlineChange& change : {OnlineChange(read, read), OnlineChange(SerializeData(), read)}) {
        SerializeData layout;
        if (!LayoutText::read(LayoutText::write(change.layout()), layout))
            std::abort();
    }
    return 0;
}
