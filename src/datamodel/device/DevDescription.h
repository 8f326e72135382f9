#pragma once

#include "datamodel/device/DescriptionBase.h"

#include <memory>

class DevDescriptionPrivate;

// The descriptions of every device type (controllers, buses, interfaces, modules and their
// limits, diagnosis tables), read from the description files ("*.djson") below the host's
// application directory A:
//     A/hardware/DeviceDescribe, A/hardware/Diagnosis, A/hardware/EtherCAT,
//     then ":hardware/DeviceDescribe/built-in" in the resources,
// and kept in the compressed cache A/hardware/DeviceDescribe.bin. A normal start reads the
// cache alone; the files are parsed again when the cache is missing, does not decode, or was
// built from another set of files (a file added, removed, or changed in size or time).
class DATAMODEL_EXPORT DevDescription : public DescriptionBase
{
public:
    enum LoadSource { FromCache, FromFiles };

    // The process-wide catalogue, built on first use from the host's application directory
    // (path "Root").
    static DevDescription* instance();

    // A catalogue of its own, built from `applicationDir` (empty: the resources only).
    explicit DevDescription(const QString& applicationDir);
    ~DevDescription() override;

    // Builds the catalogue again from `applicationDir`, as at construction; hosts and tests
    // use it to point instance() elsewhere. False when a description file could not be read
    // or the cache could not be written; the descriptions that could be read are in place
    // either way, and the log says what went wrong.
    bool reload(const QString& applicationDir);
    QString applicationDir() const;
    // Whether the last (re)load used the cache or parsed the files.
    LoadSource loadSource() const;

    static QStringList directories(const QString& applicationDir);
    static QString cachePath(const QString& applicationDir);

    // True when the cache `cache` is missing, does not decode, or was not built from exactly
    // the "*.djson" files that `dirs` hold now.
    bool binNeedUpdate(const QStringList& dirs, const QString& cache) const;
    // Parses the files of `dirs` into the catalogue and writes the cache. False when a file
    // could not be read or the cache not be written (the catalogue holds what was read).
    bool createBinFile(const QStringList& dirs, const QString& cache);
    // Replaces the catalogue by the cache's contents; false (catalogue unchanged) when the
    // cache is missing or does not decode.
    bool readBinFile(const QString& cache);

private:
    bool rebuild(const QStringList& dirs, const QString& cache); // the caller holds the reload lock

    std::unique_ptr<DevDescriptionPrivate> d;
};
