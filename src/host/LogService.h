#pragma once

#include "host/api/ILogManager.h"
#include "host/api/ILogger.h"

#include <QDateTime>
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

    // Appends to `path` from now on (an empty path stops writing to a file). The file is
    // opened without following a link and without blocking, must be a regular file, and is
    // made readable and writable by its owner only. False (and no file) otherwise; a log
    // that cannot be written never stops the program.
    bool setLogFile(const QString& path);
    // The per-user folder of `application`'s log: $XDG_STATE_HOME/application, by default
    // ~/.local/state/application.
    static QString stateFolder(const QString& application);
    // Makes `folder` (owner-only, 0700; not a link, owned by the user) and appends to
    // `fileName` in it.
    bool setLogFolder(const QString& folder, const QString& fileName);
    // When the file would grow past `bytes`, it is renamed to NAME.1 (replacing an older
    // one) and a new file is begun.
    void setMaxFileSize(qint64 bytes);
    static constexpr qint64 DefaultMaxFileSize = 4 * 1024 * 1024;
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
    bool openFile();
    void closeFile();
    void appendToFile(const QByteArray& line);

    QString m_path;
    int m_fd = -1;
    qint64 m_size = 0;
    qint64 m_maxSize = DefaultMaxFileSize;
    bool m_echo = false;
};

} // namespace host
