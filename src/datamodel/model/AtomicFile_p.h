#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

class QTemporaryFile;

// Writes a file so that its name holds either the old content or the whole new one, whatever
// happens meanwhile (a crash, a kill, a full disk, a power cut): the data goes to a temporary
// file in the same folder, is flushed to the disk, and is renamed over the target; the folder
// is flushed as well, so that the rename survives a power cut too. Never a truncated file
// under the real name. Every file a project writes besides its database goes through here.
//
//     AtomicFile file(path);
//     if (!file.open() || !file.write(data) || !file.commit())
//         log(file.errorString());
//
// Without commit() the destructor removes the temporary file and the target stays as it was.
class AtomicFile
{
public:
    explicit AtomicFile(QString target);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file beside the target.
    bool open();
    // Appends; false on a short write (a full disk, a size limit).
    bool write(const char* data, qint64 size);
    bool write(const QByteArray& data) { return write(data.constData(), data.size()); }
    // Hands what was written to the system, so that the temporary file can be read by its
    // path before commit().
    bool flush();
    // Flushes the temporary file to the disk and renames it over the target. False also when
    // only the folder's flush failed; isCommitted() then tells that the new content is in place.
    bool commit();
    bool isCommitted() const { return m_committed; }
    // Removes the temporary file; the target stays as it was.
    void cancel();

    const QString& target() const { return m_target; }
    // The temporary file while it is open; empty before open() and after commit() or cancel().
    QString temporaryPath() const;
    // What failed, naming the file and the cause.
    QString errorString() const { return m_error; }

    // The whole step for data at hand.
    static bool writeFile(const QString& target, const QByteArray& data, QString* error);
    // Flushes a folder's entries (a rename, a new or removed file) to the disk.
    static bool syncFolder(const QString& folder);

private:
    bool fail(const QString& what, const QString& cause);

    QString m_target;
    std::unique_ptr<QTemporaryFile> m_file;
    QString m_error;
    bool m_committed = false;
};
