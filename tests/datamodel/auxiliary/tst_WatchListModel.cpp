// Watch lists: names, order, the limit of 5000 lists, undo through the sub-model slots, the
// round trip through the file and the rebuild of an older table without an Id column.
#include "ModelTestSupport.h"

#include "datamodel/auxiliary/WatchListModel.h"
#include "datamodel/model/DatabaseConnection_p.h"
#include "datamodel/project/PlcProjectModel.h"

#include <QSignalSpy>
#include <QSqlQuery>

using testsupport::ModelTest;

namespace {

const QString quote = QString::fromUtf8(testsupport::awkward::quote);
const QString percent = QString::fromUtf8(testsupport::awkward::percent);
const QString chinese = QString::fromUtf8(testsupport::awkward::chinese);

class WatchLists : public ModelTest
{
protected:
    void SetUp() override
    {
        ModelTest::SetUp();
        project = createProject("Plant");
        ASSERT_TRUE(project);
        model = project->subModel<WatchListModel>();
        ASSERT_TRUE(model);
        file = databaseFile("Plant");
    }
    void reopen(bool writable = true)
    {
        project.reset();
        project = openProject("Plant", writable);
        ASSERT_TRUE(project);
        model = project->subModel<WatchListModel>();
    }
    QStringList variables(const QString& list) const
    {
        QStringList out;
        WatchListObject* object = model->getObject(list);
        for (int i = 0; object && i < object->variableCount(); ++i)
            out << object->getVariableName(i);
        return out;
    }

    std::unique_ptr<PlcProjectModel> project;
    WatchListModel* model = nullptr;
    std::string file;
};

TEST_F(WatchLists, NamesOrderAndSignals)
{
    ASSERT_TRUE(model->appendWatchList("Axes"));
    EXPECT_EQ(model->getObject("Axes")->getID(), 1u) << "the first list of a new project";
    ASSERT_TRUE(model->appendWatchList("Pumps"));
    EXPECT_FALSE(model->appendWatchList("AXES"));
    EXPECT_EQ(model->getLastError(), "WatchList AXES Already Exist!");
    ASSERT_TRUE(model->appendWatchList("Valves"));
    EXPECT_EQ(model->getObject("Valves")->getID(), 3u) << "a refusal takes no id";
    EXPECT_EQ(model->getWatchListNames(), QStringList({"Axes", "Pumps", "Valves"}));
    EXPECT_FALSE(model->renameWatchList("Pumps", "valves")) << "the new name is taken";
    EXPECT_TRUE(model->renameWatchList("Pumps", "PUMPS")) << "a list may change the case of its own name";

    WatchListObject* axes = model->getObject("Axes");
    QSignalSpy forwarded(model, &WatchListModel::dataChanged);
    ASSERT_TRUE(axes->appendVariable("Main.x"));
    ASSERT_TRUE(axes->appendVariable("GVL.y"));
    ASSERT_TRUE(axes->appendVariable("Main.x")) << "a variable may be watched twice";
    ASSERT_TRUE(axes->setVariableName(1, "GVL.z"));
    ASSERT_TRUE(axes->removeVariable(QStringLiteral("Main.x")));
    EXPECT_FALSE(axes->removeVariable(5));
    EXPECT_FALSE(axes->removeVariable(-1));
    EXPECT_EQ(variables("Axes"), QStringList({"GVL.z", "Main.x"}));
    ASSERT_EQ(forwarded.count(), 5);
    auto signal = [&](int i) {
        return forwarded[i][1].toString() + " " + forwarded[i][2].toString();
    };
    EXPECT_EQ(signal(0), "variableChanged 0");
    EXPECT_EQ(signal(2), "variableChanged 2");
    EXPECT_EQ(signal(3), "variableChanged 1");
    EXPECT_EQ(signal(4), "variableRemoved 0");
    EXPECT_EQ(forwarded[4][0].value<ModelObject*>(), axes);
}

TEST_F(WatchLists, AtMost5000Lists)
{
    for (int i = 1; i <= 5000; ++i)
        ASSERT_TRUE(model->appendWatchList(QString("L%1").arg(i))) << i;
    EXPECT_EQ(model->getObject("L5000")->getID(), 5000u);
    EXPECT_FALSE(model->appendWatchList("L5001"));
    EXPECT_TRUE(model->getLastError().contains("5000")) << model->getLastError().toStdString();
    EXPECT_EQ(model->getObject("L5001"), nullptr);
    EXPECT_EQ(model->getWatchListNames().size(), 5000);

    // Gone and back: the freed id is the next one, and the limit still holds.
    ASSERT_TRUE(model->removeWatchList("L17"));
    ASSERT_TRUE(model->appendWatchList("Again"));
    EXPECT_EQ(model->getObject("Again")->getID(), 17u);
    EXPECT_FALSE(model->appendWatchList("More"));

    ASSERT_TRUE(model->save());
    EXPECT_EQ(rows(file, "SELECT count(*), max(Id) FROM WatchList"), QStringList{"5000|5000"});
}

TEST_F(WatchLists, RoundTripUndoAndSweep)
{
    ASSERT_TRUE(model->appendWatchList(quote));
    ASSERT_TRUE(model->appendWatchList(chinese));
    ASSERT_TRUE(model->appendWatchList("Empty"));
    WatchListObject* first = model->getObject(quote);
    first->appendVariable(percent);
    first->appendVariable(chinese + ".'x'");
    first->setPropertys(R"({"Layout":"it's"})");
    ASSERT_TRUE(project->save());
    reopen();
    EXPECT_EQ(model->getWatchListNames(), QStringList({quote, chinese, "Empty"}));
    EXPECT_EQ(variables(quote), QStringList({percent, chinese + ".'x'"}));
    EXPECT_EQ(model->getObject(quote)->getPropertys(), R"({"Layout":"it's"})");
    EXPECT_FALSE(model->getObject(quote)->isModified());

    // Remove through the slot as the command stack does, then put it back.
    WatchListObject* list = model->getObject(quote);
    const QString path = model->getObjPath(list);
    QString data;
    ASSERT_TRUE(model->removeObject(path, data));
    EXPECT_EQ(model->getObject(quote), nullptr);
    ASSERT_TRUE(model->renameObject(model->getObjPath(model->getObject("Empty")), "Renamed"));
    EXPECT_FALSE(model->renameObject(model->getObjPath(model->getObject("Renamed")), chinese));
    ASSERT_TRUE(model->save());
    EXPECT_EQ(rows(file, "SELECT Name FROM WatchList ORDER BY Id"), QStringList({chinese, "Renamed"}));
    ASSERT_TRUE(model->insertObject(path, data));
    EXPECT_FALSE(model->insertObject(path, data)) << "the id is in use again";
    EXPECT_EQ(variables(quote), QStringList({percent, chinese + ".'x'"}));

    // All removed: the save empties the table.
    for (const QString& name : model->getWatchListNames())
        ASSERT_TRUE(model->removeWatchList(name));
    ASSERT_TRUE(model->save());
    EXPECT_EQ(rows(file, "SELECT count(*) FROM WatchList"), QStringList{"0"});
}

TEST_F(WatchLists, ListDataThatIsNoArray)
{
    project.reset();
    {
        ScopedConnection db("test", file, AbstractPlcProjectModel::DefaultPassword, true);
        QSqlQuery query(db.db());
        ASSERT_TRUE(query.exec(R"(INSERT INTO WatchList (Id, Name, ListData, Properties) VALUES )"
                               R"((4, 'Broken', '{"VarName":"x"}', ''), (9, 'Kept', '[{"VarName":"a","Format":"hex"}]', 'p'))"));
    }
    reopen();
    EXPECT_EQ(model->getObject("Broken")->variableCount(), 0);
    EXPECT_EQ(model->getObject("Kept")->getListData(), R"([{"Format":"hex","VarName":"a"}])") << "other members stay";
    ASSERT_TRUE(model->appendWatchList("New"));
    EXPECT_EQ(model->getObject("New")->getID(), 1u);
}

TEST_F(WatchLists, OlderTableWithoutIdKeepsItsLists)
{
    project.reset();
    {
        ScopedConnection db("test", file, AbstractPlcProjectModel::DefaultPassword, true);
        QSqlQuery query(db.db());
        ASSERT_TRUE(query.exec("DROP TABLE WatchList"));
        ASSERT_TRUE(query.exec("CREATE TABLE WatchList (Name TEXT, ListData TEXT)"));
        ASSERT_TRUE(query.exec(R"(INSERT INTO WatchList VALUES ('Old ''one''', '[{"VarName":"Main.a"}]'), ('Two', '[]'))"));
    }
    reopen(false);
    EXPECT_EQ(model->getWatchListNames(), QStringList({"Old 'one'", "Two"})) << "read-only: read as it is";
    EXPECT_EQ(rows(file, "PRAGMA TABLE_INFO(WatchList)").size(), 2) << "the file is left as it was";

    reopen(true);
    EXPECT_EQ(model->getWatchListNames(), QStringList({"Old 'one'", "Two"}));
    EXPECT_EQ(variables("Old 'one'"), QStringList{"Main.a"});
    ASSERT_TRUE(model->appendWatchList("Three"));
    ASSERT_TRUE(project->save());
    EXPECT_EQ(rows(file, "SELECT Id, Name, ListData FROM WatchList ORDER BY Id"),
              QStringList({R"(1|Old 'one'|[{"VarName":"Main.a"}])", "2|Two|[]", "3|Three|[]"}));
}

} // namespace
