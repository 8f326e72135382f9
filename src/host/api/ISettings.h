#pragma once

#include "host/api/IService.h"

#include <QString>
#include <QVariant>

namespace host {

// Service "ISettings": persistent user settings ("iec.path", "General/Language", ...).
class ISettings : public IService
{
public:
    static constexpr const char* ServiceName = "ISettings";

    virtual QVariant value(const QString& key, const QVariant& defaultValue = QVariant()) const = 0;
};

} // namespace host
