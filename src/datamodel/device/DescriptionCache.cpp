#include "datamodel/device/DescriptionCache_p.h"

#include "datamodel/device/LimitedRead_p.h"
#include "datamodel/model/AtomicFile_p.h"

#include <QDataStream>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

namespace {

const char* const sourcesTag = "DeviceDescribe.sources.1";

// zlib cannot expand data by more than about 1:1032; a length header that claims more than
// this is a lie, and believing it would make qUncompress allocate that much.
constexpr qint64 maxExpansion = 1100;

// Reads what QDataStream (big-endian, Qt 5 format) wrote, straight from the bytes: every
// length is checked against the bytes left before anything is allocated.
class BoundedReader
{
public:
    explicit BoundedReader(const QByteArray& data)
        : m_data(reinterpret_cast<const uchar*>(data.constData())), m_size(data.size())
    {
    }

    bool map(QVariantMap* into, int depth)
    {
        if (depth > DescriptionCache::MaxDepth)
            return fail(QStringLiteral("maps nested deeper than %1 levels").arg(DescriptionCache::MaxDepth));
        quint32 count = 0;
        // A member takes at least 9 bytes (text length, type, null flag).
        if (!number(&count) || count > remaining() / 9)
            return fail(QStringLiteral("a map of %1 members in %2 bytes").arg(count).arg(remaining()));
        for (quint32 i = 0; i < count; ++i) {
            QString key;
            QVariant value;
            if (!text(&key) || !this->value(&value, depth))
                return fail(QStringLiteral("a member cut short"));
            into->insert(key, value);
        }
        return true;
    }

    bool sources(DescriptionSources* into)
    {
        quint32 count = 0;
        if (!number(&count) || count > remaining() / 20)
            return fail(QStringLiteral("a file list of %1 entries in %2 bytes").arg(count).arg(remaining()));
        into->reserve(int(count));
        for (quint32 i = 0; i < count; ++i) {
            DescriptionSource source;
            if (!text(&source.path) || !number(&source.size) || !number(&source.modified))
                return fail(QStringLiteral("a file list cut short"));
            into->append(source);
        }
        return true;
    }

    // The text at the reader's position, or an empty text when none can be read there.
    QString tag()
    {
        QString read;
        return text(&read) ? read : QString();
    }

    QString error() const { return m_error; }

private:
    qint64 remaining() const { return m_size - m_pos; }

    bool fail(const QString& error)
    {
        if (m_error.isEmpty())
            m_error = error;
        return false;
    }

    template <typename T>
    bool number(T* value)
    {
        if (remaining() < qint64(sizeof(T)))
            return false;
        *value = qFromBigEndian<T>(m_data + m_pos);
        m_pos += sizeof(T);
        return true;
    }

    // Byte length (0xFFFFFFFF for a null text), then UTF-16 big-endian.
    bool text(QString* into)
    {
        quint32 bytes = 0;
        if (!number(&bytes))
            return false;
        if (bytes == 0xFFFFFFFF) {
            *into = QString();
            return true;
        }
        if ((bytes & 1) || bytes > remaining())
            return false;
        QString read(int(bytes / 2), Qt::Uninitialized);
        qFromBigEndian<quint16>(m_data + m_pos, bytes / 2, reinterpret_cast<quint16*>(read.data()));
        m_pos += bytes;
        *into = read;
        return true;
    }

    // A QVariant as QDataStream writes it: type id, null flag, then the value.
    bool value(QVariant* value, int depth)
    {
        quint32 type = 0;
        qint8 isNull = 0;
        if (!number(&type) || !number(&isNull))
            return false;
        if (type == QMetaType::QString) {
            QString read;
            if (!text(&read))
                return false;
            *value = read;
            return true;
        }
        if (type == QMetaType::QVariantMap) {
            QVariantMap nested;
            if (!map(&nested, depth + 1))
                return false;
            *value = nested;
            return true;
        }
        return fail(QStringLiteral("a value of type %1 (only texts and maps are cached)").arg(type));
    }

    const uchar* m_data;
    qint64 m_size;
    qint64 m_pos = 0;
    QString m_error;
};

} // namespace

DescriptionSources DescriptionCache::scan(const QStringList& dirs)
{
    DescriptionSources sources;
    for (const QString& dir : dirs) {
        const QDir folder(dir);
        if (!folder.exists())
            continue;
        const QStringList names =
            folder.entryList({QStringLiteral("*.djson")}, QDir::Files, QDir::Name | QDir::IgnoreCase);
        for (const QString& name : names) {
            const QFileInfo info(dir + QLatin1Char('/') + name);
            const QDateTime modified = info.lastModified();
            sources.append({info.filePath(), info.size(), modified.isValid() ? modified.toMSecsSinceEpoch() : 0});
        }
    }
    return sources;
}

QByteArray DescriptionCache::encode(const QVariantMap& descriptions, const DescriptionSources& sources)
{
    QByteArray raw;
    QDataStream out(&raw, QIODevice::WriteOnly);
    out << descriptions;
    out << QString::fromLatin1(sourcesTag) << quint32(sources.size());
    for (const DescriptionSource& source : sources)
        out << source.path << source.size << source.modified;
    return qCompress(raw);
}

bool DescriptionCache::decode(const QByteArray& data, Contents* contents, QString* error)
{
    if (data.size() < 4) {
        *error = QStringLiteral("%1 bytes are too short for compressed data").arg(data.size());
        return false;
    }
    const qint64 expected = qFromBigEndian<quint32>(data.constData());
    if (expected > MaxDataSize || expected > (data.size() - 4) * maxExpansion + 64) {
        *error = QStringLiteral("%1 compressed bytes claim to hold %2 bytes").arg(data.size() - 4).arg(expected);
        return false;
    }
    const QByteArray raw = qUncompress(data);
    if (raw.size() != expected) {
        *error = QStringLiteral("the compressed data is damaged");
        return false;
    }
    BoundedReader reader(raw);
    Contents read;
    if (!reader.map(&read.descriptions, 0)) {
        *error = QStringLiteral("the description map does not decode: %1").arg(reader.error());
        return false;
    }
    // A cache of the plain map has no file list: readable, but its freshness is unknown.
    if (reader.tag() == QLatin1String(sourcesTag)) {
        if (!reader.sources(&read.sources)) {
            *error = QStringLiteral("the file list does not decode: %1").arg(reader.error());
            return false;
        }
        read.hasSources = true;
    }
    *contents = read;
    return true;
}

bool DescriptionCache::read(const QString& path, Contents* contents, QString* error)
{
    error->clear();
    QByteArray data;
    if (!QFile::exists(path) || !readLimited(path, MaxFileSize, &data, error))
        return false;
    return decode(data, contents, error);
}

bool DescriptionCache::write(const QString& path, const QByteArray& data, QString* error)
{
    if (QFileInfo(path).isDir()) {
        *error = QStringLiteral("a folder has the cache's name");
        return false;
    }
    // Its folder is flushed too: a cache renamed into place survives a power cut whole.
    return AtomicFile::writeFile(path, data, error);
}
