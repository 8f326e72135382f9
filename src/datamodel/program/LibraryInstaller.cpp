#include "datamodel/program/LibraryInstaller_p.h"

#include "datamodel/model/ProjectFiles.h"
#include "datamodel/program/LibraryFiles_p.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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

Result<void> LibraryInstaller::copy(const QString& source)
{
    m_partial = m_target + QStringLiteral(".part");
    QFile::remove(m_partial); // left by an operation that was interrupted (a link goes, not its target)
    const Result<void> copied = ProjectFiles::copyNew(source, m_partial);
    if (!copied)
        return failure(copied.errorString(), copied.errorText());
    return {};
}

Result<void> LibraryInstaller::commit()
{
    if (m_partial.isEmpty())
        return {};
    const QString message = QStringLiteral("putting %1 in place failed").arg(m_target);
    if (const Result<void> noLink = refuseLinks(m_target); !noLink)
        return noLink;
    if (QFileInfo::exists(m_target)) {
        // A write-protected copy of an older install must not stop the replacement.
        ProjectFiles::restrictToOwner(m_target);
        m_aside = m_target + QStringLiteral(".old");
        QFile::remove(m_aside);
        if (!QFile::rename(m_target, m_aside)) {
            m_aside.clear();
            return failure(message, QStringLiteral("the file in its place cannot be moved aside"));
        }
    }
    if (!QFile::rename(m_partial, m_target))
        return failure(message, QStringLiteral("the copy cannot be renamed"));
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
    if (!m_partial.isEmpty())
        QFile::remove(m_partial);
    m_partial.clear();
    // Only a copy this installer put in place goes; a target it never replaced stays.
    if (m_placed)
        QFile::remove(m_target);
    m_placed = false;
    if (!m_aside.isEmpty())
        QFile::rename(m_aside, m_target);
    m_aside.clear();
    // Folders made here go again, innermost first; one that is not empty stays.
    for (auto it = m_madeFolders.crbegin(); it != m_madeFolders.crend(); ++it)
        QDir().rmdir(*it);
    m_madeFolders.clear();
    m_finished = true;
}
