#include "datamodel/model/ProjectModelManager.h"

#include "datamodel/model/ProjectFiles.h"

#include "datamodel/model/AbstractProjectModel.h"
#include "datamodel/model/HostServices.h"

#include <QLockFile>
#include <QString>

#include <chrono>
#include <thread>
#include <vector>

struct ProjectModelManager::Entry
{
    std::unique_ptr<AbstractProjectModel> model;
    unsigned int users = 0;
    bool removePending = false;
    std::recursive_mutex access; // held by the thread that uses the model
    std::unique_ptr<QLockFile> lockFile;
    // Takes per thread, so that a release without a take cannot unlock another thread's hold.
    std::map<std::thread::id, unsigned int> holds;
};

namespace {
const char* const module = "ProjectModelManager";
} // namespace

ProjectModelManager* ProjectModelManager::instance()
{
    static ProjectModelManager manager;
    return &manager;
}

ProjectModelManager::~ProjectModelManager()
{
    removeAll();
}

ProjectModelManager::ErrorInfo ProjectModelManager::addProjectModel(const std::string& name,
                                                                    AbstractProjectModel* model)
{
    if (!model)
        return LockFailed;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_entries.count(name))
        return NameInUse;
    auto entry = std::make_shared<Entry>();
    const QString folder = QString::fromStdString(model->filePath());
    const Result<QString> lockPath = ProjectFiles::join(folder, QStringLiteral("project.nvlock"));
    const Result<void> noLink = lockPath ? ProjectFiles::refuseLinks(folder, lockPath.value()) : Result<void>();
    if (!lockPath || !noLink) {
        HostServices::log(module, HostServices::LogInfo,
                          "project '" + name + "' is not opened: "
                              + (lockPath ? noLink.errorString() : lockPath.errorString()).toStdString());
        return LockFailed;
    }
    entry->lockFile = std::make_unique<QLockFile>(lockPath.value());
    if (!entry->lockFile->tryLock(100)) {
        HostServices::log(module, HostServices::LogInfo,
                          "project '" + name + "' is open elsewhere: its lock file "
                              + model->filePath() + "/project.nvlock is held");
        return LockFailed;
    }
    ProjectFiles::restrictToOwner(lockPath.value()); // QLockFile creates it for the umask
    entry->model.reset(model);
    m_entries[name] = std::move(entry);
    return Success;
}

AbstractProjectModel* ProjectModelManager::projectModel(const std::string& name, bool tryOnly)
{
    std::shared_ptr<Entry> entry;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_entries.find(name);
        if (it == m_entries.end() || it->second->removePending)
            return nullptr;
        entry = it->second;
        ++entry->users;
    }
    if (!tryOnly) {
        entry->access.lock();
    } else if (!entry->access.try_lock()) {
        std::shared_ptr<Entry> removable;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            --entry->users;
            auto it = m_entries.find(name);
            if (it != m_entries.end() && it->second == entry)
                removable = takeIfRemovable(it);
        }
        destroy(std::move(removable));
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    ++entry->holds[std::this_thread::get_id()];
    return entry->model.get();
}

void ProjectModelManager::releaseProjectModel(const std::string& name)
{
    std::shared_ptr<Entry> removable;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_entries.find(name);
        if (it == m_entries.end())
            return;
        Entry& entry = *it->second;
        auto hold = entry.holds.find(std::this_thread::get_id());
        if (hold == entry.holds.end()) {
            HostServices::log(module, HostServices::LogError,
                              "release of project '" + name + "' by a thread that does not hold it ignored");
            return;
        }
        if (--hold->second == 0)
            entry.holds.erase(hold);
        --entry.users;
        entry.access.unlock();
        removable = takeIfRemovable(it);
    }
    destroy(std::move(removable));
}

void ProjectModelManager::removeProjectModel(const std::string& name)
{
    std::shared_ptr<Entry> removable;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_entries.find(name);
        if (it == m_entries.end())
            return;
        it->second->removePending = true;
        removable = takeIfRemovable(it);
    }
    destroy(std::move(removable));
}

void ProjectModelManager::removeAll()
{
    std::vector<std::shared_ptr<Entry>> removable;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto it = m_entries.begin(); it != m_entries.end();) {
            auto next = std::next(it);
            it->second->removePending = true;
            if (auto entry = takeIfRemovable(it))
                removable.push_back(std::move(entry));
            it = next;
        }
    }
    for (auto& entry : removable)
        destroy(std::move(entry));
}

bool ProjectModelManager::waitForRemovals(int timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_removed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] {
        if (m_destroying != 0)
            return false;
        for (const auto& entry : m_entries)
            if (entry.second->removePending)
                return false;
        return true;
    });
}

std::shared_ptr<ProjectModelManager::Entry> ProjectModelManager::takeIfRemovable(EntryMap::iterator it)
{
    if (!it->second->removePending || it->second->users != 0)
        return nullptr;
    std::shared_ptr<Entry> entry = std::move(it->second);
    m_entries.erase(it);
    ++m_destroying;
    return entry;
}

void ProjectModelManager::destroy(std::shared_ptr<Entry> entry)
{
    if (!entry)
        return;
    // The model closes its database before the lock is given up, so that no other process
    // opens the file while it is still being written.
    entry->model.reset();
    if (entry->lockFile)
        entry->lockFile->unlock();
    entry.reset();
    std::lock_guard<std::mutex> lock(m_mutex);
    --m_destroying;
    m_removed.notify_all();
}

bool ProjectModelManager::contains(const std::string& name) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_entries.count(name) != 0;
}

unsigned int ProjectModelManager::users(const std::string& name) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_entries.find(name);
    return it == m_entries.end() ? 0 : it->second->users;
}

std::string ProjectModelManager::getProjectName() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return "Project" + std::to_string(m_entries.size());
}

SafeProjectModel::SafeProjectModel(const std::string& name, bool tryOnly)
    : m_name(name), m_project(ProjectModelManager::instance()->projectModel(name, tryOnly))
{
}

SafeProjectModel::~SafeProjectModel()
{
    if (m_project)
        ProjectModelManager::instance()->releaseProjectModel(m_name);
}
