#pragma once

#include "accore/ACMessage.h"

#include <QString>

#include <functional>
#include <string>
#include <vector>

namespace plcproj {

// Runs the symbol synchroniser's sync step on a registered project for every data type, global
// variable list, POU declaration and POU logic, in this order, and gathers the messages that
// the compiler core left in the model objects. One pass of the synchroniser (no pacing, the
// core's cache cleared once): the cost grows with the size of the project, not its square.
class ProjectCheck
{
public:
    // Told the step, the items done in it and its total, after every item.
    using Progress = std::function<void(const QString& step, int done, int total)>;

    static std::vector<ac::ACMessage> run(const std::string& projectName, const Progress& progress = {});
    static bool hasErrors(const std::vector<ac::ACMessage>& messages);
};

} // namespace plcproj
