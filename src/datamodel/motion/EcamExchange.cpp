#include "datamodel/motion/EcamExchange_p.h"

#include "datamodel/motion/CsvFieldReader_p.h"

#include <QCoreApplication>
#include <QStringList>
#include <QtEndian>

#include <cstring>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("EcamModel", text);
}

double toDouble(const QString& field)
{
    return field.trimmed().toDouble(); // C locale: "1.5" everywhere, 0 for anything else
}

uint16_t toCurve(const QString& field)
{
    bool ok = false;
    const uint value = field.trimmed().toUInt(&ok);
    return ok && value <= 0xFFFF ? static_cast<uint16_t>(value) : 0;
}

double readDouble(const char* at)
{
    const quint64 bits = qFromLittleEndian<quint64>(at);
    double value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

} // namespace

QString EcamExchange::number(double value)
{
    return QString::number(value, 'g', 6);
}

QByteArray EcamExchange::toCsv(const QVector<EcamData>& points)
{
    QString text = QStringLiteral("Version,1\nCount,%1\n").arg(points.size());
    text += QStringList{tr("Main Axis"), tr("Slave Axis"), tr("Cam Curve"), tr("Velocity"), tr("Acceleration")}.join(
                QLatin1Char(','))
            + QLatin1Char('\n');
    for (const EcamData& point : points)
        text += QStringList{number(point.mainAxis), number(point.slaveAxis), QString::number(point.camCurveType),
                            number(point.velocity), number(point.acceleration)}
                    .join(QLatin1Char(','))
                + QLatin1Char('\n');
    return text.toUtf8();
}

EcamExchange::ImportResult EcamExchange::fromCsv(CsvFieldReader& reader, QVector<EcamData>& points)
{
    constexpr int fieldsPerLine = 5;
    QStringList fields;
    auto head = [&](const char* word) {
        return reader.readLine(fields, fieldsPerLine) && fields.size() >= 2 && fields.size() <= fieldsPerLine
               && fields.first().trimmed().compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
    };
    bool ok = false;
    if (!head("Version") || fields.at(1).trimmed().toInt(&ok) != 1 || !ok)
        return ImportResult::Format;
    if (!head("Count"))
        return ImportResult::Format;
    const int count = fields.at(1).trimmed().toInt(&ok);
    if (!ok || count < 0)
        return ImportResult::Format;
    if (!reader.readLine(fields, fieldsPerLine) || fields.size() > fieldsPerLine)
        return ImportResult::Format;
    QVector<EcamData> read;
    while (read.size() < count && reader.readLine(fields, fieldsPerLine)) {
        if (fields.size() != fieldsPerLine)
            return ImportResult::Format;
        if (read.size() == ImportLimit)
            return ImportResult::TooMany;
        EcamData point;
        point.mainAxis = toDouble(fields.at(0));
        point.slaveAxis = toDouble(fields.at(1));
        point.camCurveType = toCurve(fields.at(2));
        point.velocity = toDouble(fields.at(3));
        point.acceleration = toDouble(fields.at(4));
        read.push_back(point);
    }
    if (read.size() >= ImportLimit)
        return ImportResult::TooMany;
    points = read;
    return ImportResult::Ok;
}

bool EcamExchange::parseCfg(const QByteArray& bytes, Tables& tables, QString* error)
{
    constexpr int nameOffset = 4, nameSize = 128, countOffset = 140, pointsOffset = 154, pointSize = 40;
    if (bytes.size() < HeadSize) {
        *error = QStringLiteral("the file holds %1 bytes, less than its head").arg(bytes.size());
        return false;
    }
    const qint32 tableCount = qFromLittleEndian<qint32>(bytes.constData() + 42);
    if (tableCount < 0 || qint64(tableCount) * RecordSize > bytes.size() - HeadSize) {
        *error = QStringLiteral("the file cannot hold the %1 tables it counts").arg(tableCount);
        return false;
    }
    Tables read;
    for (qint32 t = 0; t < tableCount; ++t) {
        const char* record = bytes.constData() + HeadSize + qint64(t) * RecordSize;
        const char* name = record + nameOffset;
        const void* end = std::memchr(name, '\0', nameSize);
        const qint32 pointCount = qFromLittleEndian<qint32>(record + countOffset);
        if (!end || pointCount < 0 || pointCount > MaxCfgPoints) {
            *error = !end ? QStringLiteral("the name of table %1 does not end").arg(t + 1)
                          : QStringLiteral("table %1 counts %2 points").arg(t + 1).arg(pointCount);
            return false;
        }
        QVector<EcamData> points;
        points.reserve(pointCount);
        for (qint32 p = 0; p < pointCount; ++p) {
            const char* at = record + pointsOffset + p * pointSize;
            EcamData point;
            point.mainAxis = readDouble(at);
            point.slaveAxis = readDouble(at + 8);
            point.velocity = readDouble(at + 16);
            point.acceleration = readDouble(at + 24);
            point.camCurveType = qFromLittleEndian<quint16>(at + 32);
            point.align1 = qFromLittleEndian<quint16>(at + 34);
            point.align2 = qFromLittleEndian<quint16>(at + 36);
            point.align3 = qFromLittleEndian<quint16>(at + 38);
            points.push_back(point);
        }
        // Character by character: the length is known, and no strlen() may run past the record.
        QString tableName;
        for (const char* c = name; c != static_cast<const char*>(end); ++c)
            tableName.append(QLatin1Char(*c));
        read.push_back({tableName, points});
    }
    tables += read;
    return true;
}
