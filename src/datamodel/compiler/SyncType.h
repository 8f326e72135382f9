#pragma once

#include <QMetaType>

#include <cstdint>
#include <string>

// What the symbol synchroniser re-parses for one queued object.
enum SyncType : int32_t {
    SyncPouDeclaration = 0, // a POU's variable declaration
    SyncPouLogic = 1,       // a POU's implementation
    SyncDataType = 2,       // a data type unit
    SyncGlobalVars = 3,     // a global variable list
};

// One queued sync: at most one entry exists for a (type, name).
struct SyncData
{
    SyncType type = SyncPouDeclaration;
    std::string name;
    int attempts = 0; // failed syncs so far; an entry is dropped after a few
};

Q_DECLARE_METATYPE(SyncType)
Q_DECLARE_METATYPE(std::string)
