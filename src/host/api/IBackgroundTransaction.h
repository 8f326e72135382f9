#pragma once

#include "host/api/IService.h"

namespace host {

class ITransaction;

// Service "BackgroundTransaction.name": runs transactions on the host's worker thread.
class IBackgroundTransaction : public IService
{
public:
    static constexpr const char* ServiceName = "BackgroundTransaction.name";

    // Takes ownership of `transaction`; runs it later on the worker and deletes it.
    virtual void addTransaction(ITransaction* transaction, bool flag) = 0;
};

} // namespace host
