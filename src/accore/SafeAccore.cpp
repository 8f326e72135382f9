#include "accore/SafeAccore.h"

#include "accore/internal/ManagerEntry.h"

namespace ac {

SafeAccore::SafeAccore(const std::string& projectName, bool tryOnly)
{
    // The registry's mutex is held only while the entry is looked up; the wait for the
    // core's access mutex happens after, so that a busy core never blocks the registry.
    std::shared_ptr<AccoreManager::Entry> found = AccoreManager::instance()->entry(projectName);
    if (!found)
        return;
    if (tryOnly) {
        if (!found->access.try_lock())
            return;
    } else {
        found->access.lock();
    }
    m_entry = std::move(found);
    m_core = m_entry->core.get();
}

SafeAccore::~SafeAccore()
{
    if (m_entry)
        m_entry->access.unlock();
}

ACCore* SafeAccore::getAccore() const
{
    return m_core;
}

} // namespace ac
