// The file project.mem: any bytes are decoded or refused without a crash and without an
// allocation the file's size does not justify (libFuzzer's malloc limit catches one); a
// decoded text goes on to the layout reader, and what the encoder writes decodes unchanged.
// Half of the mutations work on the text inside a decodable file and compress it again, so
// that the reader behind the framing is reached with more than the seeds.
#include "datamodel/memory/LayoutText.h"
#include "datamodel/memory/MemFile.h"
#include "datamodel/memory/SerializeData.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize, unsigned int seed)
{
    Result<std::string> text =
        MemFile::decode(QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<int>(size)));
    if (!text || seed % 2 == 0)
        return LLVMFuzzerMutate(data, size, maxSize);
    std::string plain = text.value();
    const size_t room = plain.size() + 64;
    plain.resize(room);
    plain.resize(LLVMFuzzerMutate(reinterpret_cast<uint8_t*>(&plain[0]), room - 64, room));
    const QByteArray framed = MemFile::encode(plain);
    if (static_cast<size_t>(framed.size()) > maxSize)
        return LLVMFuzzerMutate(data, size, maxSize);
    std::memcpy(data, framed.constData(), static_cast<size_t>(framed.size()));
    return static_cast<size_t>(framed.size());
}

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
