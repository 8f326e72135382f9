// Binary cam configuration: any bytes are either refused or give tables that the file can
// hold, each with at most 360 points and a name shorter than its 128-byte field.
#include "datamodel/motion/EcamExchange_p.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    EcamExchange::Tables tables;
    QString error;
    if (!EcamExchange::parseCfg(bytes, tables, &error)) {
        if (error.isEmpty() || !tables.isEmpty())
            std::abort(); // a refusal says why and keeps nothing
        return 0;
    }
    if (qint64(EcamExchange::HeadSize) + qint64(tables.size()) * EcamExchange::RecordSize > qint64(size))
        std::abort();
    for (const auto& table : tables)
        if (table.second.size() > EcamExchange::MaxCfgPoints || table.first.size() >= 128)
            std::abort();
    return 0;
}
