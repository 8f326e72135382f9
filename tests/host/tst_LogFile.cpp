// The log file of the default host on a machine shared with other users: a folder of the
// user's own, owner-only, no link followed, no FIFO waited on, bounded in size, and a log that
// cannot be written never stops the program.
#include "support/TempDir.h"

#include "host/LogService.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>

namespace {

mode_t modeOf(const QString& path)
{
    struct stat status;
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 ? (status.st_mode & 07777) : 0;
}

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void logLines(host::LogService& logs, int count, const std::string& text = "line")
{
    host::ILogger* logger = logs.logger("datamodel");
    for (int i = 0; i < count; ++i)
        logger->logFormatted("Test", 600, "%s %d", text.c_str(), i);
}

// Sets an environment variable for one test and puts the old value back.
struct Environment
{
    Environment(const char* name, const QByteArray& value) : name(name), old(qgetenv(name)), had(qEnvironmentVariableIsSet(name))
    {
        qputenv(name, value);
    }
    ~Environment()
    {
        if (had)
            qputenv(name, old);
        else
            qunsetenv(name);
    }
    const char* name;
    QByteArray old;
    bool had;
};

TEST(LogFile, livesInTheUsersStateFolderOwnerOnly)
{
    testsupport::TempDir temp;
    {
        Environment state("XDG_STATE_HOME", QFile::encodeName(temp.filePath("state")));
        EXPECT_EQ(host::LogService::stateFolder("plcproj"), temp.filePath("state/plcproj"));
    }
    {
        Environment relative("XDG_STATE_HOME", "relative/state");
        EXPECT_EQ(host::LogService::stateFolder("plcproj"), QDir::homePath() + "/.local/state/plcproj")
            << "a relative value is ignored";
    }
    const mode_t oldMask = ::umask(0);
    host::LogService logs(10);
    const QString folder = temp.filePath("state/plcproj");
    EXPECT_TRUE(logs.setLogFolder(folder, "plcproj.log"));
    logLines(logs, 1);
    ::umask(oldMask);
    EXPECT_EQ(modeOf(folder), mode_t(0700));
    EXPECT_EQ(modeOf(folder + "/plcproj.log"), mode_t(0600));
    EXPECT_TRUE(contentOf(folder + "/plcproj.log").contains("line 0"));
}

TEST(LogFile, linksFifosAndOtherFilesAreNotWrittenAndNothingBlocks)
{
    testsupport::TempDir temp;
    const QString victim = temp.filePath("victim");
    {
        QFile file(victim);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("keep");
    }
    ::chmod(QFile::encodeName(victim).constData(), 0644);
    host::LogService logs(10);

    // Another user pointed the log at a file of the user's.
    ASSERT_TRUE(QFile::link(victim, temp.filePath("linked.log")));
    EXPECT_FALSE(logs.setLogFile(temp.filePath("linked.log")));
    logLines(logs, 3);
    EXPECT_EQ(contentOf(victim), QByteArray("keep"));
    EXPECT_EQ(modeOf(victim), mode_t(0644));
    EXPECT_EQ(logs.entries().size(), 3u) << "the lines are still kept in memory";

    // A FIFO without a reader would make every run hang.
    const QString fifo = temp.filePath("fifo.log");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(logs.setLogFile(fifo));
    logLines(logs, 3);
    EXPECT_LT(timer.elapsed(), 5000);

    // The folder is a link: refused, nothing made behind it.
    const QString elsewhere = temp.filePath("elsewhere");
    ASSERT_TRUE(QDir().mkpath(elsewhere));
    ASSERT_TRUE(QFile::link(elsewhere, temp.filePath("state")));
    EXPECT_FALSE(logs.setLogFolder(temp.filePath("state"), "plcproj.log"));
    logLines(logs, 1);
    EXPECT_TRUE(QDir(elsewhere).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());

    // A folder that cannot be made is no failure of the program either.
    EXPECT_FALSE(logs.setLogFolder("/proc/no/such/folder", "plcproj.log"));
    logLines(logs, 1);
}

TEST(LogFile, isBoundedWithOneRotation)
{
    testsupport::TempDir temp;
    host::LogService logs(10);
    const QString path = temp.filePath("host.log");
    ASSERT_TRUE(logs.setLogFile(path));
    logs.setMaxFileSize(1000);
    logLines(logs, 100, std::string(40, 'a'));
    EXPECT_LE(QFileInfo(path).size(), 1000);
    EXPECT_GT(QFileInfo(path).size(), 0);
    EXPECT_LE(QFileInfo(path + ".1").size(), 1000);
    EXPECT_GT(QFileInfo(path + ".1").size(), 500) << "the older half is kept once";
    EXPECT_FALSE(QFileInfo::exists(path + ".2"));
    EXPECT_TRUE(contentOf(path).contains(std::string(40, 'a').append(" 99").c_str()));
    EXPECT_EQ(modeOf(path), mode_t(0600));
}

} // namespace
