// The reader of PLCopen TC6 files: any bytes are read or refused with "FILE:LINE: message",
// without a crash; what is read is a project text that the folder reader takes or refuses
// with a message too. The seeds are TC6 files of the tests and of plcproj export --plcopen.
#include "datamodel/exchange/PlcOpenReader.h"
#include "datamodel/exchange/ProjectImporter.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray xml = QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size));
    Result<ProjectText::Files> files = PlcOpenReader::read(xml, QStringLiteral("fuzz.xml"));
    if (!files) {
        if (!files.errorString().startsWith(QLatin1String("fuzz.xml:")))
            std::abort(); // a refusal names the file and the line
        return 0;
    }
    ProjectImporter importer;
    if (!importer.read(files.value()) && importer.error().isEmpty())
        std::abort();
    return 0;
}
