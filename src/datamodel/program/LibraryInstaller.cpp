#include "datamodel/program/LibraryInstaller_p.h"

#include "datamodel/model/AtomicFile_p.h"
#include "datamodel/model/ProjectFiles.h"
#include "datamodel/program/LibraryFiles_p.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <unistd.h>

LibraryInstaller::LibraryInstaller(int failureCode, const QString& root) : m_failureCode(failureCode), m_root(root) {}

Result<void> LibraryInstaller::refuseLinks(const QString& path) const
{
    const QString top = m_root.isEmpty() ? QFileInfo(QFileInfo(path).path()).path() : m_root;
    const Result<void> noLink = ProjectFiles::refuseLinks(top, path);
    if (!noLink)
        return failure(noLink.errorString(), QString());
    return {};
}

LibraryInstaller::~LibraryInstaller()
{
    if (!m_finished)
        rollback();
}

bool LibraryInstaller::makeFolder(const QString& dir)
{
    QStringList missing;
    for (QString path = dir; !path.isEmpty() && !QFileInfo::exists(path); path = QFileInfo(path).path()) {
        missing.prepend(path);
        if (QFileInfo(path).path() == path)
            break;
    }
    if (!QDir().mkpath(dir) || !QFileInfo(dir).isDir())
        return false;
    m_madeFolders += missing;
    return true;
}

Result<void> LibraryInstaller::prepare(const QString& source, const QString& dir, const QString& fileName)
{
    if (dir.isEmpty())
        return failure(QStringLiteral("no folder for %1").arg(fileName), QString());
    const Result<QString> target = ProjectFiles::join(dir, fileName);
    if (!target)
        return failure(target.errorString(), QString());
    // Links are refused before a folder is made through one, and again after.
    for (const QString& path : {dir, target.value()})
        if (const Result<void> noLink = refuseLinks(path); !noLink)
            return noLink;
    if (!makeFolder(dir))
        return failure(QStringLiteral("cannot create the folder %1").arg(dir), QString());
    if (const Result<void> noLink = refuseLinks(target.value()); !noLink)
        return noLink;
    m_target = target.value();
    if (LibraryFiles::sameFile(source, m_target))
        return {};
    return copy(source);
}

// A short write (a full disk, a file size limit) shows in the result of each write; the size
// is compared once more at the end.
Result<void> LibraryInstaller::copy(const QString& source)
{
    const QString message = QStringLiteral("copying %1 to %2 failed").arg(source, m_target);
    // A FIFO or a device would block the copy or never end.
    if (!QFileInfo(source).isFile())
        return failure(message, QStringLiteral("it is not a regular file"));
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return failure(message, in.errorString());
    m_copy = std::make_unique<AtomicFile>(m_target);
    if (!m_copy->open())
        return failure(message, m_copy->errorString());
    m_partial = m_copy->temporaryPath();
    QByteArray buffer(64 * 1024, Qt::Uninitialized);
    qint64 written = 0;
    while (!in.atEnd()) {
        const qint64 got = in.read(buffer.data(), buffer.size());
        if (got < 0 || !m_copy->write(buffer.constData(), got))
            return failure(message, got < 0 ? in.errorString() : m_copy->errorString());
        written += got;
    }
    if (written != in.size())
        return failure(message, QStringLiteral("%1 of %2 bytes were written").arg(written).arg(in.size()));
    if (!m_copy->flush()) // the copy is read by its path before it is put in place
        return failure(message, m_copy->errorString());
    return {};
}

Result<void> LibraryInstaller::commit()
{
    if (!m_copy)
        return {};
    const QString message = QStringLiteral("putting %1 in place failed").arg(m_target);
    if (const Result<void> noLink = refuseLinks(m_target); !noLink)
        return noLink;
    if (QFileInfo::exists(m_target)) {
        // A write-protected copy of an older install must not stop the replacement.
        ProjectFiles::restrictToOwner(m_target);
        m_aside = m_target + QStringLiteral(".old");
        QFile::remove(m_aside);
        if (::link(QFile::encodeName(m_target).constData(), QFile::encodeName(m_aside).constData()) != 0
            && !QFile::copy(m_target, m_aside)) {
            m_aside.clear();
            return failure(message, QStringLiteral("the file in its place cannot be kept aside"));
        }
    }
    // A failed flush of the folder alone leaves the copy in place: it is kept.
    if (!m_copy->commit() && !m_copy->isCommitted())
        return failure(message, m_copy->errorString());
    m_copy.reset();
    m_partial.clear();
    m_placed = true;
    return {};
}

void LibraryInstaller::finish()
{
    if (!m_aside.isEmpty())
        QFile::remove(m_aside);
    m_aside.clear();
    m_finished = true;
}

void LibraryInstaller::rollback()
{
    m_copy.reset(); // removes the copy that was not put in place
    m_partial.clear();
    // Only a copy this installer put in place goes; a target it never replaced stays.
    if (m_placed && m_aside.isEmpty())
        QFile::remove(m_target);
    m_placed = false;
    if (!m_aside.isEmpty())
        ::rename(QFile::encodeName(m_aside).constData(), QFile::encodeName(m_target).constData());
    m_aside.clear();
    // Folders made here go again, innermost first; one that is not empty stays.
    for (auto it = m_madeFolders.crbegin(); it != m_madeFolders.crend(); ++it)
        QDir().rmdir(*it);
    m_madeFolders.clear();
    m_finished = true;
}
