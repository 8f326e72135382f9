#include "datamodel/model/HostServices.h"

#include "host/api/IApplication.h"
#include "host/api/ICookies.h"
#include "host/api/ILogManager.h"
#include "host/api/ILogger.h"
#include "host/api/ISettings.h"
#include "host/api/ITransfer.h"

#include <QCoreApplication>

host::IApplication* HostServices::application()
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return nullptr;
    const QVariant address = app->property(host::IApplication::PropertyName);
    if (!address.isValid())
        return nullptr;
    return reinterpret_cast<host::IApplication*>(static_cast<quintptr>(address.toULongLong()));
}

host::IService* HostServices::service(const QString& name)
{
    host::IApplication* app = application();
    return app ? app->service(name) : nullptr;
}

void HostServices::log(const std::string& module, int type, const std::string& text)
{
    auto* manager = get<host::ILogManager>();
    if (!manager)
        return;
    if (host::ILogger* logger = manager->logger("datamodel"))
        logger->logFormatted(module, type, "%s", text.c_str());
}

QVariant HostServices::cookie(const QString& key, const QVariant& defaultValue)
{
    auto* cookies = get<host::ICookies>();
    return cookies ? cookies->value(key, defaultValue) : defaultValue;
}

QVariant HostServices::setting(const QString& key, const QVariant& defaultValue)
{
    auto* settings = get<host::ISettings>();
    return settings ? settings->value(key, defaultValue) : defaultValue;
}

bool HostServices::isTransferBusy()
{
    auto* transfer = get<host::ITransfer>();
    return transfer && transfer->isBusy();
}

void HostServices::showMessage(const QString& title, const QString& text, int code)
{
    if (host::IApplication* app = application())
        app->showMessage(title, text, code);
}

QString HostServices::path(const QString& name)
{
    host::IApplication* app = application();
    return app ? app->path(name) : QString();
}
