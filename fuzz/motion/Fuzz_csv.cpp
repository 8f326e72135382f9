// Cam CSV text: the field reader ends on any input, never yields more text than it was given,
// and the import either refuses the text or returns fewer points than the limit, which export
// and import again reproduce exactly in number.
#include "datamodel/motion/CsvFieldReader_p.h"
#include "datamodel/motion/EcamExchange_p.h"

#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char*>(data), int(size));
    {
        CsvFieldReader reader(text);
        QString field;
        bool endOfLine = false;
        qint64 chars = 0, fields = 0;
        while (reader.readField(field, endOfLine)) {
            chars += field.size();
            if (++fields > qint64(size) + 1 || chars > qint64(size))
                std::abort(); // a field per separator at most, no text out of nothing
        }
    }
    CsvFieldReader reader(text);
    QVector<EcamData> points;
    const EcamExchange::ImportResult result = EcamExchange::fromCsv(reader, points);
    if (result != EcamExchange::ImportResult::Ok)
        return 0;
    if (points.size() >= EcamExchange::ImportLimit)
        std::abort();
    CsvFieldReader again(EcamExchange::toCsv(points));
    QVector<EcamData> reread;
    if (EcamExchange::fromCsv(again, reread) != EcamExchange::ImportResult::Ok || reread.size() != points.size())
        std::abort();
    for (int i = 0; i < points.size(); ++i)
        if (reread[i].camCurveType != points[i].camCurveType)
            std::abort();
    return 0;
}
