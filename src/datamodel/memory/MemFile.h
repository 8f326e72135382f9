#pragma once

#include "datamodel/model/DatamodelExport.h"
#include "datamodel/model/Result.h"

#include <QByteArray>
#include <QString>

#include <string>

// The file project.mem: the layout text compressed in the framing of qCompress (a 4-byte
// big-endian length of the text, then the zlib stream), stamped in the project information
// with the MD5 of the text so that a damaged or edited file is refused before an online
// change copies memory by it.
class DATAMODEL_EXPORT MemFile
{
public:
    static const char* const FileName; // "project.mem"

    static QByteArray encode(const std::string& text);
    // The text of a file's bytes. Refused: fewer than 4 bytes, a length above
    // LayoutText::MaxTextSize or above what zlib can inflate from the bytes at hand (so a
    // damaged length never makes the reader allocate it), a stream that is not zlib or that
    // inflates to another length than the one stated.
    static Result<std::string> decode(const QByteArray& bytes);

    // Writes `text` to `path` through a temporary file in the same folder that replaces the
    // old file only once it is complete, so that a crash leaves the old layout or the new one.
    static Result<void> write(const QString& path, const std::string& text);
    // Reads and decodes `path`; when `md5Hex` is given the text must have that digest.
    static Result<std::string> read(const QString& path, const std::string& md5Hex);

    enum Error { NotFound = 1, Unreadable, Malformed, DigestMismatch, WriteFailed };
};
