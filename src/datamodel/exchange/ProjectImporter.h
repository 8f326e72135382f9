#pragma once

#include "datamodel/exchange/ProjectText.h"
#include "datamodel/model/DatamodelExport.h"

#include <QString>

#include <map>
#include <memory>
#include <string>

class AbstractProjectModel;
class ProjectImporterPrivate;

// Builds a project from the text of an export (see ProjectExporter), keeping every id.
//
//   ProjectImporter importer;
//   importer.read(files)           every file is read and checked first; nothing is built
//   model.create(importer.createParams(name, path))
//   importer.apply(model)          the program objects, tasks, project information and the
//                                  hidden lists of the motion objects' variables
//   model.save()
//   importer.writeRows(model)      device tree, library, motion and auxiliary rows, written to
//                                  the file directly
//   (close the model: its device tree and library list are those of `create` until reopened)
class DATAMODEL_EXPORT ProjectImporter
{
public:
    ProjectImporter();
    ~ProjectImporter();

    // False, with error() naming the file and line ("program/Main.prg.st:1: ..."), for the
    // first broken file.
    bool read(const ProjectText::Files& files);
    QString error() const;

    // The parameters of the model's create: `name` (empty: the exported name) and the database
    // file `filePath`; type, program style, controller, author and comments as exported.
    std::map<std::string, std::string> createParams(const QString& name, const QString& filePath) const;
    bool isLibrary() const;

    bool apply(AbstractProjectModel& project);
    bool writeRows(AbstractProjectModel& project);

private:
    std::unique_ptr<ProjectImporterPrivate> d;
};
