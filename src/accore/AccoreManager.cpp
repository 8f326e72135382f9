#include "accore/AccoreManager.h"

#include "accore/ACCore.h"
#include "accore/internal/ManagerEntry.h"

namespace ac {

AccoreManager* AccoreManager::instance()
{
    static AccoreManager manager; // thread-safe initialisation
    return &manager;
}

bool AccoreManager::addAccore(const std::string& projectName, ACCore* core)
{
    if (!core)
        return false;
    auto fresh = std::make_shared<Entry>();
    fresh->core.reset(core);
    std::shared_ptr<Entry> old;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_cores.find(projectName);
        if (it != m_cores.end()) {
            if (it->second->core.get() == core) {
                // The same core registered twice: keep the one owner it has.
                fresh->core.release();
                return true;
            }
            old = std::move(it->second);
        }
        m_cores[projectName] = std::move(fresh);
    }
    // `old` goes out of scope here, outside the manager's mutex: its core is deleted now
    // unless a SafeAccore still holds it, in which case the last holder deletes it.
    return true;
}

void AccoreManager::removeAccore(const std::string& projectName)
{
    std::shared_ptr<Entry> old;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_cores.find(projectName);
        if (it == m_cores.end())
            return;
        old = std::move(it->second);
        m_cores.erase(it);
    }
}

bool AccoreManager::hasAccore(const std::string& projectName) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_cores.count(projectName) != 0;
}

void AccoreManager::removeAll()
{
    std::map<std::string, std::shared_ptr<Entry>> old;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        old.swap(m_cores);
    }
}

std::shared_ptr<AccoreManager::Entry> AccoreManager::entry(const std::string& projectName) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_cores.find(projectName);
    return it == m_cores.end() ? nullptr : it->second;
}

} // namespace ac
