// The file project.mem: any bytes are decoded or refused without a crash and without an
// allocation the file's size does not justify (libFuzzer's malloc limit catches one); a
// decoded text goes on to the layout reader, and what the encoder writes decodes unchanged.
#include "datamodel/memory/LayoutText.h"
#include "datamodel/memory/MemFile.h"
#include "datamodel/memory/SerializeData.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<int>(size));
    Result<std::string> text = MemFile::decode(bytes);
    if (!text)
        return 0;
    if (text.value().size() > LayoutText::MaxTextSize)
        std::abort();
    SerializeData read;
    LayoutText::read(text.value(), read);
    Result<std::string> back = MemFile::decode(MemFile::encode(text.value()));
    if (!back || back.value() != text.value())
        std::abort();
    return 0;
}
