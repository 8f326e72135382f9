// A save or a password change killed with SIGKILL at a random moment: afterwards the project
// opens (its lock taken over, an interrupted save rolled back) and holds either everything
// as it was before or everything as it was after. DATAMODEL_CRASH_TRIALS and
// DATAMODEL_PASSWD_TRIALS raise the counts (scripts/crash-trials).
#include "ModelTestSupport.h"
#include "SaveTrials.h"

#include "datamodel/model/ProjectLock.h"
#include "datamodel/project/PlcProjectModel.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <cstdio>
#include <map>
#include <random>

#include <signal.h>

namespace {

using testsupport::ModelTest;

const QString newPassword = QStringLiteral("trial's new key");

int envCount(const char* name, int fallback)
{
    const int value = qEnvironmentVariableIntValue(name);
    return value > 0 ? value : fallback;
}

QString childProgram()
{
    return QString::fromUtf8(qgetenv("DATAMODEL_BINARY_DIR")) + "/bin/savechild";
}

class CrashTrials : public ModelTest
{
protected:
    // A generated project with the digests of its tables: the state before every trial.
    void SetUp() override
    {
        ModelTest::SetUp();
        QString error;
        const auto made = savetrials::makeBaseProject(temp.filePath("base"), "Trial", 120, 20, 20, &error);
        ASSERT_FALSE(made.digests.isEmpty()) << error.toStdString();
        base = made.file;
        before = made.digests;
    }

    std::string base;
    QMap<QString, QByteArray> before;

    std::string copyOf(const std::string& base, const QString& name)
    {
        const QString folder = temp.filePath(name);
        QDir().mkpath(folder);
        const std::string file = QDir(folder).filePath("Trial.nvp").toStdString();
        EXPECT_TRUE(QFile::copy(QString::fromStdString(base), QString::fromStdString(file)));
        return file;
    }

    // Runs the child on `file`; kills it `delayUs` after it said it starts (never when
    // negative). The microseconds from that word to its end, when it was not killed.
    qint64 runChild(const QStringList& arguments, qint64 delayUs, bool* killed)
    {
        QProcess child;
        child.start(childProgram(), arguments);
        *killed = false;
        if (!child.waitForStarted(10000)) {
            ADD_FAILURE() << "the child " << childProgram().toStdString() << " does not start";
            return 0;
        }
        QByteArray said;
        while (!said.contains('\n') && child.waitForReadyRead(60000))
            said += child.readAllStandardOutput();
        EXPECT_TRUE(said.startsWith("saving") || said.startsWith("rekeying"))
            << said.toStdString() << child.readAllStandardError().toStdString();
        QElapsedTimer timer;
        timer.start();
        *killed = false;
        if (delayUs >= 0) {
            QThread::usleep(static_cast<unsigned long>(delayUs));
            if (child.state() == QProcess::Running && ::kill(static_cast<pid_t>(child.processId()), SIGKILL) == 0)
                *killed = true;
        }
        EXPECT_TRUE(child.waitForFinished(120000));
        return timer.nsecsElapsed() / 1000;
    }

    // What the file holds after the child ended: the outcome's name.
    QString outcome(const std::string& file, const QMap<QString, QByteArray>& before,
                    const QMap<QString, QByteArray>& after, const QStringList& passwords,
                    int* openedWith = nullptr)
    {
        const QString folder = QFileInfo(QString::fromStdString(file)).path();
        QString error;
        auto lock = ProjectLock::acquire(folder, &error);
        if (!lock)
            return QStringLiteral("lock blocking: ") + error;
        for (const QString& password : passwords) {
            if (!AbstractPlcProjectModel::recoverInterruptedSave(file, password, &error))
                return QStringLiteral("unopenable: ") + error;
            error.clear();
            const auto found = savetrials::tableDigests(file, &error, password);
            if (found.isEmpty())
                continue;
            // The model itself must open it too, not only a plain connection.
            PlcProjectModel project("Check", folder.toStdString(), file);
            if (!project.open("Check", file, password.toStdString(), true))
                return QStringLiteral("unopenable: the model does not open it: ") + project.lastError();
            if (openedWith)
                *openedWith = static_cast<int>(passwords.indexOf(password));
            return savetrials::classify(found, before, after);
        }
        return QStringLiteral("unopenable: ") + error;
    }

    static void report(const char* what, int trials, const std::map<QString, int>& counts)
    {
        std::printf("%s: %d trials;", what, trials);
        for (const char* name : {"old", "new", "mixed", "unopenable", "lock blocking"}) {
            int n = 0;
            for (const auto& entry : counts)
                if (entry.first.startsWith(QLatin1String(name)))
                    n += entry.second;
            std::printf(" %s %d;", name, n);
        }
        std::printf("\n");
        std::fflush(stdout);
    }
};

TEST_F(CrashTrials, aSaveKilledAtAnyMomentLeavesTheOldOrTheNewState)
{
    const int trials = envCount("DATAMODEL_CRASH_TRIALS", 20);
    const int scale = envCount("DATAMODEL_CRASH_SCALE", 60);
    QString error;

    // One save that runs to its end gives the state after and how long a save takes.
    const std::string reference = copyOf(base, "reference");
    bool killed = false;
    const qint64 saveUs = runChild({"save", QString::fromStdString(reference), QString::number(scale)}, -1, &killed);
    const auto after = savetrials::tableDigests(reference, &error);
    ASSERT_FALSE(after.isEmpty()) << error.toStdString();
    ASSERT_NE(savetrials::classify(after, before, before).toStdString(), "old");

    std::mt19937 random(20261207u + static_cast<unsigned>(trials));
    std::uniform_int_distribution<qint64> moment(0, saveUs + saveUs / 10);
    std::map<QString, int> counts;
    int kills = 0;
    for (int i = 0; i < trials; ++i) {
        const std::string file = copyOf(base, QStringLiteral("trial%1").arg(i));
        runChild({"save", QString::fromStdString(file), QString::number(scale)}, moment(random), &killed);
        kills += killed ? 1 : 0;
        const QString found = outcome(file, before, after, {AbstractPlcProjectModel::DefaultPassword});
        ++counts[found];
        EXPECT_TRUE(found == "old" || found == "new") << "trial " << i << ": " << found.toStdString();
    }
    report("killed saves", trials, counts);
    std::printf("  %d of them killed before their end; a whole save took %lld us\n", kills,
                static_cast<long long>(saveUs));
}

TEST_F(CrashTrials, aPasswordChangeKilledAtAnyMomentLeavesTheOldOrTheNewPassword)
{
    const int trials = envCount("DATAMODEL_PASSWD_TRIALS", 6);
    QString error;

    const std::string reference = copyOf(base, "reference");
    bool killed = false;
    const qint64 rekeyUs = runChild({"passwd", QString::fromStdString(reference), newPassword}, -1, &killed);
    ASSERT_TRUE(savetrials::tableDigests(reference, &error, AbstractPlcProjectModel::DefaultPassword).isEmpty())
        << "the old password no longer opens it";
    ASSERT_EQ(savetrials::tableDigests(reference, &error, newPassword), before) << error.toStdString();

    std::mt19937 random(7u + static_cast<unsigned>(trials));
    std::uniform_int_distribution<qint64> moment(0, rekeyUs + rekeyUs / 10);
    std::map<QString, int> counts;
    std::map<int, int> byPassword;
    for (int i = 0; i < trials; ++i) {
        const std::string file = copyOf(base, QStringLiteral("trial%1").arg(i));
        runChild({"passwd", QString::fromStdString(file), newPassword}, moment(random), &killed);
        // Either password may open it, and what it opens is the content as it was.
        int openedWith = -1;
        const QString found =
            outcome(file, before, before, {AbstractPlcProjectModel::DefaultPassword, newPassword}, &openedWith);
        ++counts[found];
        ++byPassword[openedWith];
        EXPECT_EQ(found.toStdString(), "old") << "trial " << i;
    }
    report("killed password changes", trials, counts);
    std::printf("  opened with the old password %d, with the new one %d\n", byPassword[0], byPassword[1]);
}

} // namespace
