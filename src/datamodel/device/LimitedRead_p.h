#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// Reads a whole file of at most `limit` bytes. The size is checked on the open file and the
// read itself is bounded, so that a file that grows meanwhile (or a device that reports no
// size) cannot make the reader allocate without end. False with `error` set otherwise.
inline bool readLimited(const QString& path, qint64 limit, QByteArray* data, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    if (file.size() <= limit)
        *data = file.read(limit + 1);
    const qint64 size = file.size() > limit ? file.size() : data->size();
    if (size > limit) {
        *error = QStringLiteral("%1 bytes exceed the limit of %2 bytes").arg(size).arg(limit);
        data->clear();
        return false;
    }
    if (file.error() != QFile::NoError) {
        *error = file.errorString();
        return false;
    }
    return true;
}
