#include "datamodel/motion/InputFile_p.h"

#include "datamodel/device/LimitedRead_p.h"

#include <QFileInfo>

namespace motion {

bool readInputFile(const QString& path, qint64 limit, QByteArray* data, QString* error)
{
    const QFileInfo info(path);
    // A FIFO or a device would block or never end; a folder cannot be read.
    if (!info.exists() || !info.isFile()) {
        *error = QStringLiteral("%1 is not a regular file").arg(path);
        return false;
    }
    return readLimited(path, limit, data, error);
}

} // namespace motion
