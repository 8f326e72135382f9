#pragma once

namespace host {

// Base of every service that the host application publishes by name. Users look a service
// up anew on every use and cast it to the interface they need.
class IService
{
public:
    virtual ~IService() = default;
};

} // namespace host
