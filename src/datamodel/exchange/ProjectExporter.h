#pragma once

#include "datamodel/exchange/ProjectText.h"
#include "datamodel/model/DatamodelExport.h"

class AbstractProjectModel;

// Writes an open project as text files (see ProjectText): the program tree under "program/"
// (folders as folders, NAME.prg.st / .fb.st / .fc.st with declaration, separator line and
// logic text, NAME.gvl.st, NAME.type.st, editor data as NAME.<kind>.graph, and per folder an
// "index.json" with ids, names and properties), "project.json", "tasks.json",
// "libraries.json" and "devices.json", and the motion objects and auxiliary tables under
// "motion/" and "auxiliary/" (see MotionAuxWriter). JSON has sorted keys and one member per line; every
// file ends with a line feed; the same project gives the same bytes.
class DATAMODEL_EXPORT ProjectExporter
{
public:
    struct Options
    {
        // Off (the default): leave out what changes with every edit but is no content
        // (modification times, "VarDeclModifiedTime", "ProgramModifiedTime", "CfgModifiedTime",
        // "Compile"), so that a one-line edit shows as one changed line. The import of such a
        // text sets them anew. On: keep them, for a copy whose rows equal the original's.
        bool changeStamps = false;
    };
    static ProjectText::Files exportProject(const AbstractProjectModel& project, const Options& options);
    static ProjectText::Files exportProject(const AbstractProjectModel& project) { return exportProject(project, {}); }
};
