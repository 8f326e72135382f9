#pragma once

#include <QtGlobal>

// Marks the classes and functions that leave libdatamodel.so. Everything else stays inside
// the library once it is built with hidden visibility.
#if defined(DATAMODEL_LIBRARY)
#define DATAMODEL_EXPORT Q_DECL_EXPORT
#else
#define DATAMODEL_EXPORT Q_DECL_IMPORT
#endif
