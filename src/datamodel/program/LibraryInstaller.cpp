#include "datamodel/program/LibraryInstaller_p.h"

#include "datamodel/program/LibraryFiles_p.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

LibraryInstaller::LibraryInstaller(int failureCode) : m_failureCode(failureCode) {}

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
    if (dir.isEmpty() || !makeFolder(dir))
        return failure(QStringLiteral("cannot create the folder %1").arg(dir), QString());
    m_target = dir + QLatin1Char('/') + fileName;
    if (LibraryFiles::sameFile(source, m_target))
        return {};
    return copy(source);
}

// Unbuffered, so that a short write (a full disk, a file size limit) shows in the result of
// write() itself; the size is compared once more at the end.
Result<void> LibraryInstaller::copy(const QString& source)
{
    const QString message = QStringLiteral("copying %1 to %2 failed").arg(source, m_target);
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return failure(message, in.errorString());
    m_partial = m_target + QStringLiteral(".part");
    QFile::remove(m_partial); // left by an operation that was interrupted
    QFile out(m_partial);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return failure(message, out.errorString());
    QByteArray buffer(64 * 1024, Qt::Uninitialized);
    while (!in.atEnd()) {
        const qint64 got = in.read(buffer.data(), buffer.size());
        if (got < 0 || out.write(buffer.constData(), got) != got)
            return failure(message, got < 0 ? in.errorString() : out.errorString());
    }
    if (out.size() != in.size())
        return failure(message, QStringLiteral("%1 of %2 bytes were written").arg(out.size()).arg(in.size()));
    out.close();
    return {};
}

Result<void> LibraryInstaller::commit()
{
    if (m_partial.isEmpty())
        return {};
    const QString message = QStringLiteral("putting %1 in place failed").arg(m_target);
    if (QFileInfo::exists(m_target)) {
        // A write-protected copy of an older install must not stop the replacement.
        QFile::setPermissions(m_target, QFile::permissions(m_target) | QFileDevice::ReadOwner | QFileDevice::WriteOwner);
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
