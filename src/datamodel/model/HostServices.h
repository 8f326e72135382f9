#pragma once

#include "datamodel/model/DatamodelExport.h"

#include <QString>
#include <QVariant>

#include <string>

namespace host {
class IApplication;
class IService;
} // namespace host

// The library's only door to its host. The host publishes its application object as the
// property "IApplication" of the Qt application object; every call looks it and the service
// up anew, and a missing application, service or logger simply skips the step.
class DATAMODEL_EXPORT HostServices
{
public:
    static host::IApplication* application();
    static host::IService* service(const QString& name);

    template <typename Service>
    static Service* get()
    {
        return dynamic_cast<Service*>(service(QString::fromLatin1(Service::ServiceName)));
    }

    // One line to the log service, category "datamodel".
    static void log(const std::string& module, int type, const std::string& text);
    static QVariant cookie(const QString& key, const QVariant& defaultValue = QVariant());
    static QVariant setting(const QString& key, const QVariant& defaultValue = QVariant());
    static bool isTransferBusy();
    static void showMessage(const QString& title, const QString& text, int code);
    static QString path(const QString& name);

    static constexpr int LogInfo = 600;
    static constexpr int LogError = 300;
};
