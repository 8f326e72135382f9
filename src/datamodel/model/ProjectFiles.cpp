#include "datamodel/model/ProjectFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

Failure refused(const QString& message, const QString& cause = QString())
{
    return Failure{ProjectFiles::Refused, message, cause};
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

bool hasControlCharacter(const QString& name)
{
    for (const QChar c : name)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return true;
    return false;
}

// The folder's canonical path where it exists, its clean absolute path otherwise.
QString realFolder(const QString& folder)
{
    const QFileInfo info(folder);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

// An open descriptor that is closed when it goes out of scope.
struct Descriptor
{
    int fd = -1;
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

bool writeAll(int fd, const char* data, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

// Opens `path` as a new owner-only file without following a link.
Result<int> createNew(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return refused(QStringLiteral("cannot create %1").arg(path), systemError());
    // The umask may have taken more than the group and others' bits.
    ::fchmod(fd, S_IRUSR | S_IWUSR);
    return fd;
}

} // namespace

Result<QString> ProjectFiles::join(const QString& folder, const QString& name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") || name.contains(QLatin1Char('/'))
        || name.contains(QLatin1Char('\\')) || hasControlCharacter(name))
        return refused(QStringLiteral("'%1' is no plain file name: it is not used below %2").arg(name, folder));
    const QString base = realFolder(folder);
    const QString path = QDir::cleanPath(folder) + QLatin1Char('/') + name;
    const QString canonical = QFileInfo(path).canonicalFilePath();
    const QString inside = base.endsWith(QLatin1Char('/')) ? base : base + QLatin1Char('/');
    if (!canonical.isEmpty() && !canonical.startsWith(inside))
        return refused(QStringLiteral("%1 leads to %2, outside %3").arg(path, canonical, base));
    return path;
}

Result<QString> ProjectFiles::joinPath(const QString& folder, const QString& relativePath)
{
    QString path = folder;
    for (const QString& name : relativePath.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        Result<QString> next = join(path, name);
        if (!next)
            return next;
        path = next.take();
    }
    return path;
}

Result<QString> ProjectFiles::makeFolder(const QString& root, const QString& relativePath)
{
    Result<QString> folder = joinPath(root, relativePath);
    if (!folder)
        return folder;
    if (Result<void> noLink = refuseLinks(root, folder.value()); !noLink)
        return noLink.failure();
    if (!QDir().mkpath(folder.value()) || !QFileInfo(folder.value()).isDir())
        return refused(QStringLiteral("cannot create the folder %1").arg(folder.value()));
    if (Result<void> noLink = refuseLinks(root, folder.value()); !noLink)
        return noLink.failure();
    return folder;
}

bool ProjectFiles::isLink(const QString& path)
{
    struct stat status;
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 && S_ISLNK(status.st_mode);
}

Result<void> ProjectFiles::refuseLinks(const QString& folder, const QString& path)
{
    const QString top = QDir::cleanPath(folder);
    for (QString at = QDir::cleanPath(path); at.size() > top.size() && at.startsWith(top);
         at = QFileInfo(at).path()) {
        if (isLink(at))
            return refused(QStringLiteral("%1 is a symbolic link: the project does not write through it").arg(at));
    }
    return {};
}

namespace {

// A resource compiled into the program (":/..."): no file on disk, and no one else's.
Result<QByteArray> readResource(const QString& path, qint64 limit)
{
    QFile file(path);
    const QString what = QStringLiteral("cannot read %1").arg(path);
    if (!file.open(QIODevice::ReadOnly))
        return refused(what, file.errorString());
    if (file.size() > limit)
        return refused(what, QStringLiteral("%1 bytes exceed the limit of %2 bytes").arg(file.size()).arg(limit));
    return file.readAll();
}

} // namespace

Result<void> ProjectFiles::refuseDatabaseLinks(const QString& databaseFile)
{
    for (const char* suffix : {"", "-journal", "-wal", "-shm"}) {
        const QString path = databaseFile + QLatin1String(suffix);
        if (isLink(path))
            return refused(QStringLiteral("%1 is a symbolic link: the project file is not opened through it").arg(path));
    }
    return {};
}

Result<QByteArray> ProjectFiles::readInput(const QString& path, qint64 limit)
{
    if (path.startsWith(QLatin1String(":/")))
        return readResource(path, limit);
    // O_NONBLOCK: opening a FIFO without a writer must not wait; the type is checked on the
    // open descriptor, so that the file cannot be swapped between the check and the read.
    Descriptor file;
    file.fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (file.fd < 0)
        return refused(QStringLiteral("cannot read %1").arg(path), systemError());
    struct stat status;
    const QString what = QStringLiteral("cannot read %1").arg(path);
    if (::fstat(file.fd, &status) != 0 || !S_ISREG(status.st_mode))
        return refused(what, QStringLiteral("not a regular file"));
    if (status.st_size > limit)
        return refused(what, QStringLiteral("%1 bytes exceed the limit of %2 bytes").arg(status.st_size).arg(limit));
    QByteArray data;
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(file.fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return refused(what, systemError());
        if (n == 0)
            break;
        if (data.size() + n > limit)
            return refused(what, QStringLiteral("more bytes than the limit of %1").arg(limit));
        data.append(buffer, int(n));
    }
    return data;
}

Result<void> ProjectFiles::writeNew(const QString& path, const QByteArray& data)
{
    Result<int> created = createNew(path);
    if (!created)
        return created.failure();
    Descriptor out;
    out.fd = created.value();
    // An empty file (a database SQLite is about to fill) holds nothing to lose: no sync.
    if (!writeAll(out.fd, data.constData(), data.size()) || (!data.isEmpty() && ::fsync(out.fd) != 0)) {
        const QString cause = systemError();
        ::unlink(QFile::encodeName(path).constData());
        return refused(QStringLiteral("writing %1 failed").arg(path), cause);
    }
    return {};
}

Result<void> ProjectFiles::copyNew(const QString& source, const QString& target)
{
    const QString message = QStringLiteral("copying %1 to %2 failed").arg(source, target);
    Descriptor in;
    in.fd = ::open(QFile::encodeName(source).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat status;
    if (in.fd < 0 || ::fstat(in.fd, &status) != 0)
        return refused(message, systemError());
    if (!S_ISREG(status.st_mode))
        return refused(message, QStringLiteral("%1 is not a regular file").arg(source));
    Result<int> created = createNew(target);
    if (!created)
        return refused(message, created.errorText());
    Descriptor out;
    out.fd = created.value();
    char buffer[64 * 1024];
    qint64 copied = 0;
    for (;;) {
        const ssize_t n = ::read(in.fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0)
            break;
        if (n < 0 || !writeAll(out.fd, buffer, n)) {
            const QString cause = systemError();
            ::unlink(QFile::encodeName(target).constData());
            return refused(message, cause);
        }
        copied += n;
    }
    if (copied != status.st_size) {
        ::unlink(QFile::encodeName(target).constData());
        return refused(message, QStringLiteral("%1 of %2 bytes were written").arg(copied).arg(status.st_size));
    }
    return {};
}

bool ProjectFiles::restrictToOwner(const QString& path)
{
    Descriptor file;
    file.fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    return file.fd >= 0 && ::fchmod(file.fd, S_IRUSR | S_IWUSR) == 0;
}
