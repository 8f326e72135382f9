#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace ac {

class ACCore;

// The process-wide registry of compiler cores by project name. Thread-safe. A core is used
// by one thread at a time through SafeAccore; a replaced or removed core is deleted once
// the last SafeAccore that holds it is gone.
class AccoreManager
{
public:
    static AccoreManager* instance();

    // Takes ownership. A core under a name that has one replaces it (the old one is
    // deleted once nobody holds it). A null core is refused.
    bool addAccore(const std::string& projectName, ACCore* core);
    void removeAccore(const std::string& projectName);
    bool hasAccore(const std::string& projectName) const;
    void removeAll();

    struct Entry; // a core and its access mutex

private:
    friend class SafeAccore;
    AccoreManager() = default;
    std::shared_ptr<Entry> entry(const std::string& projectName) const;

    mutable std::mutex m_mutex; // guards the map only, never held while waiting for a core
    std::map<std::string, std::shared_ptr<Entry>> m_cores;
};

} // namespace ac
