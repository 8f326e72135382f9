#pragma once

#include <QString>

namespace host {

class IService;

// The host's application object. Its address is published as the property "IApplication"
// of QCoreApplication::instance(), as an unsigned 64-bit number.
class IApplication
{
public:
    static constexpr const char* PropertyName = "IApplication";

    virtual ~IApplication() = default;

    // The service registered under `name`, or null. The host keeps ownership.
    virtual IService* service(const QString& name) const = 0;
    // A named path of the installation; "Root" is the default folder of file dialogs.
    virtual QString path(const QString& name) const = 0;
    // Shows a message to the user (a message box, a log line for a console host).
    virtual void showMessage(const QString& title, const QString& text, int code) = 0;
};

} // namespace host
