#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <QVector>

// One description file as the cache saw it when it was built.
struct DescriptionSource
{
    QString path;
    qint64 size = 0;
    qint64 modified = 0; // ms since 1970 UTC

    bool operator==(const DescriptionSource& other) const
    {
        return path == other.path && size == other.size && modified == other.modified;
    }
    bool operator!=(const DescriptionSource& other) const { return !(*this == other); }
};
using DescriptionSources = QVector<DescriptionSource>;

// The binary cache of the descriptions ("DeviceDescribe.bin"): the description map written
// with QDataStream, followed by the list of files it was built from, the whole compressed
// with qCompress. A reader that knows only the map reads the map and ignores the rest; a
// cache without the list (or with another list than the files present) is stale.
//
// Decoding trusts nothing in the file: the length header of the compressed data, every count
// and every nesting level are checked against what the data can hold before anything is
// allocated, and only texts and maps are accepted as values.
class DescriptionCache
{
public:
    static constexpr qint64 MaxFileSize = 64 * 1024 * 1024;
    static constexpr qint64 MaxDataSize = 256 * 1024 * 1024;
    static constexpr int MaxDepth = 64;

    struct Contents
    {
        QVariantMap descriptions;
        DescriptionSources sources;
        bool hasSources = false;
    };

    // The "*.djson" files of the existing folders of `dirs`, folder by folder in listing order.
    static DescriptionSources scan(const QStringList& dirs);

    static QByteArray encode(const QVariantMap& descriptions, const DescriptionSources& sources);
    // False with `error` set when `data` is not a cache.
    static bool decode(const QByteArray& data, Contents* contents, QString* error);

    // False for a missing file (with `error` empty) and for one that does not decode.
    static bool read(const QString& path, Contents* contents, QString* error);
    // Writes through a temporary file in the same folder and a rename, so that a crash or a
    // full disk never leaves half a cache behind.
    static bool write(const QString& path, const QByteArray& data, QString* error);
};
