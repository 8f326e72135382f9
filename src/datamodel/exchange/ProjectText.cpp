#include "datamodel/exchange/ProjectText.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace {

Failure failure(const QString& message, const QString& cause = QString())
{
    return Failure{1, message, cause};
}

bool isTopLevelDotEntry(const QString& relative)
{
    return relative.startsWith('.');
}

QByteArray contentOf(const QString& path, bool* ok)
{
    QFile file(path);
    *ok = file.open(QIODevice::ReadOnly);
    return *ok ? file.readAll() : QByteArray();
}

// Deletes what is below `dir` and not among `files`; folders that end up empty go too.
void removeStale(const ProjectText::Files& files, const QDir& dir)
{
    QStringList folders;
    QDirIterator it(dir.path(), QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = dir.relativeFilePath(path);
        if (isTopLevelDotEntry(relative.section('/', 0, 0)))
            continue;
        if (it.fileInfo().isDir())
            folders << path;
        else if (!files.count(relative))
            QFile::remove(path);
    }
    // Deepest first, so that a parent is empty when its turn comes.
    std::sort(folders.begin(), folders.end(), [](const QString& a, const QString& b) { return a.size() > b.size(); });
    for (const QString& folder : folders)
        QDir().rmdir(folder); // fails, as it should, while the folder holds anything
}

} // namespace

Result<void> ProjectText::write(const Files& files, const QString& dir)
{
    const QDir root(QFileInfo(dir).absoluteFilePath()); // relative paths below it come out right
    if (!root.exists() && !QDir().mkpath(dir))
        return failure(QStringLiteral("cannot create the folder %1").arg(dir));
    // Stale files are deleted below: only ever in an earlier export, never in a folder of
    // other files given by mistake.
    if (!isExportFolder(root.path()) && !root.entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty())
        return failure(QStringLiteral("%1 is not empty and holds no export (no %2)").arg(dir, QStringLiteral("project.json")));
    removeStale(files, root);
    QString madeFolder;
    for (const auto& [relative, bytes] : files) {
        const QString path = root.filePath(relative);
        bool readable = false;
        if (contentOf(path, &readable) == bytes && readable)
            continue; // unchanged: keep the file and its time
        const QString folder = QFileInfo(path).path();
        if (folder != madeFolder && !QDir().mkpath(folder))
            return failure(QStringLiteral("cannot create the folder of %1").arg(path));
        madeFolder = folder;
        // A plain write, not a synced replacement: the folder is made again from the project
        // whenever needed, and a sync per file would make a large export take minutes.
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
            return failure(QStringLiteral("cannot write %1").arg(path), file.errorString());
    }
    return {};
}

Result<ProjectText::Files> ProjectText::read(const QString& dir, qint64 maxBytes)
{
    const QDir root(QFileInfo(dir).absoluteFilePath());
    if (!root.exists())
        return failure(QStringLiteral("%1 is no folder").arg(dir));
    Files files;
    qint64 total = 0;
    QDirIterator it(root.path(), QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = root.relativeFilePath(path);
        if (isTopLevelDotEntry(relative.section('/', 0, 0)))
            continue;
        total += it.fileInfo().size();
        if (total > maxBytes)
            return failure(QStringLiteral("%1 holds more than %2 bytes").arg(dir, QString::number(maxBytes)));
        bool ok = false;
        files[relative] = contentOf(path, &ok);
        if (!ok)
            return failure(QStringLiteral("cannot read %1").arg(path));
    }
    return files;
}

QByteArray ProjectText::dump(const Files& files)
{
    QByteArray out;
    for (const auto& [relative, bytes] : files) {
        out += "=== " + relative.toUtf8() + '\n';
        if (relative.endsWith(QLatin1String(".graph"))) {
            // Editor data is binary: shown as Base64 lines, so that a changed byte shows as a line.
            const QByteArray base64 = bytes.toBase64();
            for (int at = 0; at < base64.size(); at += 76)
                out += base64.mid(at, 76) + '\n';
            continue;
        }
        out += bytes;
        if (!bytes.isEmpty() && !bytes.endsWith('\n'))
            out += '\n';
    }
    return out;
}

bool ProjectText::isExportFolder(const QString& dir)
{
    return QFileInfo(QDir(dir).filePath(QStringLiteral("project.json"))).isFile();
}
