#pragma once

#include "host/api/IService.h"

#include <string>

namespace host {

class ILogger;

// Service "LogManager".
class ILogManager : public IService
{
public:
    static constexpr const char* ServiceName = "LogManager";

    // The logger of a category, or null; null means that nothing is logged.
    virtual ILogger* logger(const std::string& category) = 0;
};

} // namespace host
