#pragma once

#include "datamodel/model/DatamodelExport.h"
#include "datamodel/model/Result.h"

#include <QByteArray>
#include <QString>

#include <map>

// A project as text: the files of an export folder, by path relative to the folder ('/'
// separated), with their bytes. The exporter makes it, the importer reads it, the dump and
// the comparison of two projects work on it.
class DATAMODEL_EXPORT ProjectText
{
public:
    using Files = std::map<QString, QByteArray>;

    // Makes `dir` hold exactly `files`: writes what differs, deletes files and folders that
    // are not in `files` (except top-level entries beginning with a dot, such as .git).
    static Result<void> write(const Files& files, const QString& dir);
    // Every file below `dir` (top-level dot entries excepted); refuses folders of more than
    // `maxBytes` in all, so that a wrong folder is not read into memory whole.
    static Result<Files> read(const QString& dir, qint64 maxBytes = qint64(1) << 31);
    // One text stream: per file a line "=== PATH" and its content.
    static QByteArray dump(const Files& files);
    // True when `dir` looks like an export folder (it holds "project.json").
    static bool isExportFolder(const QString& dir);
};
