#include "datamodel/model/AtomicFile_p.h"

#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

AtomicFile::AtomicFile(QString target) : m_target(std::move(target)) {}

AtomicFile::~AtomicFile()
{
    cancel();
}

bool AtomicFile::fail(const QString& what, const QString& cause)
{
    m_error = QStringLiteral("%1 %2 failed: %3").arg(what, m_target, cause);
    cancel();
    return false;
}

bool AtomicFile::open()
{
    cancel();
    m_error.clear();
    if (QFileInfo(m_target).isDir())
        return fail(QStringLiteral("writing"), QStringLiteral("a folder has the file's name"));
    // Beside the target, so that the rename stays within one file system and is atomic.
    m_file = std::make_unique<QTemporaryFile>(m_target + QStringLiteral(".XXXXXX.part"));
    m_file->setAutoRemove(false);
    if (!m_file->open())
        return fail(QStringLiteral("writing"), m_file->errorString());
    // A temporary file is private to its owner; the result gets the target's permissions, or
    // those of a new file.
    const QFileInfo existing(m_target);
    m_file->setPermissions(existing.exists() ? existing.permissions()
                                             : QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                   | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    return true;
}

bool AtomicFile::write(const char* data, qint64 size)
{
    if (!m_file)
        return fail(QStringLiteral("writing"), QStringLiteral("the file is not open"));
    if (m_file->write(data, size) != size)
        return fail(QStringLiteral("writing"), m_file->errorString());
    return true;
}

bool AtomicFile::flush()
{
    if (!m_file)
        return fail(QStringLiteral("writing"), QStringLiteral("the file is not open"));
    return m_file->flush() || fail(QStringLiteral("writing"), m_file->errorString());
}

bool AtomicFile::commit()
{
    if (!m_file)
        return fail(QStringLiteral("writing"), QStringLiteral("the file is not open"));
    if (!m_file->flush())
        return fail(QStringLiteral("writing"), m_file->errorString());
    if (::fsync(m_file->handle()) != 0)
        return fail(QStringLiteral("flushing"), systemError());
    const QString temporary = m_file->fileName();
    m_file->close();
    // A write-protected file of the same name is replaced like any other: the folder decides.
    if (::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(m_target).constData()) != 0)
        return fail(QStringLiteral("renaming the new content to"), systemError());
    m_file.reset();
    m_committed = true;
    if (!syncFolder(QFileInfo(m_target).absolutePath())) {
        // The content is in place; only its survival of a power cut is not certain.
        m_error = QStringLiteral("flushing the folder of %1 failed: %2").arg(m_target, systemError());
        return false;
    }
    return true;
}

void AtomicFile::cancel()
{
    if (!m_file)
        return;
    const QString temporary = m_file->fileName();
    m_file->close();
    QFile::remove(temporary);
    m_file.reset();
}

QString AtomicFile::temporaryPath() const
{
    return m_file ? m_file->fileName() : QString();
}

bool AtomicFile::writeFile(const QString& target, const QByteArray& data, QString* error)
{
    AtomicFile file(target);
    if (file.open() && file.write(data) && file.commit())
        return true;
    if (error)
        *error = file.errorString();
    return false;
}

bool AtomicFile::syncFolder(const QString& folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}
