#pragma once

#include "host/api/IService.h"

#include <QString>
#include <QVariant>

namespace host {

// Service "ICookies": values of the IDE's current state ("Project.Name", "IDE/ActionState", ...).
class ICookies : public IService
{
public:
    static constexpr const char* ServiceName = "ICookies";

    virtual QVariant value(const QString& key, const QVariant& defaultValue = QVariant()) const = 0;
};

} // namespace host
