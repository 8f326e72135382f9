#pragma once

#include "datamodel/model/ProjectFiles.h"

#include <QByteArray>
#include <QString>

// Reads a whole description file of at most `limit` bytes: a regular file only (a FIFO or a
// device in the description folder must not block or stream without end), bounded as it is
// read. False with `error` set otherwise.
inline bool readLimited(const QString& path, qint64 limit, QByteArray* data, QString* error)
{
    Result<QByteArray> read = ProjectFiles::readInput(path, limit);
    if (!read) {
        *error = read.errorText().isEmpty() ? read.errorString() : read.errorText();
        return false;
    }
    *data = read.take();
    return true;
}
