// A save that meets a failing write, sync or read - a full disk, a failing device - at any
// point: reported, nothing marked saved, the file as it was, and the next save complete.
#include "FaultVfs.h"
#include "ModelTestSupport.h"
#include "SaveTrials.h"

#include "datamodel/project/PlcProjectModel.h"
#include "host/DefaultApplication.h"
#include "host/LogService.h"

#include <QDir>
#include <QFile>

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <vector>

namespace {

using faultvfs::Operation;
using testsupport::ModelTest;

// The operations of a save to fail: every one when there are few, else an even spread that
// always holds the first and the last. DATAMODEL_FAULT_POINTS raises the number.
std::vector<int> pointsToSweep(int total)
{
    const int wanted = std::max(1, qEnvironmentVariableIntValue("DATAMODEL_FAULT_POINTS") > 0
                                       ? qEnvironmentVariableIntValue("DATAMODEL_FAULT_POINTS")
                                       : 14);
    std::set<int> points;
    if (total <= wanted) {
        for (int n = 1; n <= total; ++n)
            points.insert(n);
    } else {
        for (int i = 0; i < wanted; ++i)
            points.insert(1 + static_cast<int>(static_cast<long long>(total - 1) * i / (wanted - 1)));
    }
    return {points.begin(), points.end()};
}

const char* nameOf(Operation kind)
{
    switch (kind) {
    case Operation::Write: return "write";
    case Operation::Sync: return "sync";
    case Operation::Read: return "read";
    }
    return "?";
}

class SaveFaults : public ModelTest
{
protected:
    // The fault VFS in place, and a generated project with the digests of its tables.
    void SetUp() override
    {
        ModelTest::SetUp();
        ASSERT_TRUE(faultvfs::install());
        QString error;
        const auto made = savetrials::makeBaseProject(temp.filePath("base"), "Faults", 24, 6, 6, &error);
        ASSERT_FALSE(made.digests.isEmpty()) << error.toStdString();
        base = made.file;
        before = made.digests;
    }

    std::string base;
    QMap<QString, QByteArray> before;

    // A fresh copy of the base project in a folder of its own.
    std::string trialCopy(const std::string& base, int n)
    {
        const QString folder = temp.filePath(QStringLiteral("trial%1").arg(n));
        QDir().mkpath(folder);
        const std::string file = QDir(folder).filePath("Faults.nvp").toStdString();
        EXPECT_TRUE(QFile::copy(QString::fromStdString(base), QString::fromStdString(file)));
        return file;
    }
    std::unique_ptr<PlcProjectModel> openEdited(const std::string& file)
    {
        auto project = savetrials::openForEditing(QFileInfo(QString::fromStdString(file)).path(), file, "Faults");
        QString error;
        EXPECT_TRUE(project && savetrials::makeLargeEdit(*project, 12, &error)) << error.toStdString();
        return project;
    }
};

TEST_F(SaveFaults, everyFailedOperationOfASaveIsReportedAndLeavesTheOldState)
{
    QString error;

    // A clean save counts the operations and gives the state after.
    const std::string clean = trialCopy(base, 0);
    QMap<QString, QByteArray> after;
    int totals[3] = {};
    {
        auto project = openEdited(clean);
        ASSERT_TRUE(project);
        faultvfs::arm(Operation::Write, 0, SQLITE_OK);
        ASSERT_TRUE(project->save()) << project->lastError().toStdString();
        faultvfs::disarm();
        for (Operation kind : {Operation::Write, Operation::Sync, Operation::Read})
            totals[static_cast<int>(kind)] = faultvfs::count(kind);
        EXPECT_EQ(savetrials::modifiedObjects(*project), 0);
    }
    after = savetrials::tableDigests(clean, &error);
    ASSERT_FALSE(after.isEmpty()) << error.toStdString();
    ASSERT_NE(savetrials::classify(after, before, before).toStdString(), "old") << "the edit changes the file";
    ASSERT_GT(totals[0], 0);
    ASSERT_GT(totals[1], 0);

    int trial = 0, swept = 0, reported = 0, absorbed = 0;
    for (Operation kind : {Operation::Write, Operation::Sync, Operation::Read}) {
        const int total = totals[static_cast<int>(kind)];
        for (int n : pointsToSweep(total)) {
            SCOPED_TRACE(std::string(nameOf(kind)) + " " + std::to_string(n) + " of " + std::to_string(total));
            const int code = n % 2 ? (kind == Operation::Write ? SQLITE_IOERR_WRITE : SQLITE_IOERR) : SQLITE_FULL;
            const std::string file = trialCopy(base, ++trial);
            auto project = openEdited(file);
            ASSERT_TRUE(project);
            const int modified = savetrials::modifiedObjects(*project);
            ASSERT_GT(modified, 0);
            testsupport::defaultHost().logs()->clear();

            faultvfs::arm(kind, n, code);
            const bool saved = project->save();
            faultvfs::disarm();
            ++swept;
            if (faultvfs::failures() == 0)
                ADD_FAILURE() << "the save did not reach this operation";
            if (saved) {
                // SQLite recovered from the fault itself (a read it repeated, say): then the
                // save must be whole.
                ++absorbed;
                EXPECT_EQ(savetrials::modifiedObjects(*project), 0);
                EXPECT_EQ(savetrials::classify(savetrials::tableDigests(file, &error), before, after).toStdString(), "new") << error.toStdString();
                continue;
            }
            ++reported;
            const QString cause = project->lastError();
            EXPECT_TRUE(cause.contains("failed")) << cause.toStdString();
            EXPECT_TRUE(logged(cause.toStdString())) << "a log line names the object and the cause: " << cause.toStdString();
            EXPECT_EQ(savetrials::modifiedObjects(*project), modified) << "no flag is cleared";
            EXPECT_EQ(savetrials::classify(savetrials::tableDigests(file, &error), before, after).toStdString(), "old") << error.toStdString();

            // The fault has passed: the next save writes everything.
            ASSERT_TRUE(project->save()) << project->lastError().toStdString();
            EXPECT_EQ(savetrials::modifiedObjects(*project), 0);
            project.reset();
            EXPECT_EQ(savetrials::classify(savetrials::tableDigests(file, &error), before, after).toStdString(), "new") << error.toStdString();
        }
    }
    std::printf("fault points swept: %d (writes %d, syncs %d, reads %d in a clean save); failures reported: %d; "
                "absorbed by SQLite with a whole save: %d\n",
                swept, totals[0], totals[1], totals[2], reported, absorbed);
    EXPECT_EQ(reported + absorbed, swept);
}

TEST_F(SaveFaults, aSaveAsThatFailsLeavesTheProjectOnItsOwnFile)
{
    QString error;
    const std::string file = trialCopy(base, 1);
    const std::string target = trialCopy(base, 2);
    auto project = openEdited(file);
    ASSERT_TRUE(project);
    const int modified = savetrials::modifiedObjects(*project);

    faultvfs::arm(Operation::Write, 3, SQLITE_FULL);
    EXPECT_FALSE(project->saveAs("Faults", target, true));
    faultvfs::disarm();
    EXPECT_EQ(faultvfs::failures(), 1);
    EXPECT_EQ(project->db().databaseName().toStdString(), file) << "the project stays on its file";
    EXPECT_EQ(savetrials::modifiedObjects(*project), modified);
    EXPECT_EQ(savetrials::classify(savetrials::tableDigests(target, &error), before, before).toStdString(), "old")
        << "the target holds nothing of the failed save";

    // The project still works on its own file, and its next save writes the whole edit there.
    ASSERT_TRUE(project->save()) << project->lastError().toStdString();
    EXPECT_EQ(savetrials::modifiedObjects(*project), 0);
    project.reset();
    EXPECT_NE(savetrials::classify(savetrials::tableDigests(file, &error), before, before).toStdString(), "old");
}

} // namespace
