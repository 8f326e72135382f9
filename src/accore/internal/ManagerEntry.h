#pragma once

#include "accore/ACCore.h"
#include "accore/AccoreManager.h"

#include <memory>
#include <mutex>

namespace ac {

// A registered core and the mutex that gives one thread at a time access to it. Shared
// between the registry and the SafeAccore objects that hold it, so that a core replaced or
// removed while in use lives until its last holder lets it go.
struct AccoreManager::Entry
{
    std::unique_ptr<ACCore> core;
    std::recursive_mutex access;
};

} // namespace ac
