#pragma once

#include "datamodel/model/DatamodelExport.h"

#include <QString>

#include <memory>

class QLockFile;

// The lock file "project.nvlock" of a project folder, held while the project is open for
// editing, so that two programs never write one project. A host takes it before it reads the
// project's file (ProjectModelManager::addProjectModel takes it over); the registry takes one
// itself for a project registered without.
//
// A lock left behind by a process that is gone (killed, crashed) on this host is stale: it is
// taken over, with a log line naming the process. A lock of a live process is refused with a
// message naming the holder's process id, program and host.
class DATAMODEL_EXPORT ProjectLock
{
public:
    // The lock file of the project folder `folder`.
    static QString lockFilePath(const QString& folder);
    // Takes the lock, trying for `timeoutMs`; null with the cause in `error` (the holder of a
    // live lock, or why the lock file cannot be made: a missing or read-only folder).
    static std::unique_ptr<ProjectLock> acquire(const QString& folder, QString* error, int timeoutMs = 100);
    ~ProjectLock(); // gives the lock up
    ProjectLock(const ProjectLock&) = delete;
    ProjectLock& operator=(const ProjectLock&) = delete;

    QString fileName() const;

private:
    explicit ProjectLock(std::unique_ptr<QLockFile> file, QString fileName);

    std::unique_ptr<QLockFile> m_file;
    QString m_fileName;
};
