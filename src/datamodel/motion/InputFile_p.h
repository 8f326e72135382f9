#pragma once

#include <QByteArray>
#include <QString>

namespace motion {

// Reads a whole file chosen by a user (a cam CSV or a binary cam configuration): a regular
// file of at most `limit` bytes, read with a bounded read. False with `error` set otherwise.
bool readInputFile(const QString& path, qint64 limit, QByteArray* data, QString* error);

} // namespace motion
