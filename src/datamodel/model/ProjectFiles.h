#pragma once

#include "datamodel/model/DatamodelExport.h"
#include "datamodel/model/Result.h"

#include <QByteArray>
#include <QString>

// The one way from a stored or typed name to a file below a project, and the rules for the
// files the library writes and reads there. A project folder comes from someone else: a name
// in its database, a library name or a version text may try to climb out of it, and a link
// planted in it may point anywhere the user can write. Failures carry the code
// ProjectFiles::Refused and a message that names the path.
class DATAMODEL_EXPORT ProjectFiles
{
public:
    static constexpr int Refused = 4;

    // `folder` + "/" + `name` for a single name: refuses an empty name, ".", "..", separators,
    // NUL and other control characters, and a result whose canonical path (where it exists)
    // is not below the canonical folder.
    static Result<QString> join(const QString& folder, const QString& name);
    // The same for a relative path of several names separated by "/" ("Libraries/norvale/x");
    // empty names (a leading "/", "//") are skipped.
    static Result<QString> joinPath(const QString& folder, const QString& relativePath);

    // The folder `relativePath` below `root`, made where it is missing, without passing
    // through a link (joinPath and refuseLinks before and after it is made).
    static Result<QString> makeFolder(const QString& root, const QString& relativePath);

    // Refuses when `path`, or any folder between `folder` and it, is a symbolic link: where
    // the library writes, it never follows one. The message names the link.
    static Result<void> refuseLinks(const QString& folder, const QString& path);

    // Refuses when the database file `databaseFile` or one of the side files SQLite writes
    // next to it (NAME-journal, NAME-wal, NAME-shm) is a symbolic link; the message names it.
    static Result<void> refuseDatabaseLinks(const QString& databaseFile);

    // Reads a whole input file of at most `limit` bytes. Only regular files are read (a FIFO,
    // a device or a folder is refused before it could block or stream without end), and the
    // read itself is bounded, so that a file that grows meanwhile cannot exhaust memory.
    // The message is "cannot read PATH", the cause apart ("not a regular file", "N bytes
    // exceed the limit of M bytes"). Resources compiled into the program (":/...") are read
    // from the program.
    static Result<QByteArray> readInput(const QString& path, qint64 limit);

    // Creates `path` as a new file readable and writable by its owner only (whatever the
    // umask), never through a link and never over an existing file, and fills it with
    // `data`. A short write (a full disk) fails and removes the file.
    static Result<void> writeNew(const QString& path, const QByteArray& data);
    // Copies `source` to the new owner-only file `target` in the same way.
    static Result<void> copyNew(const QString& source, const QString& target);
    // Makes an existing file (not a link) readable and writable by its owner only.
    static bool restrictToOwner(const QString& path);
    // True when `path` itself is a symbolic link (also a dangling one).
    static bool isLink(const QString& path);
};
