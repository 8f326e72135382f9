// The HMI variable list: indices without gaps, the name check, the round trip and failures.
#include "ModelTestSupport.h"

#include "datamodel/auxiliary/HmiCfgModel.h"
#include "datamodel/model/DatabaseConnection_p.h"
#include "datamodel/project/PlcProjectModel.h"

#include <QSignalSpy>
#include <QSqlQuery>

using testsupport::ModelTest;

namespace {

class HmiList : public ModelTest
{
protected:
    void SetUp() override
    {
        ModelTest::SetUp();
        project = createProject("Panel");
        ASSERT_TRUE(project);
        model = project->subModel<HmiCfgModel>();
        ASSERT_TRUE(model);
        file = databaseFile("Panel");
    }
    void reopen(bool writable = true)
    {
        project.reset();
        project = openProject("Panel", writable);
        ASSERT_TRUE(project);
        model = project->subModel<HmiCfgModel>();
    }
    void run(const QString& statement)
    {
        ScopedConnection db("test", file, AbstractPlcProjectModel::DefaultPassword, true);
        QSqlQuery query(db.db());
        ASSERT_TRUE(query.exec(statement)) << statement.toStdString();
    }

    std::unique_ptr<PlcProjectModel> project;
    HmiCfgModel* model = nullptr;
    std::string file;
};

TEST_F(HmiList, IndicesStayWithoutGaps)
{
    QSignalSpy changed(model->hmiTable(), &ModelObject::dataChanged);
    EXPECT_EQ(model->getMaxIndex(), -1);
    EXPECT_EQ(model->insertVarFullNames(0, "Main.a"), 0);
    EXPECT_EQ(model->insertVarFullNames(1, "Main.b"), 1);
    EXPECT_EQ(model->insertVarFullNames(7, "Main.c"), 2) << "past the end: appended at the next index";
    EXPECT_EQ(model->insertVarFullNames(-1, "Main.d"), -1);
    EXPECT_EQ(model->insertVarFullNames(0, "GVL.a"), 0) << "an existing index is replaced";
    ASSERT_EQ(changed.count(), 4);
    EXPECT_EQ(changed[0][1].toString(), "HmiCfgEitorView");

    model->removeVarFullNames(1);
    EXPECT_EQ(model->getAllVarFullNames(), (QMap<int, QString>{{0, "GVL.a"}, {1, "Main.c"}}));
    model->removeVarFullNames(5);
    EXPECT_EQ(model->getMaxIndex(), 1);

    EXPECT_TRUE(model->checkVarNameExits(1, "gvl.A")) << "index 0 holds it in other case";
    EXPECT_FALSE(model->checkVarNameExits(0, "GVL.a")) << "only the index itself holds it";
    EXPECT_FALSE(model->checkVarNameExits(0, "Main.x"));
}

TEST_F(HmiList, RoundTripEmptyListAndFailures)
{
    const QStringList names = {QString::fromUtf8(testsupport::awkward::quote), QString::fromUtf8(testsupport::awkward::chinese),
                               QString::fromUtf8(testsupport::awkward::percent), "Main.'a'"};
    for (const QString& name : names)
        model->insertVarFullNames(model->getMaxIndex() + 1, name);
    ASSERT_TRUE(project->save());
    EXPECT_FALSE(model->hmiTable()->isModified());
    reopen();
    EXPECT_EQ(model->getAllVarFullNames().values(), names);
    EXPECT_EQ(rows(file, "SELECT Address, Properties FROM HmiCfgTable LIMIT 1"), QStringList{"|"});

    // A write that fails is reported, and the list keeps its changes for the next save.
    model->removeVarFullNames(0);
    run("ALTER TABLE HmiCfgTable RENAME TO Parked");
    EXPECT_FALSE(model->save());
    EXPECT_TRUE(model->hmiTable()->isModified());
    run("ALTER TABLE Parked RENAME TO HmiCfgTable");
    EXPECT_EQ(rows(file, "SELECT count(*) FROM HmiCfgTable"), QStringList{"4"}) << "the failed write changed nothing";
    ASSERT_TRUE(model->save());
    EXPECT_EQ(rows(file, "SELECT count(*) FROM HmiCfgTable"), QStringList{"3"});

    // An empty list saves as an empty table.
    while (model->getMaxIndex() >= 0)
        model->removeVarFullNames(0);
    ASSERT_TRUE(model->save());
    reopen();
    EXPECT_EQ(model->getMaxIndex(), -1);
    EXPECT_EQ(rows(file, "SELECT count(*) FROM HmiCfgTable"), QStringList{"0"});
}

TEST_F(HmiList, OlderFileWithoutTheTable)
{
    project.reset();
    run("DROP TABLE HmiCfgTable");
    reopen(false);
    EXPECT_EQ(model->getMaxIndex(), -1) << "read-only: nothing to read, no failure";
    EXPECT_EQ(rows(file, "SELECT count(*) FROM sqlite_master WHERE name = 'HmiCfgTable'"), QStringList{"0"});
    reopen(true);
    EXPECT_EQ(rows(file, "SELECT count(*) FROM sqlite_master WHERE name = 'HmiCfgTable'"), QStringList{"1"});
    model->insertVarFullNames(0, "Main.a");
    ASSERT_TRUE(project->save());
    EXPECT_EQ(rows(file, "SELECT FullName FROM HmiCfgTable"), QStringList{"Main.a"});
}

} // namespace
