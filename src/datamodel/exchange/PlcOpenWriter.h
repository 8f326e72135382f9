#pragma once

#include "datamodel/exchange/ProjectText.h"
#include "datamodel/model/DatamodelExport.h"

#include <QByteArray>

namespace ac {
class ACCore;
}

// Writes a project as one PLCopen TC6 XML file (version 2.01): data types, POUs with their
// interfaces and ST bodies, the global variable lists and the tasks of one configuration and
// resource. The declarations come from the compiler core's parse of each object's text.
// What TC6 has no place for (ids, folders, original texts, editor data, devices, libraries,
// motion objects) goes into addData elements of our own namespace, so that PlcOpenReader
// gives back the very export it came from; other tools skip them. A graphic body that was
// imported from another tool's file is written back as it came. The same project gives the
// same bytes.
class DATAMODEL_EXPORT PlcOpenWriter
{
public:
    // `files` is the project's text (ProjectExporter). `core` knows the names the project's
    // libraries declare; every object of `files` is parsed into it under `fileId`.
    static QByteArray write(const ProjectText::Files& files, ac::ACCore& core, int fileId);
};
