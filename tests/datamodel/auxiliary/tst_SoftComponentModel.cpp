// Soft component comments: the insert state machine, multi-word types, address names, the
// round trip through the file and the migration of the older table.
#include "ModelTestSupport.h"
#include "support/RawDatabase.h"

#include "datamodel/auxiliary/SoftComponentModel.h"
#include "datamodel/model/DatabaseConnection_p.h"
#include "datamodel/project/PlcProjectModel.h"
#include "host/CookieStore.h"
#include "host/DefaultApplication.h"
#include "host/SettingsStore.h"

#include <QSignalSpy>
#include <QSqlQuery>

using testsupport::ModelTest;
using Model = SoftComponentModel;
using Info = SoftComponentModel::SoftComponentInfo;

namespace {

const QString quote = QString::fromUtf8(testsupport::awkward::quote);
const QString percent = QString::fromUtf8(testsupport::awkward::percent);
const QString chinese = QString::fromUtf8(testsupport::awkward::chinese);

class SoftComponents : public ModelTest
{
protected:
    void SetUp() override
    {
        ModelTest::SetUp();
        project = createProject("Plant");
        ASSERT_TRUE(project);
        model = project->subModel<SoftComponentModel>();
        ASSERT_TRUE(model);
        file = databaseFile("Plant");
        // Address texts are parsed by the compiler core of the current project.
        testsupport::defaultHost().cookies()->setValue("Project.Name", "Plant");
    }
    void TearDown() override { testsupport::defaultHost().cookies()->setValue("Program.Style", QVariant()); }

    void reopen(bool writable = true)
    {
        project.reset();
        project = openProject("Plant", writable);
        ASSERT_TRUE(project);
        model = project->subModel<SoftComponentModel>();
    }
    // Runs statements on the closed file as an older version of the IDE left it.
    void edit(const QStringList& statements)
    {
        project.reset();
        ScopedConnection connection("test", file, AbstractPlcProjectModel::DefaultPassword, true);
        ASSERT_TRUE(connection.isOpen());
        for (const QString& statement : statements) {
            QSqlQuery query(connection.db());
            ASSERT_TRUE(query.exec(statement)) << statement.toStdString();
        }
    }
    int state(const QString& letter, int order) const
    {
        Info missing;
        missing.state = -9;
        return model->softComponentTable(letter)->softComponentInfos().value(order, missing).state;
    }
    int id(const QString& letter, int order) const
    {
        return model->softComponentTable(letter)->softComponentInfos().value(order).id;
    }
    QStringList stored(const QString& where = "1") const
    {
        return rows(file, "SELECT Id, Name, OrderNum, Snapshot, Comments, BitComments, Properties FROM "
                          "SoftwareComponentTable WHERE " + where + " ORDER BY Name, OrderNum");
    }

    std::unique_ptr<PlcProjectModel> project;
    SoftComponentModel* model = nullptr;
    std::string file;
};

TEST_F(SoftComponents, InsertStateMachine)
{
    QSignalSpy changed(model, &SoftComponentModel::dataChanged);
    // Set and emptied again before a save: nothing reaches the file, the id is free again.
    ASSERT_TRUE(model->insertSoftComponentComment("D", 5, "temporary"));
    EXPECT_EQ(state("D", 5), Model::ToInsert);
    const int firstId = id("D", 5);
    ASSERT_TRUE(model->insertSoftComponentComment("D", 5, ""));
    EXPECT_FALSE(model->softComponentTable("D")->softComponentInfos().contains(5));
    ASSERT_TRUE(model->save());
    EXPECT_TRUE(stored().isEmpty());
    EXPECT_EQ(changed.count(), 2);

    // Stored, then emptied: the row is deleted by the next save.
    ASSERT_TRUE(model->insertSoftComponentComment("D", 6, "kept"));
    EXPECT_EQ(id("D", 6), firstId) << "the freed id is handed out again";
    ASSERT_TRUE(model->save());
    EXPECT_EQ(state("D", 6), Model::Stored);
    ASSERT_TRUE(model->insertSoftComponentComment("D", 6, ""));
    EXPECT_EQ(state("D", 6), Model::ToDelete);
    EXPECT_EQ(model->getSoftCommentcomment("D", 6), "");
    EXPECT_FALSE(model->getSoftCommentInfos("D").contains(6)) << "an entry waiting for deletion is not shown";
    ASSERT_TRUE(model->save());
    EXPECT_TRUE(stored().isEmpty());
    EXPECT_FALSE(model->softComponentTable("D")->softComponentInfos().contains(6));

    // Stored, emptied and filled again before a save: the same row is updated.
    ASSERT_TRUE(model->insertSoftComponentSnap("M", 7, "1"));
    ASSERT_TRUE(model->save());
    const QStringList before = stored();
    ASSERT_EQ(before.size(), 1);
    ASSERT_TRUE(model->insertSoftComponentSnap("M", 7, ""));
    ASSERT_TRUE(model->insertSoftComponentSnap("M", 7, "0"));
    EXPECT_EQ(state("M", 7), Model::ToUpdate);
    ASSERT_TRUE(model->save());
    const QStringList after = stored();
    ASSERT_EQ(after.size(), 1);
    EXPECT_EQ(after[0].section('|', 0, 0), before[0].section('|', 0, 0)) << "same row id";
    EXPECT_EQ(after[0].section('|', 3, 3), "0");
}

TEST_F(SoftComponents, OccupiedAddressesAndValidTypes)
{
    ASSERT_TRUE(model->insertSoftComponentType("D", 100, Model::LREAL));
    EXPECT_FALSE(model->isOccupied("D", 100)) << "the value starts there";
    for (int order = 101; order <= 103; ++order)
        EXPECT_TRUE(model->isOccupied("D", order)) << order;
    EXPECT_FALSE(model->isOccupied("D", 104));
    EXPECT_FALSE(model->isOccupied("D", 99));
    EXPECT_TRUE(model->isOccupied("d102")) << "an address text, letter in any case";
    EXPECT_FALSE(model->isOccupied("Q102"));

    ASSERT_TRUE(model->insertSoftComponentType("D", 200, Model::REAL));
    ASSERT_TRUE(model->insertSoftComponentType("D", 300, Model::DINT));
    EXPECT_TRUE(model->isOccupied("D", 201));
    EXPECT_FALSE(model->isOccupied("D", 202));
    EXPECT_TRUE(model->isOccupied("D", 301));
    EXPECT_FALSE(model->isOccupied("D", 302));

    const QStringList all{"INT", "REAL", "DINT", "LREAL"};
    EXPECT_EQ(model->getValideTypelist("D", 7999), QStringList{"INT"}) << "the last address of the range";
    EXPECT_EQ(model->getValideTypelist("D", 7998), QStringList({"INT", "REAL", "DINT"}));
    EXPECT_EQ(model->getValideTypelist("D", 7996), all);
    EXPECT_EQ(model->getValideTypelist("D", 99), QStringList{"INT"}) << "D100 has a type of its own";
    EXPECT_EQ(model->getValideTypelist("D", 97), QStringList({"INT", "REAL", "DINT"}));
    EXPECT_EQ(model->getValideTypelist("D", 100), all) << "its own LREAL does not keep D100 from being retyped";
    EXPECT_EQ(model->getValideTypelist("D", 102), QStringList{"INT"}) << "D103 lies inside the LREAL at D100";
    EXPECT_EQ(model->getValideTypelist("D", 198), QStringList({"INT", "REAL", "DINT"}));

    // Only D keeps a type in the file: elsewhere it is refused rather than lost.
    EXPECT_FALSE(model->insertSoftComponentType("W", 5, Model::REAL));
    EXPECT_EQ(model->getSoftComponentType("W", 5), Model::INT);
}

TEST_F(SoftComponents, AddressNamesAndTexts)
{
    const auto names = model->getAllSoftCommentNames();
    ASSERT_EQ(names.size(), 8);
    EXPECT_EQ(names["X"].size(), 1024);
    EXPECT_EQ(names["X"].value(8), "X10");
    EXPECT_EQ(names["X"].value(15), "X17");
    EXPECT_EQ(names["Y"].value(1023), "Y1777");
    EXPECT_EQ(names["D"].value(7999), "D7999");
    EXPECT_EQ(names["B"].size(), 32768);
    EXPECT_FALSE(Model::isAddressName("X18")) << "no 8 in octal";
    EXPECT_FALSE(Model::isAddressName("D8000"));
    EXPECT_FALSE(Model::isAddressName("D0100")) << "names have no leading zero";

    // Comments by address text: X in octal, bits of D only.
    ASSERT_TRUE(model->insertSoftCommentComment("X17", "start button"));
    EXPECT_EQ(model->getSoftCommentcomment("X", 15), "start button");
    ASSERT_TRUE(model->insertSoftCommentComment("d100.3", quote));
    ASSERT_TRUE(model->insertSoftCommentComment("D100", "word"));
    EXPECT_EQ(model->getSoftCommentInfo("D", 100).bitComments, (QMap<int, QString>{{3, quote}}));
    EXPECT_EQ(model->getSoftCommentcomment("D100.3"), quote);
    EXPECT_EQ(model->getSoftCommentcomment("D100"), "word");
    for (const char* refused : {"R5.2", "W5.0", "X18", "D8000", "D100.16", "M5.1", "Q1", "", "D+5"})
        EXPECT_FALSE(model->insertSoftCommentComment(refused, "x")) << refused;
    EXPECT_TRUE(model->getSoftCommentInfos("R").isEmpty());
    ASSERT_TRUE(model->insertSoftCommentComment("D100.3", ""));
    EXPECT_TRUE(model->getSoftCommentInfo("D", 100).bitComments.isEmpty());

    // Valid comment addresses only for the Japanese program style.
    auto* cookies = testsupport::defaultHost().cookies();
    cookies->setValue("Program.Style", 0);
    EXPECT_FALSE(model->isSoftCommentcommentValide("D100"));
    cookies->setValue("Program.Style", 1);
    for (const char* valid : {"D100", "d100", "X17", "D100.15", "D100.ud", "M7.wt", "W32767"})
        EXPECT_TRUE(model->isSoftCommentcommentValide(valid)) << valid;
    for (const char* invalid : {"", "X18", "D100.16", "D100.Q", "D100.1.2", "Q5", "D8000.1", "D.1"})
        EXPECT_FALSE(model->isSoftCommentcommentValide(invalid)) << invalid;
}

TEST_F(SoftComponents, RoundTripWithAwkwardValues)
{
    ASSERT_TRUE(model->insertSoftComponentComment("W", 32767, quote));
    ASSERT_TRUE(model->insertSoftComponentSnap("W", 32767, percent));
    ASSERT_TRUE(model->insertSoftComponentComment("R", 0, chinese));
    ASSERT_TRUE(model->insertSoftComponentComment("X", 1023, "last input"));
    ASSERT_TRUE(model->insertSoftComponentComment("Y", 0, "'"));
    ASSERT_TRUE(model->insertSoftComponentComment("M", 7999, "\"double\" \\ back"));
    ASSERT_TRUE(model->insertSoftComponentComment("S", 4095, "line\nbreak"));
    ASSERT_TRUE(model->insertSoftComponentComment("B", 1, "%1%2"));
    Info data;
    data.comment = chinese;
    data.snapshot = "3.5";
    data.type = Model::REAL;
    data.bitComments = {{0, quote}, {15, chinese}};
    ASSERT_TRUE(model->insertSoftCommentInfos("D", {{10, data}}, false));
    const auto before = model->getAllTableSoftCommentComment();
    ASSERT_TRUE(project->save());

    reopen();
    const auto after = model->getAllTableSoftCommentComment();
    ASSERT_EQ(after.keys(), before.keys());
    for (const QString& letter : before.keys()) {
        ASSERT_EQ(after[letter].keys(), before[letter].keys()) << letter.toStdString();
        for (int order : before[letter].keys()) {
            const Info& a = before[letter][order];
            const Info& b = after[letter][order];
            EXPECT_EQ(b.comment, a.comment);
            EXPECT_EQ(b.snapshot, a.snapshot);
            EXPECT_EQ(b.type, a.type);
            EXPECT_EQ(b.bitComments, a.bitComments);
            EXPECT_EQ(b.id, a.id);
            EXPECT_EQ(b.state, Model::Stored);
        }
    }
    // D keeps its type and bits in the file; the other letters write both empty.
    EXPECT_EQ(stored("Name = 'W'").value(0).section('|', 5), "|");
    EXPECT_TRUE(stored("Name = 'D'").value(0).endsWith(R"(|{"type":"1"})"));

    // Replacing a whole table empties what the new content does not name.
    ASSERT_TRUE(model->insertSoftCommentInfos("D", {{11, data}}, true));
    ASSERT_TRUE(project->save());
    reopen();
    EXPECT_EQ(model->getSoftCommentInfos("D").keys(), QList<int>{11});
}

TEST_F(SoftComponents, FailedSaveIsReportedAndKeepsTheEdits)
{
    ASSERT_TRUE(model->insertSoftComponentComment("M", 1, "first"));
    // The table goes under the model's feet: its write fails.
    {
        ScopedConnection other("other", file, AbstractPlcProjectModel::DefaultPassword, true);
        QSqlQuery(other.db()).exec("ALTER TABLE SoftwareComponentTable RENAME TO Parked");
    }
    EXPECT_FALSE(model->save());
    EXPECT_EQ(state("M", 1), Model::ToInsert);
    EXPECT_TRUE(model->softComponentTable("M")->isModified());
    {
        ScopedConnection other("other", file, AbstractPlcProjectModel::DefaultPassword, true);
        QSqlQuery(other.db()).exec("ALTER TABLE Parked RENAME TO SoftwareComponentTable");
    }
    ASSERT_TRUE(model->save()) << "the edit was kept and is written now";
    EXPECT_EQ(stored().size(), 1);
    EXPECT_FALSE(model->softComponentTable("M")->isModified());
}

TEST_F(SoftComponents, MigratesTheOlderTable)
{
    const QString d = QStringLiteral(R"({"100":{"SnapValue":"12","Comments":"%1","BitComments":{"3":"bit '3'","20":"no bit"}},)"
                                     R"("7":{"SnapValue":"","Comments":"%2"}})")
                          .arg("O'Brien", chinese);
    const QString m = QStringLiteral(R"({"5":{"SnapValue":"1","Comments":"it's","BitComments":{"1":"ignored"}}})");
    edit({"DROP TABLE SoftwareComponentTable",
          "CREATE TABLE SoftwareComponent (Id INTEGER PRIMARY KEY, Name TEXT, SnapAndComments TEXT)",
          "INSERT INTO SoftwareComponent (Name, SnapAndComments) VALUES ('D', '" + QString(d).replace("'", "''") + "')",
          "INSERT INTO SoftwareComponent (Name, SnapAndComments) VALUES ('M', '" + QString(m).replace("'", "''") + "')",
          "INSERT INTO SoftwareComponent (Name, SnapAndComments) VALUES ('S', 'not json')"});

    // Read-only: the comments show, the file stays as it is.
    reopen(false);
    EXPECT_EQ(model->getSoftCommentcomment("D", 7), chinese);
    EXPECT_EQ(rows(file, "SELECT count(*) FROM sqlite_master WHERE name = 'SoftwareComponent'"), QStringList{"1"});
    EXPECT_EQ(rows(file, "SELECT count(*) FROM sqlite_master WHERE name = 'SoftwareComponentTable'"), QStringList{"0"});

    reopen(true);
    EXPECT_TRUE(logged("jsonStr2SoftComponentInfos:"));
    EXPECT_EQ(rows(file, "SELECT count(*) FROM sqlite_master WHERE name = 'SoftwareComponent'"), QStringList{"0"});
    EXPECT_EQ(stored().size(), 3);
    reopen(true);
    EXPECT_EQ(model->getSoftCommentcomment("D", 100), "O'Brien");
    EXPECT_EQ(model->getSoftComponentSnap("D", 100), "12");
    EXPECT_EQ(model->getSoftCommentInfo("D", 100).bitComments, (QMap<int, QString>{{3, "bit '3'"}}));
    EXPECT_EQ(model->getSoftCommentcomment("D", 7), chinese);
    EXPECT_EQ(model->getSoftCommentcomment("M", 5), "it's");
    EXPECT_TRUE(model->getSoftCommentInfo("M", 5).bitComments.isEmpty()) << "bit comments are read for D only";
    EXPECT_EQ(stored().size(), 3) << "opening again migrates nothing twice";
}

TEST_F(SoftComponents, InterruptedMigrationLeavesTheOldTable)
{
    edit({"CREATE TABLE SoftwareComponent (Id INTEGER PRIMARY KEY, Name TEXT, SnapAndComments TEXT)",
          R"(INSERT INTO SoftwareComponent (Name, SnapAndComments) VALUES ('D', '{"1":{"Comments":"one"},"2":{"Comments":"boom"}}'))"});
    // The second row of the migration fails.
    ASSERT_TRUE(testsupport::refuseWrites(QString::fromStdString(file), "SoftwareComponentTable", "refuse",
                                          "Comments IS NOT 'boom'"));
    reopen(true);
    EXPECT_TRUE(logged("moving table SoftwareComponent into SoftwareComponentTable failed"));
    EXPECT_EQ(rows(file, "SELECT SnapAndComments FROM SoftwareComponent").size(), 1) << "the old table is intact";
    EXPECT_TRUE(stored().isEmpty()) << "nothing half-written";

    project.reset();
    ASSERT_TRUE(testsupport::allowWrites(QString::fromStdString(file), "SoftwareComponentTable", "refuse"));
    reopen(true);
    EXPECT_EQ(rows(file, "SELECT count(*) FROM sqlite_master WHERE name = 'SoftwareComponent'"), QStringList{"0"});
    EXPECT_EQ(stored().size(), 2);
    EXPECT_EQ(model->getSoftCommentcomment("D", 2), "boom");
}

TEST_F(SoftComponents, DisplayNamesFollowTheInterfaceLanguage)
{
    auto* settings = testsupport::defaultHost().settings();
    settings->setValue("General/Language", "en_US");
    reopen();
    EXPECT_EQ(model->getSoftComponentDisplayName("D"), "Data register");
    settings->setValue("General/Language", "zh_cn");
    reopen();
    EXPECT_EQ(model->getSoftComponentDisplayName("X"), QString::fromUtf8(u8"输入继电器"));
    settings->setValue("General/Language", QVariant());
}

} // namespace
