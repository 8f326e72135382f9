#pragma once

#include "datamodel/exchange/ProjectText.h"
#include "datamodel/model/DatamodelExport.h"

#include <QString>

#include <vector>

// What differs between two projects as text (see ProjectExporter), object by object: a POU,
// list, type or folder of the program tree is known by its id wherever its file lies, an entry
// of a JSON file (a task, a library, a device node, ...) by its id or name. A file that is
// neither is one object of its own.
class DATAMODEL_EXPORT ProjectDiff
{
public:
    enum Change { Added, Removed, Changed };

    struct Entry
    {
        Change change = Changed;
        QString object; // "program Main", "task Main_task", "device VX7_1616MT"
        QString file;   // where it is written (in the second project for all but removals)
    };

    // Sorted by file, then by object.
    static std::vector<Entry> compare(const ProjectText::Files& a, const ProjectText::Files& b);
    static const char* changeName(Change change);
};
