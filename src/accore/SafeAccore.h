#pragma once

#include "accore/AccoreManager.h"

#include <memory>
#include <string>

namespace ac {

class ACCore;

// Scoped exclusive use of a project's core: waits for the core's (recursive) access mutex
// on construction and gives it back on destruction. With `tryOnly` true it does not wait:
// a core busy in another thread is not taken and getAccore() is null.
class SafeAccore
{
public:
    explicit SafeAccore(const std::string& projectName, bool tryOnly = false);
    ~SafeAccore();
    SafeAccore(const SafeAccore&) = delete;
    SafeAccore& operator=(const SafeAccore&) = delete;

    ACCore* getAccore() const; // null when no core is registered under the name

private:
    std::shared_ptr<AccoreManager::Entry> m_entry; // keeps a replaced core alive while held
    ACCore* m_core = nullptr;
};

} // namespace ac
