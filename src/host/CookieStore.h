#pragma once

#include "host/api/ICookies.h"

#include <QMap>
#include <QMutex>

namespace host {

// Service "ICookies" of the default host: an in-memory map with setters. Thread-safe.
class CookieStore : public ICookies
{
public:
    QVariant value(const QString& key, const QVariant& defaultValue = QVariant()) const override;
    void setValue(const QString& key, const QVariant& value);
    void remove(const QString& key);

private:
    mutable QMutex m_mutex;
    QMap<QString, QVariant> m_values;
};

} // namespace host
