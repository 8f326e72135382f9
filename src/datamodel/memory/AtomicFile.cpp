#include "datamodel/memory/AtomicFile_p.h"

#include <QSaveFile>

Result<void> writeFileAtomically(const QString& path, const QByteArray& bytes)
{
    // QSaveFile writes beside the target, syncs on commit and renames over the target.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Failure{1, QStringLiteral("cannot write %1").arg(path), file.errorString()};
    if (file.write(bytes) != bytes.size()) {
        const QString cause = file.errorString();
        file.cancelWriting();
        return Failure{1, QStringLiteral("writing %1 failed").arg(path), cause};
    }
    if (!file.commit())
        return Failure{1, QStringLiteral("replacing %1 failed").arg(path), file.errorString()};
    return {};
}
