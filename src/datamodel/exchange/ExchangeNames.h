#pragma once

#include "datamodel/model/DatamodelExport.h"

#include <QString>
#include <QStringList>

// File names of exported objects. An object's name becomes a file-name stem that every common
// file system keeps as written: characters a file system refuses or treats specially (slash,
// back slash, colon, quotes, *, ?, <, >, |, control characters, a trailing blank), the dot
// (so that the kind suffix of a file is never ambiguous) and the escape character itself are
// written as %XX of their UTF-8 bytes; reserved device names (CON, NUL, COM1, ...) get their
// first letter escaped; the empty name is "%". The encoding is reversible.
class DATAMODEL_EXPORT ExchangeNames
{
public:
    // `escapeCase` also escapes every capital letter, which keeps names apart that differ only
    // in letter case on a file system that ignores case.
    static QString encode(const QString& name, bool escapeCase = false);
    // False for a stem that no name encodes to (a broken escape).
    static bool decode(const QString& stem, QString& name);
    // The stems of names that share one directory, in the same order: distinct even when case
    // is ignored. Names that collide so get the case-escaped form, all of them.
    static QStringList stems(const QStringList& names);
};
