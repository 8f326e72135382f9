#pragma once

#include "host/api/ISettings.h"

#include <QMap>
#include <QMutex>

#include <memory>

class QSettings;

namespace host {

// Service "ISettings" of the default host: an INI file, or memory only when no file is given
// (tests). Thread-safe.
class SettingsStore : public ISettings
{
public:
    explicit SettingsStore(const QString& iniFile = QString());
    ~SettingsStore() override;

    QVariant value(const QString& key, const QVariant& defaultValue = QVariant()) const override;
    void setValue(const QString& key, const QVariant& value);

private:
    mutable QMutex m_mutex;
    std::unique_ptr<QSettings> m_file;
    QMap<QString, QVariant> m_memory;
};

} // namespace host
