#include "host/SettingsStore.h"

#include <QSettings>

namespace host {

SettingsStore::SettingsStore(const QString& iniFile)
{
    if (!iniFile.isEmpty())
        m_file = std::make_unique<QSettings>(iniFile, QSettings::IniFormat);
}

SettingsStore::~SettingsStore() = default;

QVariant SettingsStore::value(const QString& key, const QVariant& defaultValue) const
{
    QMutexLocker lock(&m_mutex);
    return m_file ? m_file->value(key, defaultValue) : m_memory.value(key, defaultValue);
}

void SettingsStore::setValue(const QString& key, const QVariant& value)
{
    QMutexLocker lock(&m_mutex);
    if (m_file)
        m_file->setValue(key, value);
    else
        m_memory.insert(key, value);
}

} // namespace host
