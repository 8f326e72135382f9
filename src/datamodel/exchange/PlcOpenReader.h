#pragma once

#include "datamodel/exchange/ProjectText.h"
#include "datamodel/model/DatamodelExport.h"
#include "datamodel/model/Result.h"

#include <QByteArray>
#include <QString>

// Reads a PLCopen TC6 XML file (version 2.01) as the text of a project (see ProjectText), to
// be built by ProjectImporter. A file that PlcOpenWriter wrote gives back the export it came
// from; objects that another tool changed or added take their declaration from the TC6
// content; a file of another tool becomes a project of its POUs (graphic bodies kept as their
// XML in the POU's editor data), data types, global lists and tasks.
//
// The file is data from someone else: a DTD (and so any entity) is refused, the size and the
// nesting depth are bounded, names must be identifiers, and every refusal reads
// "FILE:LINE: message".
class DATAMODEL_EXPORT PlcOpenReader
{
public:
    struct Limits
    {
        qint64 maxBytes = qint64(64) << 20;
        int maxDepth = 64;
    };
    static Result<ProjectText::Files> read(const QByteArray& xml, const QString& fileName, const Limits& limits);
    static Result<ProjectText::Files> read(const QByteArray& xml, const QString& fileName)
    {
        return read(xml, fileName, Limits());
    }
};
