#include "host/DefaultApplication.h"

#include "host/BackgroundWorker.h"
#include "host/CookieStore.h"
#include "host/LanguageManager.h"
#include "host/LogService.h"
#include "host/ScriptedDialogs.h"
#include "host/SettingsStore.h"
#include "host/TransferState.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace host {

namespace {

// The installation keeps its data beside bin/, in <prefix>/share/datamodel (the build tree
// has the same layout); that folder is the application directory when it holds hardware/,
// otherwise the program's own folder is.
QString defaultApplicationDir()
{
    if (!QCoreApplication::instance())
        return QString();
    const QString programDir = QCoreApplication::applicationDirPath();
    const QString dataDir = QDir::cleanPath(programDir + QStringLiteral("/../share/datamodel"));
    return QFileInfo(dataDir + QStringLiteral("/hardware")).isDir() ? dataDir : programDir;
}

} // namespace

DefaultApplication::DefaultApplication(const QString& settingsFile)
{
    m_services[ILogManager::ServiceName] = std::make_unique<LogService>();
    m_services[ICookies::ServiceName] = std::make_unique<CookieStore>();
    m_services[ISettings::ServiceName] = std::make_unique<SettingsStore>(settingsFile);
    m_services[ITransfer::ServiceName] = std::make_unique<TransferState>();
    m_services[IBackgroundTransaction::ServiceName] = std::make_unique<BackgroundWorker>();
    m_services[IProgramLanguageManager::ServiceName] = std::make_unique<LanguageManager>();
    // No window may open from a tool or a test: prompts are answered from a script by default.
    m_services[IDialogs::ServiceName] = std::make_unique<ScriptedDialogs>();
    m_applicationDir = defaultApplicationDir();
}

DefaultApplication::~DefaultApplication()
{
    uninstall();
}

void DefaultApplication::install()
{
    if (QCoreApplication* app = QCoreApplication::instance()) {
        app->setProperty(PropertyName, QVariant::fromValue<qulonglong>(reinterpret_cast<quintptr>(
                                           static_cast<IApplication*>(this))));
        m_installed = true;
    }
}

void DefaultApplication::uninstall()
{
    if (!m_installed)
        return;
    if (QCoreApplication* app = QCoreApplication::instance())
        app->setProperty(PropertyName, QVariant());
    m_installed = false;
}

IService* DefaultApplication::service(const QString& name) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_services.find(name);
    return it == m_services.end() ? nullptr : it->second.get();
}

void DefaultApplication::setService(const QString& name, std::unique_ptr<IService> service)
{
    std::unique_ptr<IService> old;
    std::lock_guard<std::mutex> lock(m_mutex);
    auto& slot = m_services[name];
    old = std::move(slot);
    slot = std::move(service);
}

void DefaultApplication::removeService(const QString& name)
{
    setService(name, nullptr);
}

QString DefaultApplication::path(const QString& name) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return name == QLatin1String("Root") ? m_applicationDir : QString();
}

void DefaultApplication::setApplicationDir(const QString& dir)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_applicationDir = dir;
}

QString DefaultApplication::applicationDir() const
{
    return path(QStringLiteral("Root"));
}

void DefaultApplication::showMessage(const QString& title, const QString& text, int code)
{
    std::function<void(const QString&, const QString&, int)> sink;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_messages << text;
        sink = m_sink;
    }
    if (sink)
        sink(title, text, code);
}

QStringList DefaultApplication::messages() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_messages;
}

void DefaultApplication::setMessageSink(std::function<void(const QString&, const QString&, int)> sink)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_sink = std::move(sink);
}

template <typename T>
T* DefaultApplication::typed(const char* name) const
{
    return dynamic_cast<T*>(service(QString::fromLatin1(name)));
}

LogService* DefaultApplication::logs() const { return typed<LogService>(ILogManager::ServiceName); }
CookieStore* DefaultApplication::cookies() const { return typed<CookieStore>(ICookies::ServiceName); }
SettingsStore* DefaultApplication::settings() const { return typed<SettingsStore>(ISettings::ServiceName); }
TransferState* DefaultApplication::transfer() const { return typed<TransferState>(ITransfer::ServiceName); }
BackgroundWorker* DefaultApplication::worker() const
{
    return typed<BackgroundWorker>(IBackgroundTransaction::ServiceName);
}
LanguageManager* DefaultApplication::languages() const
{
    return typed<LanguageManager>(IProgramLanguageManager::ServiceName);
}
IDialogs* DefaultApplication::dialogs() const { return typed<IDialogs>(IDialogs::ServiceName); }

} // namespace host
