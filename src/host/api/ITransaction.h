#pragma once

namespace host {

// A unit of background work. The worker that accepts it runs run() off the caller's thread
// and deletes the transaction afterwards.
class ITransaction
{
public:
    virtual ~ITransaction() = default;
    virtual void run() = 0;
};

} // namespace host
