#pragma once

// A SQLite VFS over the default one that counts the writes, syncs and reads of every file
// SQLite opens (database and journal) and can make the Nth of one kind fail with a chosen
// result code, as a full disk or a failing device would. Installed as the default VFS, so
// that every connection opened afterwards goes through it.
namespace faultvfs {

enum class Operation { Write, Sync, Read };

// Registers the VFS as the default once; true when it is in place.
bool install();

// Counting starts from zero; the `failAt`th operation of `kind` (1-based) fails with `code`
// (SQLITE_IOERR_WRITE, SQLITE_FULL, ...), the ones after it succeed again, as after a
// passing fault. With failAt 0 nothing fails: the counts of a clean run.
void arm(Operation kind, int failAt, int code);
void disarm();
int count(Operation kind);
// How many operations were made to fail since arm().
int failures();

} // namespace faultvfs
