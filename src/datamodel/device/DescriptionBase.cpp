#include "datamodel/device/DescriptionBase.h"

#include <QReadLocker>
#include <QReadWriteLock>
#include <QWriteLocker>

namespace {

// The map held by `value` in place, or null when it holds something else. Walking the stored
// maps in place saves copying every level on each lookup.
const QVariantMap* asMap(const QVariant& value)
{
    return value.userType() == QMetaType::QVariantMap ? static_cast<const QVariantMap*>(value.constData()) : nullptr;
}

} // namespace

class DescriptionBasePrivate
{
public:
    mutable QReadWriteLock lock;
    QVariantMap descriptions;
};

DescriptionBase::DescriptionBase() : d(std::make_unique<DescriptionBasePrivate>()) {}

DescriptionBase::~DescriptionBase() = default;

QVariantMap DescriptionBase::devDescribe(const QString& name) const
{
    QReadLocker locker(&d->lock);
    return d->descriptions.value(name).toMap();
}

QStringList DescriptionBase::describeList(const QString& typeId) const
{
    static const QString typeKey = QStringLiteral("TypeID");
    QReadLocker locker(&d->lock);
    QStringList names;
    for (auto it = d->descriptions.cbegin(); it != d->descriptions.cend(); ++it) {
        const QVariantMap* description = asMap(it.value());
        if (description && description->value(typeKey).toString() == typeId)
            names << it.key();
    }
    return names;
}

QVariant DescriptionBase::devProperty(const QString& path, const QVariant& defaultValue) const
{
    const QVector<QStringRef> keys = path.splitRef(QLatin1Char('.'));
    QReadLocker locker(&d->lock);
    const QVariantMap* map = &d->descriptions;
    for (int i = 0; i < keys.size(); ++i) {
        const auto it = map->constFind(keys.at(i).toString());
        if (it == map->cend())
            return defaultValue;
        if (i + 1 == keys.size())
            return it.value();
        map = asMap(it.value());
        if (!map)
            return defaultValue;
    }
    return defaultValue;
}

QStringList DescriptionBase::names() const
{
    QReadLocker locker(&d->lock);
    return d->descriptions.keys();
}

QVariantMap DescriptionBase::descriptions() const
{
    QReadLocker locker(&d->lock);
    return d->descriptions;
}

void DescriptionBase::setDescriptions(const QVariantMap& descriptions)
{
    QWriteLocker locker(&d->lock);
    d->descriptions = descriptions;
}
