#pragma once

#include "datamodel/model/Result.h"

#include <QString>

#include <string>

// Names, places and versions of library files below a project folder.
namespace LibraryFiles {

// A library name is used as a file and a folder name below the project folder: it must not
// carry a path of its own.
bool isPlainFileName(const QString& name);
// The name without its last extension ("motion.nvl" -> "motion").
QString baseName(const QString& name);
// The folder of a library path ("/Libraries/norvale/sys_include") below the project folder;
// empty when the path would lead outside the project's Libraries folder.
QString libraryFolder(const QString& projectDir, const std::string& path);
// The same, with the reason of a refusal (a "..", a separator, a link that leads out).
Result<QString> checkedLibraryFolder(const QString& projectDir, const std::string& path);
// Whether both name one existing file.
bool sameFile(const QString& a, const QString& b);

// A version folder name: "^\d+(\.\d+)*$".
bool isVersionText(const QString& text);
// Versions compared number by number ("0.10.0.0" above "0.9.0.0"); missing numbers count as
// 0. Negative, 0 or positive as a is below, equal to or above b.
int compareVersions(const QString& a, const QString& b);
// The highest version folder in `dir`; empty when there is none.
QString latestVersion(const QString& dir);

} // namespace LibraryFiles
