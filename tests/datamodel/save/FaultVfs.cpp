#include "FaultVfs.h"

#include <sqlite3.h>

#include <atomic>
#include <cstring>

namespace faultvfs {

namespace {

struct State
{
    std::atomic<bool> armed{false};
    Operation kind = Operation::Write;
    int failAt = 0;
    int code = SQLITE_IOERR;
    std::atomic<int> counts[3] = {{0}, {0}, {0}};
    std::atomic<int> failed{0};
};

State& state()
{
    static State s;
    return s;
}

sqlite3_vfs* realVfs = nullptr;
sqlite3_vfs faultVfs;
sqlite3_io_methods faultMethods;

// The file SQLite sees: our methods, followed by the real VFS's file.
struct FaultFile
{
    sqlite3_file base;
    sqlite3_file* real;
};

sqlite3_file* realOf(sqlite3_file* file)
{
    return reinterpret_cast<FaultFile*>(file)->real;
}

// Counts one operation; the code to fail it with, or SQLITE_OK.
int tick(Operation kind)
{
    State& s = state();
    if (!s.armed)
        return SQLITE_OK;
    const int n = ++s.counts[static_cast<int>(kind)];
    if (s.failAt > 0 && kind == s.kind && n == s.failAt) {
        ++s.failed;
        return s.code;
    }
    return SQLITE_OK;
}

int xClose(sqlite3_file* file)
{
    sqlite3_file* real = realOf(file);
    const int rc = real->pMethods ? real->pMethods->xClose(real) : SQLITE_OK;
    return rc;
}

int xRead(sqlite3_file* file, void* buffer, int amount, sqlite3_int64 offset)
{
    if (const int rc = tick(Operation::Read))
        return rc == SQLITE_FULL ? SQLITE_IOERR_READ : rc;
    sqlite3_file* real = realOf(file);
    return real->pMethods->xRead(real, buffer, amount, offset);
}

int xWrite(sqlite3_file* file, const void* data, int amount, sqlite3_int64 offset)
{
    if (const int rc = tick(Operation::Write))
        return rc;
    sqlite3_file* real = realOf(file);
    return real->pMethods->xWrite(real, data, amount, offset);
}

int xTruncate(sqlite3_file* file, sqlite3_int64 size)
{
    sqlite3_file* real = realOf(file);
    return real->pMethods->xTruncate(real, size);
}

int xSync(sqlite3_file* file, int flags)
{
    if (const int rc = tick(Operation::Sync))
        return rc == SQLITE_FULL ? SQLITE_IOERR_FSYNC : rc;
    sqlite3_file* real = realOf(file);
    return real->pMethods->xSync(real, flags);
}

int xFileSize(sqlite3_file* file, sqlite3_int64* size)
{
    sqlite3_file* real = realOf(file);
    return real->pMethods->xFileSize(real, size);
}

int xLock(sqlite3_file* file, int level)
{
    sqlite3_file* real = realOf(file);
    return real->pMethods->xLock(real, level);
}

int xUnlock(sqlite3_file* file, int level)
{
    sqlite3_file* real = realOf(file);
    return real->pMethods->xUnlock(real, level);
}

int xCheckReservedLock(sqlite3_file* file, int* out)
{
    sqlite3_file* real = realOf(file);
    return real->pMethods->xCheckReservedLock(real, out);
}

int xFileControl(sqlite3_file* file, int op, void* arg)
{
    sqlite3_file* real = realOf(file);
    return real->pMethods->xFileControl(real, op, arg);
}

int xSectorSize(sqlite3_file* file)
{
    sqlite3_file* real = realOf(file);
    return real->pMethods->xSectorSize(real);
}

int xDeviceCharacteristics(sqlite3_file* file)
{
    sqlite3_file* real = realOf(file);
    return real->pMethods->xDeviceCharacteristics(real);
}

int xOpen(sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* outFlags)
{
    auto* fault = reinterpret_cast<FaultFile*>(file);
    fault->real = reinterpret_cast<sqlite3_file*>(fault + 1);
    const int rc = realVfs->xOpen(realVfs, name, fault->real, flags, outFlags);
    // Without real methods SQLite calls no method of ours, xClose included.
    fault->base.pMethods = fault->real->pMethods ? &faultMethods : nullptr;
    return rc;
}

int xDelete(sqlite3_vfs*, const char* name, int syncDir)
{
    return realVfs->xDelete(realVfs, name, syncDir);
}

int xAccess(sqlite3_vfs*, const char* name, int flags, int* out)
{
    return realVfs->xAccess(realVfs, name, flags, out);
}

int xFullPathname(sqlite3_vfs*, const char* name, int size, char* out)
{
    return realVfs->xFullPathname(realVfs, name, size, out);
}

void* xDlOpen(sqlite3_vfs*, const char* name) { return realVfs->xDlOpen(realVfs, name); }
void xDlError(sqlite3_vfs*, int size, char* out) { realVfs->xDlError(realVfs, size, out); }
void (*xDlSym(sqlite3_vfs*, void* handle, const char* symbol))(void) { return realVfs->xDlSym(realVfs, handle, symbol); }
void xDlClose(sqlite3_vfs*, void* handle) { realVfs->xDlClose(realVfs, handle); }
int xRandomness(sqlite3_vfs*, int size, char* out) { return realVfs->xRandomness(realVfs, size, out); }
int xSleep(sqlite3_vfs*, int micros) { return realVfs->xSleep(realVfs, micros); }
int xCurrentTime(sqlite3_vfs*, double* out) { return realVfs->xCurrentTime(realVfs, out); }
int xGetLastError(sqlite3_vfs*, int size, char* out) { return realVfs->xGetLastError(realVfs, size, out); }

} // namespace

bool install()
{
    static const bool installed = [] {
        realVfs = sqlite3_vfs_find(nullptr);
        if (!realVfs)
            return false;
        // Version 1 of the file methods: no shared memory and no memory mapping, so that every
        // page goes through xRead and xWrite.
        std::memset(&faultMethods, 0, sizeof faultMethods);
        faultMethods.iVersion = 1;
        faultMethods.xClose = xClose;
        faultMethods.xRead = xRead;
        faultMethods.xWrite = xWrite;
        faultMethods.xTruncate = xTruncate;
        faultMethods.xSync = xSync;
        faultMethods.xFileSize = xFileSize;
        faultMethods.xLock = xLock;
        faultMethods.xUnlock = xUnlock;
        faultMethods.xCheckReservedLock = xCheckReservedLock;
        faultMethods.xFileControl = xFileControl;
        faultMethods.xSectorSize = xSectorSize;
        faultMethods.xDeviceCharacteristics = xDeviceCharacteristics;

        std::memset(&faultVfs, 0, sizeof faultVfs);
        faultVfs.iVersion = 1;
        faultVfs.szOsFile = static_cast<int>(sizeof(FaultFile)) + realVfs->szOsFile;
        faultVfs.mxPathname = realVfs->mxPathname;
        faultVfs.zName = "faultvfs";
        faultVfs.xOpen = xOpen;
        faultVfs.xDelete = xDelete;
        faultVfs.xAccess = xAccess;
        faultVfs.xFullPathname = xFullPathname;
        faultVfs.xDlOpen = xDlOpen;
        faultVfs.xDlError = xDlError;
        faultVfs.xDlSym = xDlSym;
        faultVfs.xDlClose = xDlClose;
        faultVfs.xRandomness = xRandomness;
        faultVfs.xSleep = xSleep;
        faultVfs.xCurrentTime = xCurrentTime;
        faultVfs.xGetLastError = xGetLastError;
        return sqlite3_vfs_register(&faultVfs, 1) == SQLITE_OK;
    }();
    return installed;
}

void arm(Operation kind, int failAt, int code)
{
    State& s = state();
    s.armed = false;
    for (auto& c : s.counts)
        c = 0;
    s.failed = 0;
    s.kind = kind;
    s.failAt = failAt;
    s.code = code;
    s.armed = true;
}

void disarm()
{
    state().armed = false;
}

int count(Operation kind)
{
    return state().counts[static_cast<int>(kind)];
}

int failures()
{
    return state().failed;
}

} // namespace faultvfs
