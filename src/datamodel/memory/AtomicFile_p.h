#pragma once

#include "datamodel/model/Result.h"

#include <QByteArray>
#include <QString>

// Replaces the file at `path` with `bytes` so that a reader sees the old content or the new
// one, never a mix: the bytes go to a temporary file in the same folder, are flushed to the
// disk, and the temporary file is renamed over the old one.
Result<void> writeFileAtomically(const QString& path, const QByteArray& bytes);
