#pragma once

#include "datamodel/model/DatamodelExport.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <memory>

class DescriptionBasePrivate;

// A read-only catalogue of descriptions: description name -> nested map whose values are
// texts (QString) or further maps. Lookups may come from any thread; the catalogue is only
// replaced as a whole, under a lock, so a reader sees either the old or the new one.
class DATAMODEL_EXPORT DescriptionBase
{
public:
    DescriptionBase();
    virtual ~DescriptionBase();
    DescriptionBase(const DescriptionBase&) = delete;
    DescriptionBase& operator=(const DescriptionBase&) = delete;

    // The description called `name`; empty when there is none.
    QVariantMap devDescribe(const QString& name) const;
    // Names of the descriptions whose "TypeID" equals `typeId`, in name order.
    QStringList describeList(const QString& typeId) const;
    // `path` is a description name followed by nested keys, joined by "." (for example
    // "VX7_1616MT.Motion.AxisType"). The value found there, or `defaultValue` when any step
    // is missing or leads through a text.
    QVariant devProperty(const QString& path, const QVariant& defaultValue = QVariant()) const;

    // Every description name, in name order.
    QStringList names() const;
    // A copy of the whole catalogue (implicitly shared, cheap).
    QVariantMap descriptions() const;

protected:
    void setDescriptions(const QVariantMap& descriptions);

private:
    std::unique_ptr<DescriptionBasePrivate> d;
};
