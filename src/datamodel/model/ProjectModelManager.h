#pragma once

#include "datamodel/model/DatamodelExport.h"

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>

class AbstractProjectModel;
class ProjectLock;

// The process-wide registry of open projects by name. It owns the project models, holds each
// project's lock file "project.nvlock", and hands a model to one thread at a time: a taker
// holds the project's recursive access mutex until it gives the model back. A removed model is
// deleted only when its last user has given it back, never under a thread that holds it.
class DATAMODEL_EXPORT ProjectModelManager
{
public:
    enum ErrorInfo {
        Success = 0,
        NameInUse = 1,   // a project of that name is registered already
        LockFailed = 2,  // the lock file is held elsewhere
    };

    static ProjectModelManager* instance();
    ~ProjectModelManager();

    // Takes ownership of `model` on success; on failure the caller keeps it. The project's
    // lock file is taken here (ProjectLock, in the model's filePath()).
    ErrorInfo addProjectModel(const std::string& name, AbstractProjectModel* model);
    // The same with the lock the host took before it opened the project's file; the registry
    // keeps it while the project is registered. On failure the caller keeps both.
    ErrorInfo addProjectModel(const std::string& name, AbstractProjectModel* model,
                              std::unique_ptr<ProjectLock>& lock);
    // Takes the model for the calling thread (waits while another thread holds it, or gives
    // null at once with `tryOnly`). Every non-null result needs one releaseProjectModel.
    AbstractProjectModel* projectModel(const std::string& name, bool tryOnly);
    void releaseProjectModel(const std::string& name);
    // Unregisters the project; the model is deleted now when nobody holds it, otherwise by
    // the last release. Meanwhile the name is not handed out and cannot be registered again.
    void removeProjectModel(const std::string& name);
    // removeProjectModel for every project. Models in use are deleted by their last release.
    void removeAll();
    // Waits until every removed project has been deleted; false when `timeoutMs` passed first.
    bool waitForRemovals(int timeoutMs);

    bool contains(const std::string& name) const;
    unsigned int users(const std::string& name) const;
    // A name for a new project: "Project" followed by the number of registered projects.
    std::string getProjectName() const;

    struct Entry;

private:
    ProjectModelManager() = default;
    using EntryMap = std::map<std::string, std::shared_ptr<Entry>>;
    // With m_mutex held: unregisters the entry when it is pending removal and unused, and
    // hands it back so that the caller destroys it after letting the mutex go.
    std::shared_ptr<Entry> takeIfRemovable(EntryMap::iterator it);
    void destroy(std::shared_ptr<Entry> entry);

    mutable std::mutex m_mutex; // guards the map and the counters, never held while waiting for a project
    std::condition_variable m_removed;
    EntryMap m_entries;
    int m_destroying = 0; // entries taken out of the map whose model is still being deleted
};

// Scoped use of a registered project: takes it on construction and gives it back on
// destruction. Not copyable, so that one take is given back exactly once.
class DATAMODEL_EXPORT SafeProjectModel
{
public:
    explicit SafeProjectModel(const std::string& name, bool tryOnly = false);
    ~SafeProjectModel();
    SafeProjectModel(const SafeProjectModel&) = delete;
    SafeProjectModel& operator=(const SafeProjectModel&) = delete;

    AbstractProjectModel* project() const { return m_project; }

private:
    std::string m_name;
    AbstractProjectModel* m_project = nullptr;
};
