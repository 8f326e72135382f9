#include "host/CookieStore.h"

namespace host {

QVariant CookieStore::value(const QString& key, const QVariant& defaultValue) const
{
    QMutexLocker lock(&m_mutex);
    return m_values.value(key, defaultValue);
}

void CookieStore::setValue(const QString& key, const QVariant& value)
{
    QMutexLocker lock(&m_mutex);
    m_values.insert(key, value);
}

void CookieStore::remove(const QString& key)
{
    QMutexLocker lock(&m_mutex);
    m_values.remove(key);
}

} // namespace host
