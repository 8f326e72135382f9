#include "host/LogService.h"

#include <QFile>

#include <cstdarg>
#include <cstdio>

namespace host {

class LogService::CategoryLogger : public ILogger
{
public:
    CategoryLogger(LogService* service, std::string category) : m_service(service), m_category(std::move(category)) {}

    void log(const std::string& module, int type, const std::string& message) override
    {
        m_service->write(m_category, module, type, message);
    }

    void logFormatted(const std::string& module, int type, const char* format, ...) override
    {
        if (!format)
            return;
        va_list args;
        va_start(args, format);
        va_list copy;
        va_copy(copy, args);
        const int length = std::vsnprintf(nullptr, 0, format, copy);
        va_end(copy);
        std::string message(length > 0 ? static_cast<std::size_t>(length) : 0u, '\0');
        if (length > 0)
            std::vsnprintf(message.data(), message.size() + 1, format, args);
        va_end(args);
        m_service->write(m_category, module, type, message);
    }

private:
    LogService* m_service;
    std::string m_category;
};

LogService::LogService(std::size_t keep) : m_keep(keep) {}

LogService::~LogService() = default;

ILogger* LogService::logger(const std::string& category)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto& logger = m_loggers[category];
    if (!logger)
        logger = std::make_unique<CategoryLogger>(this, category);
    return logger.get();
}

bool LogService::setLogFile(const QString& path)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_file.reset();
    if (path.isEmpty())
        return true;
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::Append | QIODevice::Text))
        return false;
    m_file = std::move(file);
    return true;
}

void LogService::setEcho(bool echo)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_echo = echo;
}

void LogService::write(const std::string& category, const std::string& module, int type, const std::string& message)
{
    LogEntry entry{QDateTime::currentDateTime(), category, module, type, message};
    const QByteArray line = entry.time.toString(Qt::ISODateWithMs).toUtf8() + ' ' + QByteArray::fromStdString(category)
                            + ' ' + QByteArray::fromStdString(module) + ' ' + QByteArray::number(type) + ' '
                            + QByteArray::fromStdString(message) + '\n';
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_file) {
        m_file->write(line);
        m_file->flush();
    }
    if (m_echo)
        std::fputs(line.constData(), stderr);
    m_entries.push_back(std::move(entry));
    while (m_entries.size() > m_keep)
        m_entries.pop_front();
}

std::vector<LogEntry> LogService::entries() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return std::vector<LogEntry>(m_entries.begin(), m_entries.end());
}

std::vector<LogEntry> LogService::find(const std::string& text) const
{
    std::vector<LogEntry> found;
    for (const LogEntry& entry : entries())
        if (entry.message.find(text) != std::string::npos)
            found.push_back(entry);
    return found;
}

void LogService::clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_entries.clear();
}

} // namespace host
