#pragma once

#include <string>

namespace host {

// One logger of the host's log service, bound to a category (the library uses "datamodel").
class ILogger
{
public:
    // The two levels the library passes; their meaning belongs to the log service.
    enum LogType { Error = 300, Info = 600 };

    virtual ~ILogger() = default;

    virtual void log(const std::string& module, int type, const std::string& message) = 0;
    // printf-style variant; the library always passes "%s" and one C string.
    virtual void logFormatted(const std::string& module, int type, const char* format, ...) = 0;
};

} // namespace host
