#pragma once

#include "datamodel/motion/EcamData.h"

#include <QByteArray>
#include <QPair>
#include <QString>
#include <QVector>

class CsvFieldReader;

// The file formats of cam key points, apart from the dialogs that choose the files: the CSV
// text a user exchanges with spreadsheets, and the controller's binary cam configuration.
class EcamExchange
{
public:
    // A CSV import holds fewer key points than this.
    static constexpr int ImportLimit = 360;

    // "Version,1", "Count,N", the headings, then one line per point: main, slave, curve type,
    // velocity, acceleration; numbers as "%g" writes them, whatever the user's locale.
    static QByteArray toCsv(const QVector<EcamData>& points);
    static QString number(double value);

    enum class ImportResult { Ok, Format, TooMany };
    // Reads what toCsv writes. Lines may have at most five fields; a point line needs all
    // five; fields that are no numbers read as 0. Reading stops after the stated count or at
    // the end of the text; TooMany once ImportLimit points were read.
    static ImportResult fromCsv(CsvFieldReader& reader, QVector<EcamData>& points);

    // The binary cam configuration: a 46-byte head whose last four bytes count the tables,
    // then one 14554-byte record per table (name, point count, 360 point slots).
    static constexpr int HeadSize = 46;
    static constexpr int RecordSize = 14554;
    static constexpr int MaxCfgPoints = 360;
    static constexpr qint64 MaxCfgFileSize = HeadSize + qint64(RecordSize) * 4096;
    using Tables = QVector<QPair<QString, QVector<EcamData>>>;
    // False, with `error` naming the fault and `tables` untouched, for a file shorter than its
    // head or its tables, a negative table count, a point count outside 0 to 360, or a name
    // without its terminating NUL.
    static bool parseCfg(const QByteArray& bytes, Tables& tables, QString* error);
};
