#include "host/LogService.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

LogService::~LogService()
{
    closeFile();
}

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
    closeFile();
    m_path = path;
    return path.isEmpty() || openFile();
}

QString LogService::stateFolder(const QString& application)
{
    const QString state = QString::fromLocal8Bit(qgetenv("XDG_STATE_HOME"));
    // Relative values are to be ignored, as every XDG base directory variable says.
    const QString base = QDir::isAbsolutePath(state) ? state : QDir::homePath() + QStringLiteral("/.local/state");
    return QDir::cleanPath(base + QLatin1Char('/') + application);
}

bool LogService::setLogFolder(const QString& folder, const QString& fileName)
{
    const QByteArray native = QFile::encodeName(folder);
    QDir().mkpath(QFileInfo(folder).path());
    ::mkdir(native.constData(), 0700);
    struct stat status;
    // Another user's folder, or a link to one, could hand the log to someone else.
    if (::lstat(native.constData(), &status) != 0 || !S_ISDIR(status.st_mode) || status.st_uid != ::geteuid()) {
        setLogFile(QString());
        return false;
    }
    ::chmod(native.constData(), 0700);
    return setLogFile(folder + QLatin1Char('/') + fileName);
}

void LogService::setMaxFileSize(qint64 bytes)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_maxSize = bytes;
}

bool LogService::openFile()
{
    const int fd = ::open(QFile::encodeName(m_path).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    struct stat status;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_uid != ::geteuid()) {
        ::close(fd);
        return false;
    }
    ::fchmod(fd, S_IRUSR | S_IWUSR);
    m_fd = fd;
    m_size = status.st_size;
    return true;
}

void LogService::closeFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_size = 0;
}

// Never blocks and never fails the caller: a line that cannot be written is dropped.
void LogService::appendToFile(const QByteArray& line)
{
    if (m_fd < 0)
        return;
    if (m_size > 0 && m_size + line.size() > m_maxSize) {
        closeFile();
        const QByteArray path = QFile::encodeName(m_path);
        ::rename(path.constData(), (path + ".1").constData());
        if (!openFile())
            return;
    }
    const ssize_t written = ::write(m_fd, line.constData(), size_t(line.size()));
    if (written > 0)
        m_size += written;
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
    appendToFile(line);
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
