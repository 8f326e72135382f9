#pragma once

#include "accore/ACMessage.h"

#include <string>
#include <vector>

namespace plcproj {

// Runs the symbol synchroniser's sync step on a registered project for every data type, global
// variable list, POU declaration and POU logic, in this order, and gathers the messages that
// the compiler core left in the model objects.
class ProjectCheck
{
public:
    static std::vector<ac::ACMessage> run(const std::string& projectName);
    static bool hasErrors(const std::vector<ac::ACMessage>& messages);
};

} // namespace plcproj
