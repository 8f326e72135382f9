#pragma once

#include <QtCore/qglobal.h>

// Symbols of libqsqlitex: exported while the library itself is built, imported by its users.
#if defined(QSQLITEX_LIBRARY)
#define SQLITEX_EXPORT Q_DECL_EXPORT
#else
#define SQLITEX_EXPORT Q_DECL_IMPORT
#endif
