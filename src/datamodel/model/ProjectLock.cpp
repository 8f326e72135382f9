#include "datamodel/model/ProjectLock.h"

#include "datamodel/model/HostServices.h"
#include "datamodel/model/ProjectFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QSysInfo>
#include <QLockFile>

#include <cerrno>
#include <csignal>

namespace {

const char* const module = "ProjectLock";

void log(const QString& text)
{
    HostServices::log(module, HostServices::LogInfo, text.toStdString());
}

// Whether a process of this id runs on this machine. EPERM: it runs under another user.
bool processRuns(qint64 pid)
{
    return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

// The holder of a lock file as a reader would name it, or empty when the file names none.
QString holderOf(const QLockFile& lock)
{
    qint64 pid = 0;
    QString host, program;
    if (!lock.getLockInfo(&pid, &host, &program))
        return {};
    return QStringLiteral("process %1 (%2) on host %3")
        .arg(pid)
        .arg(program.isEmpty() ? QStringLiteral("unknown program") : program,
             host.isEmpty() ? QStringLiteral("unknown") : host);
}

// A lock whose process is gone on this host, or whose file names no process at all (a lock
// file cut short by a crash while it was written).
bool isStale(const QLockFile& lock, const QString& fileName, QString* holder)
{
    if (!QFileInfo::exists(fileName))
        return false;
    qint64 pid = 0;
    QString host, program;
    if (!lock.getLockInfo(&pid, &host, &program)) {
        *holder = QStringLiteral("an unreadable lock record");
        return QFileInfo(fileName).isFile();
    }
    *holder = holderOf(lock);
    return (host.isEmpty() || host == QSysInfo::machineHostName()) && !processRuns(pid);
}

} // namespace

QString ProjectLock::lockFilePath(const QString& folder)
{
    return folder + QStringLiteral("/project.nvlock");
}

std::unique_ptr<ProjectLock> ProjectLock::acquire(const QString& folder, QString* error, int timeoutMs)
{
    const QString fileName = lockFilePath(folder);
    const QFileInfo dir(folder);
    auto refuse = [&](const QString& why) {
        if (error)
            *error = why;
        log(why);
        return nullptr;
    };
    if (!dir.isDir())
        return refuse(QStringLiteral("cannot lock %1: the project folder does not exist").arg(folder));

    // A lock file planted as a link would make the lock write wherever it points.
    if (const Result<void> noLink = ProjectFiles::refuseLinks(folder, fileName); !noLink)
        return refuse(QStringLiteral("cannot lock %1: %2").arg(folder, noLink.errorString()));

    auto lock = std::make_unique<QLockFile>(fileName);
    // Only a lock whose process is gone is stale: Qt's default also takes over any lock
    // older than 30 seconds, however alive its holder.
    lock->setStaleLockTime(0);
    QString holder;
    if (isStale(*lock, fileName, &holder)) {
        log(QStringLiteral("taking over the stale lock %1 of %2: that process is gone").arg(fileName, holder));
        lock->removeStaleLockFile();
    }
    if (lock->tryLock(timeoutMs)) {
        ProjectFiles::restrictToOwner(fileName); // QLockFile creates it for the umask
        return std::unique_ptr<ProjectLock>(new ProjectLock(std::move(lock), fileName));
    }

    switch (lock->error()) {
    case QLockFile::LockFailedError: {
        const QString who = holderOf(*lock);
        return refuse(QStringLiteral("%1 is open in another program: its lock %2 is held by %3")
                          .arg(folder, fileName, who.isEmpty() ? QStringLiteral("another process") : who));
    }
    case QLockFile::PermissionError:
        return refuse(QStringLiteral("cannot lock %1: the folder is not writable, so the lock file %2 cannot be made")
                          .arg(folder, fileName));
    default:
        return refuse(QStringLiteral("cannot lock %1: the lock file %2 cannot be made or read").arg(folder, fileName));
    }
}

ProjectLock::ProjectLock(std::unique_ptr<QLockFile> file, QString fileName)
    : m_file(std::move(file)), m_fileName(std::move(fileName))
{
}

ProjectLock::~ProjectLock()
{
    m_file->unlock();
}

QString ProjectLock::fileName() const
{
    return m_fileName;
}
