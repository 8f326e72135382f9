// The reader of export folders: any set of files is read or refused with a message naming a
// file, without a crash. The input is one text in the form of plcproj dump ("=== PATH" lines
// before each file), so that the seeds are dumps of real projects. Names of files are decoded
// too, since an index names them.
#include "datamodel/exchange/ExchangeNames.h"
#include "datamodel/exchange/ProjectImporter.h"
#include "datamodel/exchange/ProjectText.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray text = QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size));
    ProjectText::Files files;
    QString current;
    for (const QByteArray& line : text.split('\n')) {
        if (line.startsWith("=== ")) {
            current = QString::fromUtf8(line.mid(4));
            files[current];
            // The stem that names the file decodes to a name whose encoding decodes to it again.
            QString name, again;
            if (ExchangeNames::decode(current.section('/', -1).section('.', 0, 0), name)
                && (!ExchangeNames::decode(ExchangeNames::encode(name), again) || again != name))
                std::abort();
        } else if (!current.isNull()) {
            files[current] += line + '\n';
        }
    }
    ProjectImporter importer;
    if (!importer.read(files) && importer.error().isEmpty())
        std::abort(); // a refusal always says why
    return 0;
}
