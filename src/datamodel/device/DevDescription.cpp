#include "datamodel/device/DevDescription.h"

#include "datamodel/device/DescriptionCache_p.h"
#include "datamodel/device/DjsonReader_p.h"
#include "datamodel/model/HostServices.h"

#include <QMutex>
#include <QMutexLocker>

namespace {

void log(int type, const QString& text)
{
    HostServices::log("DevDescription", type, text.toStdString());
}

// Parses the files in order; a later file's member replaces an earlier one of the same name.
// A file that breaks off keeps the members read before the break.
bool parseSources(const DescriptionSources& sources, QVariantMap* descriptions)
{
    bool complete = true;
    for (const DescriptionSource& source : sources) {
        QVariantMap members;
        DjsonDiagnostic diagnostic;
        const bool parsed = DjsonReader::readFile(source.path, &members, &diagnostic);
        for (auto it = members.cbegin(); it != members.cend(); ++it)
            descriptions->insert(it.key(), it.value());
        if (!parsed) {
            complete = false;
            log(HostServices::LogError, QStringLiteral("description file %1 skipped: %2 (%3 members read before)")
                                            .arg(source.path, diagnostic.toString())
                                            .arg(members.size()));
        }
    }
    return complete;
}

} // namespace

class DevDescriptionPrivate
{
public:
    QMutex reloading; // one (re)build at a time; lookups go through the base's lock
    QString applicationDir;
    DevDescription::LoadSource source = DevDescription::FromFiles;
};

DevDescription* DevDescription::instance()
{
    static DevDescription catalogue(HostServices::path(QStringLiteral("Root")));
    return &catalogue;
}

DevDescription::DevDescription(const QString& applicationDir) : d(std::make_unique<DevDescriptionPrivate>())
{
    reload(applicationDir);
}

DevDescription::~DevDescription() = default;

QStringList DevDescription::directories(const QString& applicationDir)
{
    QStringList dirs;
    // Without an application directory the folders would resolve against "/" (or the
    // working directory); only the resources are read then.
    if (!applicationDir.isEmpty()) {
        for (const char* folder : {"/hardware/DeviceDescribe", "/hardware/Diagnosis", "/hardware/EtherCAT"})
            dirs << applicationDir + QLatin1String(folder);
    }
    dirs << QStringLiteral(":hardware/DeviceDescribe/built-in");
    return dirs;
}

QString DevDescription::cachePath(const QString& applicationDir)
{
    return applicationDir.isEmpty() ? QString() : applicationDir + QStringLiteral("/hardware/DeviceDescribe.bin");
}

bool DevDescription::reload(const QString& applicationDir)
{
    QMutexLocker locker(&d->reloading);
    d->applicationDir = applicationDir;
    if (applicationDir.isEmpty())
        log(HostServices::LogInfo, QStringLiteral("no application directory: descriptions from the resources only"));
    const QStringList dirs = directories(applicationDir);
    const QString cache = cachePath(applicationDir);
    const DescriptionSources present = DescriptionCache::scan(dirs);

    // The cache is read once: it both answers whether it is current and holds the catalogue.
    if (!cache.isEmpty()) {
        DescriptionCache::Contents contents;
        QString error;
        if (DescriptionCache::read(cache, &contents, &error)) {
            if (contents.hasSources && contents.sources == present) {
                setDescriptions(contents.descriptions);
                d->source = FromCache;
                return true;
            }
            log(HostServices::LogInfo, QStringLiteral("cache %1 is stale: description files were added, removed or changed")
                                           .arg(cache));
        } else if (!error.isEmpty()) {
            log(HostServices::LogError, QStringLiteral("cache %1 rebuilt from the description files: %2").arg(cache, error));
        }
    }

    return rebuild(dirs, cache);
}

bool DevDescription::rebuild(const QStringList& dirs, const QString& cache)
{
    // The file list is taken before the files are read: a file that changes meanwhile then
    // differs from the list and makes the next start read it again.
    const DescriptionSources sources = DescriptionCache::scan(dirs);
    QVariantMap descriptions;
    bool ok = parseSources(sources, &descriptions);
    setDescriptions(descriptions);
    d->source = FromFiles;
    if (cache.isEmpty())
        return ok;
    QString error;
    if (!DescriptionCache::write(cache, DescriptionCache::encode(descriptions, sources), &error)) {
        log(HostServices::LogError, QStringLiteral("cache %1 not written (%2); the %3 descriptions read from the files are used")
                                        .arg(cache, error)
                                        .arg(descriptions.size()));
        return false;
    }
    return ok;
}

QString DevDescription::applicationDir() const
{
    QMutexLocker locker(&d->reloading);
    return d->applicationDir;
}

DevDescription::LoadSource DevDescription::loadSource() const
{
    QMutexLocker locker(&d->reloading);
    return d->source;
}

bool DevDescription::binNeedUpdate(const QStringList& dirs, const QString& cache) const
{
    DescriptionCache::Contents contents;
    QString error;
    if (!DescriptionCache::read(cache, &contents, &error))
        return true;
    return !contents.hasSources || contents.sources != DescriptionCache::scan(dirs);
}

bool DevDescription::createBinFile(const QStringList& dirs, const QString& cache)
{
    QMutexLocker locker(&d->reloading);
    return rebuild(dirs, cache);
}

bool DevDescription::readBinFile(const QString& cache)
{
    QMutexLocker locker(&d->reloading);
    DescriptionCache::Contents contents;
    QString error;
    if (!DescriptionCache::read(cache, &contents, &error)) {
        if (!error.isEmpty())
            log(HostServices::LogError, QStringLiteral("cache %1 not read: %2").arg(cache, error));
        return false;
    }
    setDescriptions(contents.descriptions);
    d->source = FromCache;
    return true;
}
