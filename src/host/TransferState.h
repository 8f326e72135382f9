#pragma once

#include "host/api/ITransfer.h"

#include <atomic>

namespace host {

// Service "orbwork.Transfer" of the default host: a flag that a host sets while it talks to a
// controller.
class TransferState : public ITransfer
{
public:
    bool isBusy() const override { return m_busy.load(); }
    void setBusy(bool busy) { m_busy.store(busy); }

private:
    std::atomic<bool> m_busy{false};
};

} // namespace host
