#pragma once

#include "host/api/IApplication.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>
#include <mutex>

namespace host {

class BackgroundWorker;
class CookieStore;
class IDialogs;
class LanguageManager;
class LogService;
class SettingsStore;
class TransferState;

// The host of the command-line tool and of the tests: every service the library looks up,
// with in-process implementations. install() publishes it as the property "IApplication" of
// the Qt application object; the destructor withdraws it again.
class DefaultApplication : public IApplication
{
public:
    // `settingsFile` empty keeps the settings in memory.
    explicit DefaultApplication(const QString& settingsFile = QString());
    ~DefaultApplication() override;
    DefaultApplication(const DefaultApplication&) = delete;
    DefaultApplication& operator=(const DefaultApplication&) = delete;

    void install();
    void uninstall();

    IService* service(const QString& name) const override;
    QString path(const QString& name) const override;
    void showMessage(const QString& title, const QString& text, int code) override;

    // Registers or replaces a service (owned); null removes it, so that tests can run the
    // library without one.
    void setService(const QString& name, std::unique_ptr<IService> service);
    void removeService(const QString& name);

    // The folder of the installation ("Root"); hardware/ lies below it. By default
    // <program folder>/../share/datamodel when that holds hardware/, else the program folder.
    void setApplicationDir(const QString& dir);
    QString applicationDir() const;

    // Messages shown through showMessage, oldest first; a sink sees each one as it comes.
    QStringList messages() const;
    void setMessageSink(std::function<void(const QString& title, const QString& text, int code)> sink);

    LogService* logs() const;
    CookieStore* cookies() const;
    SettingsStore* settings() const;
    TransferState* transfer() const;
    BackgroundWorker* worker() const;
    LanguageManager* languages() const;
    IDialogs* dialogs() const;

private:
    template <typename T>
    T* typed(const char* name) const;

    mutable std::mutex m_mutex;
    std::map<QString, std::unique_ptr<IService>> m_services;
    QString m_applicationDir;
    QStringList m_messages;
    std::function<void(const QString&, const QString&, int)> m_sink;
    bool m_installed = false;
};

} // namespace host
