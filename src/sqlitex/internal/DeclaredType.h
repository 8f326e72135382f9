#pragma once

#include <QVariant>

namespace sqlitex {

// The Qt type of a column from its declared SQL type, by SQLite's own affinity rules
// ("INT" anywhere: integer; "CHAR", "CLOB", "TEXT": text; "BLOB": bytes; "REAL", "FLOA",
// "DOUB": double). Columns without a declaration (expressions) and others read as text.
QVariant::Type variantTypeOf(const char* declaredType);

} // namespace sqlitex
