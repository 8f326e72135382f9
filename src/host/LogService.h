#pragma once

#include "host/api/ILogManager.h"
#include "host/api/ILogger.h"

#include <QDateTime>
#include <QFile>
#include <QString>

#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace host {

struct LogEntry
{
    QDateTime time;
    std::string category;
    std::string module;
    int type = 0;
    std::string message;
};

// Service "LogManager" of the default host: one line per entry (time, category, module, type,
// message) to a log file when one is set, and the recent entries in memory so that tests and
// tools can read them. Thread-safe.
class LogService : public ILogManager
{
public:
    explicit LogService(std::size_t keep = 2000);
    ~LogService() override;

    ILogger* logger(const std::string& category) override;

    // Appends to `path` from now on (an empty path stops writing to a file).
    bool setLogFile(const QString& path);
    // Copies every entry to stderr as well (the command-line tool's --verbose).
    void setEcho(bool echo);

    std::vector<LogEntry> entries() const;
    // Entries whose message contains `text`.
    std::vector<LogEntry> find(const std::string& text) const;
    void clear();

    void write(const std::string& category, const std::string& module, int type, const std::string& message);

private:
    class CategoryLogger;

    mutable std::mutex m_mutex;
    std::size_t m_keep;
    std::deque<LogEntry> m_entries;
    std::map<std::string, std::unique_ptr<CategoryLogger>> m_loggers;
    std::unique_ptr<QFile> m_file;
    bool m_echo = false;
};

} // namespace host
