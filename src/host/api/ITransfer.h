#pragma once

#include "host/api/IService.h"

namespace host {

// Service "orbwork.Transfer": busy while the IDE talks to a controller; symbol
// synchronisation waits meanwhile.
class ITransfer : public IService
{
public:
    static constexpr const char* ServiceName = "orbwork.Transfer";

    virtual bool isBusy() const = 0;
};

} // namespace host
