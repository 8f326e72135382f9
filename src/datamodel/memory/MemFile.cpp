#include "datamodel/memory/MemFile.h"

#include "datamodel/memory/LayoutText.h"
#include "datamodel/memory/Md5.h"
#include "datamodel/model/AtomicFile_p.h"

#include <QFile>

#include <zlib.h>

const char* const MemFile::FileName = "project.mem";

namespace {
// zlib inflates at most about 1032 bytes from one input byte.
constexpr unsigned long long kMaxInflateRatio = 1032;
} // namespace

QByteArray MemFile::encode(const std::string& text)
{
    return qCompress(reinterpret_cast<const uchar*>(text.data()), static_cast<int>(text.size()));
}

Result<std::string> MemFile::decode(const QByteArray& bytes)
{
    if (bytes.size() < 4)
        return Failure{Malformed, QStringLiteral("the layout file has %1 bytes, too few for its length").arg(bytes.size()), {}};
    const auto* head = reinterpret_cast<const unsigned char*>(bytes.constData());
    const unsigned long long stated = (static_cast<unsigned long long>(head[0]) << 24) | (head[1] << 16) | (head[2] << 8) | head[3];
    const unsigned long long streamBytes = static_cast<unsigned long long>(bytes.size()) - 4;
    if (stated > LayoutText::MaxTextSize || stated > streamBytes * kMaxInflateRatio)
        return Failure{Malformed,
                       QStringLiteral("the layout file states %1 bytes of text from %2 compressed bytes; refused")
                           .arg(stated)
                           .arg(streamBytes),
                       {}};
    // Qt frames an empty text as its length alone.
    if (stated == 0 && streamBytes == 0)
        return std::string();
    // Inflated into a buffer one byte larger than stated, so that a stream giving more text
    // than its length says shows (with a buffer of exactly the stated size zlib would not tell
    // when that size is 0); a stream that gives more or fewer bytes, or that ends before the
    // file does, is refused.
    std::string text(static_cast<size_t>(stated) + 1, '\0');
    uLongf produced = static_cast<uLongf>(stated) + 1;
    uLong consumed = static_cast<uLong>(streamBytes);
    const int rc = uncompress2(reinterpret_cast<Bytef*>(&text[0]), &produced,
                               reinterpret_cast<const Bytef*>(bytes.constData() + 4), &consumed);
    if (rc != Z_OK || produced != stated || consumed != streamBytes)
        return Failure{Malformed,
                       QStringLiteral("the layout file's stream does not match its length (%1 bytes stated; zlib: %2, "
                                      "%3 of %4 compressed bytes used)")
                           .arg(stated)
                           .arg(rc == Z_OK ? QStringLiteral("complete") : QString::fromLatin1(zError(rc)))
                           .arg(consumed)
                           .arg(streamBytes),
                       {}};
    text.resize(static_cast<size_t>(stated));
    return text;
}

Result<void> MemFile::write(const QString& path, const std::string& text)
{
    QString cause;
    if (!AtomicFile::writeFile(path, encode(text), &cause))
        return Failure{WriteFailed, QStringLiteral("writing %1 failed").arg(path), cause};
    return {};
}

Result<std::string> MemFile::read(const QString& path, const std::string& md5Hex)
{
    QFile file(path);
    if (!file.exists())
        return Failure{NotFound, QStringLiteral("%1 does not exist").arg(path), {}};
    if (!file.open(QIODevice::ReadOnly))
        return Failure{Unreadable, QStringLiteral("%1 cannot be read").arg(path), file.errorString()};
    // A compressed layout is far smaller than its text; a larger file was not written by us.
    if (file.size() > static_cast<qint64>(LayoutText::MaxTextSize))
        return Failure{Malformed, QStringLiteral("%1 has %2 bytes, more than a layout file may have").arg(path).arg(file.size()), {}};
    const QByteArray bytes = file.readAll();
    if (bytes.isEmpty())
        return Failure{Malformed, QStringLiteral("%1 is empty").arg(path), {}};
    Result<std::string> text = decode(bytes);
    if (!text)
        return Failure{text.error(), QStringLiteral("%1: %2").arg(path, text.errorString()), {}};
    if (!md5Hex.empty()) {
        const std::string digest = Md5::getMd5Hex(text->data(), text->size());
        if (digest != md5Hex)
            return Failure{DigestMismatch,
                           QStringLiteral("%1 does not match the digest stored in the project (MD5 %2, expected %3): "
                                          "the file was damaged or edited")
                               .arg(path, QString::fromStdString(digest), QString::fromStdString(md5Hex)),
                           {}};
    }
    return text;
}
