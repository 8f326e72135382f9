#pragma once

#include <QString>
#include <QStringList>

namespace plcproj {

// The standard libraries that come with the tool ("sys_include.nvl", "motion_control.nvl").
class StandardLibraries
{
public:
    // Where they lie: beside the tool, in the build tree as after installation.
    static QString folder();
    // Copies them into "Libraries/norvale/<base>/<version>/" of a new project, where the
    // project's default library rows look for them; the installed paths go to `installed`.
    static bool install(const QString& projectFolder, QStringList& installed, QString* error);
};

} // namespace plcproj
