#include "sqlitex/internal/DeclaredType.h"

#include <QByteArray>

namespace sqlitex {

QVariant::Type variantTypeOf(const char* declaredType)
{
    const QByteArray type = QByteArray(declaredType).toUpper();
    if (type.contains("INT"))
        return QVariant::LongLong;
    if (type.contains("CHAR") || type.contains("CLOB") || type.contains("TEXT"))
        return QVariant::String;
    if (type.contains("BLOB"))
        return QVariant::ByteArray;
    if (type.contains("REAL") || type.contains("FLOA") || type.contains("DOUB"))
        return QVariant::Double;
    if (type.contains("BOOL"))
        return QVariant::Bool;
    return QVariant::String;
}

} // namespace sqlitex
