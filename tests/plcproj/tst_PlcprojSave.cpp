// Saves through the command-line tool as a user meets them: a save that cannot be written is
// said and leaves the file as it was; a second writer is refused before it reads; a lock left
// by a killed program does not block the project.
#include "ModelTestSupport.h"
#include "SaveTrials.h"
#include "ToolRun.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace {

class Plcproj : public ::testing::Test
{
protected:
    testsupport::TempDir temp;
};

// What the file holds: the rows of every table. An encrypted page that a rollback puts back
// is encrypted anew, so the bytes may differ where the content does not.
QMap<QString, QByteArray> contentOf(const QString& path)
{
    testsupport::defaultHost(); // the driver
    QString error;
    const auto digests = savetrials::tableDigests(path.toStdString(), &error);
    EXPECT_FALSE(digests.isEmpty()) << error.toStdString();
    return digests;
}

// plcproj run with a limit on the size of the files it writes: every write past `maxBytes`
// fails as on a full disk (the signal that would end the process is ignored). Permission bits
// would not stop a test run as root; this limit does.
class SizeLimitedRun : public QProcess
{
public:
    explicit SizeLimitedRun(rlim_t maxBytes) : m_maxBytes(maxBytes) {}

protected:
    void setupChildProcess() override
    {
        ::signal(SIGXFSZ, SIG_IGN);
        const struct rlimit limit = {m_maxBytes, m_maxBytes};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }

private:
    rlim_t m_maxBytes;
};

QString bigEdit()
{
    QStringList commands;
    for (int i = 0; i < 300; ++i)
        commands << QStringLiteral("add pou Full%1").arg(i)
                 << QStringLiteral("decl pou Full%1 \"FUNCTION_BLOCK Full%1\\nVAR\\n    a%1 : ARRAY[0..99] OF LREAL;\\nEND_VAR\\n\"")
                        .arg(i);
    commands << QStringLiteral("add gvl FullList") << QStringLiteral("save");
    return commands.join('\n');
}

TEST_F(Plcproj, aSaveThatCannotBeWrittenSaysWhyExitsOneAndChangesNothing)
{
    const QString dir = temp.filePath("full");
    const ToolRun create = plcproj({"create", dir, "--name", "Full"});
    ASSERT_EQ(create.code, 0) << create.err.toStdString();
    const QString file = lines(create.out).last();
    // The first open for editing numbers the referenced libraries in the file; from then on
    // the file is what it is.
    ASSERT_EQ(plcproj({"exec", dir, "-c", "list pou"}).code, 0);
    const auto before = contentOf(file);
    const qint64 size = QFileInfo(file).size();

    SizeLimitedRun run(static_cast<rlim_t>(size + 8192));
    run.start(QString::fromUtf8(qgetenv("DATAMODEL_BINARY_DIR")) + "/bin/plcproj", {"exec", dir, "-c", bigEdit()});
    ASSERT_TRUE(run.waitForFinished(120000));
    const QString err = QString::fromUtf8(run.readAllStandardError());
    EXPECT_EQ(run.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.exitCode(), 1) << err.toStdString();
    EXPECT_TRUE(err.startsWith("error: save failed: ")) << err.toStdString();
    EXPECT_TRUE(err.contains(file)) << err.toStdString();
    EXPECT_EQ(contentOf(file), before) << "nothing in the file changed";
    EXPECT_FALSE(QFile::exists(file + "-journal")) << "the failed save was rolled back";

    // The same edit without the limit saves, and the project holds it.
    const ToolRun saved = plcproj({"exec", dir, "-c", bigEdit()});
    ASSERT_EQ(saved.code, 0) << saved.err.toStdString();
    EXPECT_TRUE(lines(plcproj({"exec", dir, "-c", "list pou"}).out).contains("Full299"));
}

TEST_F(Plcproj, aSecondWriterIsRefusedAndALockOfAKilledProgramIsTakenOver)
{
    const QString dir = temp.filePath("locked");
    ASSERT_EQ(plcproj({"create", dir, "--name", "Locked"}).code, 0);
    const QString lockholder = QString::fromUtf8(qgetenv("DATAMODEL_BINARY_DIR")) + "/bin/lockholder";
    QProcess holder;
    holder.start(lockholder, {dir + "/project.nvlock"});
    ASSERT_TRUE(holder.waitForReadyRead(10000));
    ASSERT_EQ(holder.readLine().trimmed(), "locked");

    const ToolRun refused = plcproj({"exec", dir, "-c", "add pou Second; save"});
    EXPECT_EQ(refused.code, 1);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("process %1").arg(holder.processId()))) << refused.err.toStdString();
    EXPECT_TRUE(refused.err.contains("host")) << refused.err.toStdString();

    // Killed while it held the lock: its lock file stays, naming a process that is gone.
    ::kill(static_cast<pid_t>(holder.processId()), SIGKILL);
    ASSERT_TRUE(holder.waitForFinished(10000));
    ASSERT_TRUE(QFile::exists(dir + "/project.nvlock"));
    const ToolRun taken = plcproj({"exec", dir, "-c", "add pou Second; save"});
    EXPECT_EQ(taken.code, 0) << taken.err.toStdString();
    EXPECT_TRUE(lines(plcproj({"exec", dir, "-c", "list pou"}).out).contains("Second"));
}

} // namespace
