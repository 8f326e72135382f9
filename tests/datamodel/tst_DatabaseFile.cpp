// The project database file: the creation scripts, the tables added to older files, and the
// operations that open, check and re-key a file.
#include "ModelTestSupport.h"

#include "datamodel/model/DatabaseConnection_p.h"
#include "datamodel/project/PlcLibraryModel.h"
#include "datamodel/project/PlcProjectModel.h"
#include "datamodel/model/PrjInfoModel.h"

#include <QFile>
#include <QProcess>
#include <QSqlQuery>

using testsupport::ModelTest;

namespace {

const QStringList projectTables = {
    "AxisGroupTable", "AxisTable", "DataType", "DeviceTree", "DeviceType", "EcamPoints", "EcamTable",
    "Folder", "GlobalVar", "HmiCfgTable", "LibIdMap", "LibraryManager", "MiscProperties", "ModelVersion",
    "MonitorTable", "MonitorVars", "POU", "POUInTask", "ProjectInfo", "SoftwareComponentTable", "Task",
    "Trace", "WatchList"};

const QString tablesQuery =
    "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite_%' ORDER BY name";
const QString triggersQuery = "SELECT name FROM sqlite_master WHERE type = 'trigger' ORDER BY name";

class DatabaseFile : public ModelTest
{
};

TEST_F(DatabaseFile, newProjectHoldsTheScriptsTablesTriggersAndRows)
{
    auto project = createProject("Line1");
    const std::string file = databaseFile("Line1");
    project.reset();

    EXPECT_EQ(rows(file, tablesQuery), projectTables);
    EXPECT_EQ(rows(file, triggersQuery), QStringList({"delete_folder_table", "delete_monitor_table"}))
        << "the trigger on the missing table CamTable is not created";
    EXPECT_EQ(rows(file, "SELECT Id, Type, VersionCreated FROM ProjectInfo"), QStringList({"1|0|1.2.0"}));
    EXPECT_EQ(rows(file, "SELECT Id, Name FROM MiscProperties"), QStringList({"0|Task Config"}));
    EXPECT_EQ(rows(file, "SELECT Id, Type, Name FROM Task"), QStringList({"1|2|Main_task"}));
    EXPECT_EQ(rows(file, "SELECT Id, TaskId, POUID FROM POUInTask"), QStringList({"1|1|2"}));
    EXPECT_EQ(rows(file, "SELECT Id, Name, Path, Properties FROM LibraryManager ORDER BY Id"),
              QStringList({R"(1|sys_include.nvl|/Libraries/norvale/sys_include|{"IsLatestVersion":"true","SpecifyVersion":"0.0.0.0"})",
                           R"(2|motion_control.nvl|/Libraries/norvale/motion_control|{"IsLatestVersion":"true","SpecifyVersion":"0.2.0.0"})"}));
    EXPECT_EQ(rows(file, "SELECT Id, Type, Name FROM DeviceType ORDER BY Id"), QStringList({"1|1|CPU", "2|2|BUS"}));
    EXPECT_EQ(rows(file, "SELECT Id, TypeId FROM DeviceTree WHERE Id < 1"), QStringList({"-1|1"}))
        << "the script's row stays beside the device tree";
    EXPECT_EQ(rows(file, "SELECT Passwrod FROM ProjectInfo"), QStringList({"NULL"}))
        << "the password column stays as the script left it";
}

TEST_F(DatabaseFile, japaneseStyleAddsItsLibraryRow)
{
    auto project = createProject("JpLine", "JPStyle");
    project.reset();
    EXPECT_EQ(rows(databaseFile("JpLine"), "SELECT Id, Name, Path, Properties FROM LibraryManager WHERE Id = 3"),
              QStringList({R"(3|jp_utils.nvl|/Libraries/norvale/jp_utils|{"IsLatestVersion":"true","SpecifyVersion":"0.0.0.0"})"}));
}

TEST_F(DatabaseFile, newLibraryHoldsTheLibraryScript)
{
    auto library = createLibrary("Valves", "UserLib");
    library.reset();
    const std::string file = databaseFile("Valves", "UserLib");
    EXPECT_EQ(rows(file, tablesQuery),
              QStringList({"DataType", "Folder", "GlobalVar", "InternationalLang", "InternationalTable",
                           "LibraryManager", "MiscProperties", "POU", "ProjectInfo", "WatchList"}));
    EXPECT_EQ(rows(file, triggersQuery), QStringList({"delete_folder_table"}));
    EXPECT_EQ(rows(file, "SELECT Type, quote(Key), quote(Context), Ref_flag FROM InternationalTable"),
              QStringList({"0|''|''|0"}));
    EXPECT_EQ(rows(file, "SELECT Id, Lang FROM InternationalLang ORDER BY Id"), QStringList({"1|zh_CN", "2|en_US"}));
    EXPECT_EQ(rows(file, "SELECT count(*) FROM LibraryManager"), QStringList({"2"}));
    // The versions of a library are text; the author and company come from the script.
    EXPECT_EQ(rows(file, "SELECT Type, Author, Version, typeof(VersionCreated) FROM ProjectInfo"),
              QStringList({"1|Li Wei|0.0.0.0|text"}));
    const QStringList properties = rows(file, "SELECT Properties FROM ProjectInfo");
    ASSERT_EQ(properties.size(), 1);
    EXPECT_TRUE(properties[0].contains(R"("Company":"Norvale")")) << properties[0].toStdString();
}

TEST_F(DatabaseFile, deletingAFolderDeletesWhatIsFiledUnderIt)
{
    createProject("Filed").reset();
    const std::string file = databaseFile("Filed");
    {
        ScopedConnection connection("test", file, AbstractPlcProjectModel::DefaultPassword, true);
        QSqlQuery query(connection.db());
        for (const char* statement :
             {"INSERT INTO Folder (Id, ParentId, Type, Name) VALUES (5, 0, 2, 'keep')",
              "INSERT INTO Folder (Id, ParentId, Type, Name) VALUES (6, 0, 2, 'drop')",
              "INSERT INTO POU (Id, Name, FolderId) VALUES (11, 'a', 5)", "INSERT INTO POU (Id, Name, FolderId) VALUES (12, 'b', 6)",
              "INSERT INTO DataType (Id, Name, FolderId) VALUES (1, 't', 6)",
              "INSERT INTO GlobalVar (Id, Name, FolderId) VALUES (11, 'g', 6)",
              "INSERT INTO GlobalVar (Id, Name, FolderId) VALUES (12, 'h', 5)", "DELETE FROM Folder WHERE Id = 6"})
            ASSERT_TRUE(query.exec(QString::fromLatin1(statement))) << statement;
    }
    EXPECT_EQ(rows(file, "SELECT Name FROM POU WHERE FolderId != 0"), QStringList({"a"}));
    EXPECT_EQ(rows(file, "SELECT count(*) FROM DataType"), QStringList({"0"}));
    EXPECT_EQ(rows(file, "SELECT Name FROM GlobalVar WHERE FolderId != 0"), QStringList({"h"}));
}

TEST_F(DatabaseFile, olderFilesGetTheMissingTablesOnceAndOnlyWhenWritable)
{
    createProject("Old").reset();
    const std::string file = databaseFile("Old");
    {
        ScopedConnection connection("test", file, AbstractPlcProjectModel::DefaultPassword, true);
        QSqlQuery query(connection.db());
        ASSERT_TRUE(query.exec("DROP TABLE EcamPoints"));
        ASSERT_TRUE(query.exec("DROP TABLE HmiCfgTable"));
    }
    const QString count = "SELECT count(*) FROM sqlite_master WHERE name IN ('EcamTable', 'EcamPoints', 'HmiCfgTable')";
    {
        auto readOnly = openProject("Old", false);
        ASSERT_TRUE(readOnly);
    }
    EXPECT_EQ(rows(file, count), QStringList({"1"})) << "a read-only open adds no table";
    {
        auto writable = openProject("Old", true);
        ASSERT_TRUE(writable);
    }
    EXPECT_EQ(rows(file, count), QStringList({"3"}));
    EXPECT_EQ(rows(file, "SELECT sql FROM sqlite_master WHERE name = 'EcamPoints'")[0].contains("REFERENCES EcamTable"), true);
    {
        auto again = openProject("Old", true);
        ASSERT_TRUE(again);
    }
    EXPECT_EQ(rows(file, count), QStringList({"3"}));
    EXPECT_FALSE(logged("adding table")) << "no CREATE failed because a table existed already";
}

TEST_F(DatabaseFile, checkDbValidTellsProjectsFromOtherFiles)
{
    createProject("Valid").reset();
    const std::string valid = databaseFile("Valid");
    EXPECT_TRUE(AbstractPlcProjectModel::checkDbValid("check", valid));

    EXPECT_FALSE(AbstractPlcProjectModel::checkDbValid("check", temp.file("missing.nvp")));
    QFile empty(temp.filePath("empty.nvp"));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    EXPECT_FALSE(AbstractPlcProjectModel::checkDbValid("check", temp.file("empty.nvp")));
    EXPECT_FALSE(QFile(temp.filePath("empty.nvp")).size()) << "an empty file is not opened (and so not written)";

    QFile text(temp.filePath("notes.txt"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("these are notes, not a database\n");
    text.close();
    EXPECT_FALSE(AbstractPlcProjectModel::checkDbValid("check", temp.file("notes.txt")));

    // A plaintext SQLite file written by the sqlcipher shell without a key.
    QProcess shell;
    shell.start("sqlcipher", {temp.filePath("plain.db")});
    ASSERT_TRUE(shell.waitForStarted());
    shell.write("CREATE TABLE t(a); INSERT INTO t VALUES (1);\n.quit\n");
    shell.closeWriteChannel();
    ASSERT_TRUE(shell.waitForFinished());
    EXPECT_FALSE(AbstractPlcProjectModel::checkDbValid("check", temp.file("plain.db")));

    // A project whose password was changed is still a valid project file.
    {
        auto project = openProject("Valid");
        ASSERT_TRUE(project);
        ASSERT_TRUE(AbstractPlcProjectModel::modifyDbPassword(project.get(), "other"));
    }
    EXPECT_TRUE(AbstractPlcProjectModel::checkDbValid("check", valid));
    int error = 0;
    EXPECT_FALSE(AbstractPlcProjectModel::checkDbFile("check", valid, error, AbstractPlcProjectModel::DefaultPassword));
    EXPECT_EQ(error, 200);
    error = 0;
    EXPECT_TRUE(AbstractPlcProjectModel::checkDbFile("check", valid, error, "other"));
    EXPECT_EQ(error, 0);
}

TEST_F(DatabaseFile, rekeyWithAQuoteAndAFailedRekeyKeepsTheOldPassword)
{
    createProject("Keyed").reset();
    const std::string file = databaseFile("Keyed");
    const QString quoted = QString::fromUtf8(u8"it's \"mine\" 主");
    {
        auto project = openProject("Keyed");
        ASSERT_TRUE(project);
        EXPECT_FALSE(AbstractPlcProjectModel::modifyDbPassword(nullptr, quoted));
        ASSERT_TRUE(AbstractPlcProjectModel::modifyDbPassword(project.get(), quoted));
        EXPECT_EQ(project->password(), quoted);
        EXPECT_TRUE(logged("修改工程密码"));
        // The model keeps working on its connection after the re-key.
        auto* info = project->subModel<PrjInfoModel>()->projectInfo();
        info->setComments("after rekey");
        EXPECT_TRUE(project->save());
    }
    int error = 0;
    EXPECT_FALSE(AbstractPlcProjectModel::checkDbFile("check", file, error, AbstractPlcProjectModel::DefaultPassword));
    EXPECT_EQ(rows(file, "SELECT Description FROM ProjectInfo", quoted), QStringList({"after rekey"}));

    // A read-only model cannot re-key its file: it must keep the password that opens it.
    auto readOnly = openProject("Keyed", false, quoted);
    ASSERT_TRUE(readOnly);
    EXPECT_FALSE(AbstractPlcProjectModel::modifyDbPassword(readOnly.get(), "never"));
    EXPECT_EQ(readOnly->password(), quoted);
    readOnly.reset();
    EXPECT_TRUE(AbstractPlcProjectModel::checkDbFile("check", file, error, quoted));
}

TEST_F(DatabaseFile, connectionsAreRemovedAgainAndNeverReplaced)
{
    createProject("Leak").reset();
    const std::string file = databaseFile("Leak");
    const QStringList before = QSqlDatabase::connectionNames();
    int error = 0;
    for (int i = 0; i < 1000; ++i) {
        switch (i % 10) {
        case 0: AbstractPlcProjectModel::checkDbValid("leak", file); break;
        case 1: AbstractPlcProjectModel::checkDbFile("leak", temp.file("missing.nvp"), error, "x"); break;
        case 2: { QSqlDatabase db; AbstractPlcProjectModel::openDB("leak", temp.file("missing.nvp"), db, "x", false); break; }
        default: AbstractPlcProjectModel::checkDbValid("leak", temp.file("missing.nvp")); break;
        }
    }
    EXPECT_EQ(AbstractPlcProjectModel::getProjectInfo("leak", QString::fromStdString(file)).value("fileName"), "Leak");
    EXPECT_EQ(QSqlDatabase::connectionNames(), before);

    // Two models opened under one name in the same second keep separate connections: the
    // second open must not replace (and so invalidate) the first one's.
    auto first = openProject("Leak");
    auto second = openProject("Leak", false);
    ASSERT_TRUE(first && second);
    EXPECT_NE(first->db().connectionName(), second->db().connectionName());
    second.reset();
    EXPECT_TRUE(first->db().isOpen());
    first->subModel<PrjInfoModel>()->projectInfo()->setAuthor("still writing");
    EXPECT_TRUE(first->save());
    first.reset();
    EXPECT_EQ(QSqlDatabase::connectionNames(), before);
}

} // namespace
