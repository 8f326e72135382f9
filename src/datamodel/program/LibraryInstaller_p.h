#pragma once

#include "datamodel/model/Result.h"

#include <QString>
#include <QStringList>

#include <memory>

class AtomicFile;

// Puts a library file in its place below a project as one step that can be taken back:
// prepare() makes the folders and copies the file under a temporary name beside its target
// (an AtomicFile, flushed to the disk); commit() renames the copy over the target in one step,
// keeping a second name of a target it replaces, so that the target's name always holds a
// whole file, old or new;
// finish() drops what was kept aside. Until finish(), rollback() (or the destructor) takes
// away the copy and the folders that were made, and puts a replaced target back, so that a
// failure later in the operation leaves the project's files as they were.
class LibraryInstaller
{
public:
    // The failure code of every refusal (LibraryModel::FileError). Below `root` (the project
    // folder) no folder or file that the installer makes or replaces may be a link; without a
    // root, the target folder is the first one checked.
    explicit LibraryInstaller(int failureCode, const QString& root = QString());
    ~LibraryInstaller();
    LibraryInstaller(const LibraryInstaller&) = delete;
    LibraryInstaller& operator=(const LibraryInstaller&) = delete;

    // Creates `dir` with the folders above it that are missing and copies `source` to a
    // temporary file in it. A source that is the target already is not copied. `fileName`
    // must be a plain name; the copy is readable and writable by its owner only.
    Result<void> prepare(const QString& source, const QString& dir, const QString& fileName);
    // The path the file has after commit().
    const QString& target() const { return m_target; }
    // The file as it is now: the copy under its temporary name until commit(), else the target.
    const QString& staged() const { return m_partial.isEmpty() ? m_target : m_partial; }
    Result<void> commit();
    void finish();
    void rollback();

private:
    bool makeFolder(const QString& dir);
    Result<void> copy(const QString& source);
    Failure failure(const QString& message, const QString& cause) const { return Failure{m_failureCode, message, cause}; }

    Result<void> refuseLinks(const QString& path) const;

    int m_failureCode;
    QString m_root;
    QString m_target;
    std::unique_ptr<AtomicFile> m_copy; // the copy until commit()
    QString m_partial; // the copy under its temporary name; empty when there is none
    QString m_aside;   // the target that commit() replaced; empty when there was none
    QStringList m_madeFolders;
    bool m_placed = false; // commit() put the copy in place
    bool m_finished = false;
};
