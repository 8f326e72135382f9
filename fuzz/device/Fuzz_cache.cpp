// The description cache: damaged files, compressed or not, are refused with a reason and never
// make the reader allocate more than the data can hold.
#include "datamodel/device/DescriptionCache_p.h"

#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

void check(const QByteArray& data)
{
    DescriptionCache::Contents contents;
    QString error;
    const bool decoded = DescriptionCache::decode(data, &contents, &error);
    if (decoded == !error.isEmpty())
        std::abort(); // a refusal always has a reason, a success none
    if (decoded && DescriptionCache::encode(contents.descriptions, contents.sources).isEmpty())
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool installed = (qInstallMessageHandler(quiet), true); // qUncompress warns on bad data
    (void)installed;
    const QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    check(bytes);              // as a file on disk
    check(qCompress(bytes, 1)); // the stream inside a sound compression
    return 0;
}
