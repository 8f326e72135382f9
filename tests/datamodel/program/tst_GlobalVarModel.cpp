// Global variable lists: round trips, lookups, setter effects and the undo slots.
#include "ProgramTestSupport.h"

#include "datamodel/project/PlcProjectModel.h"
#include "datamodel/program/GlobalVarModel.h"

#include <QDateTime>
#include <QRegularExpression>

using testsupport::ModelTest;

namespace {

using List = GlobalVarModel::GlobalVarTable;

class GlobalVarModelTest : public ModelTest
{
};

TEST_F(GlobalVarModelTest, everyStoredFieldSurvivesSaveAndReopen)
{
    auto project = createProject("Lists");
    auto* lists = project->subModel<GlobalVarModel>();
    std::vector<unsigned int> ids, times;
    testsupport::makeFolders(*project, FolderModel::GlobleVarForder, 9);
    for (const std::string& name : testsupport::awkwardNames()) {
        const std::string listName = "List" + std::to_string(ids.size());
        List* list = lists->addVarTable(listName, 9);
        ASSERT_TRUE(list) << name;
        EXPECT_TRUE(logged("添加全局变量表:" + listName));
        list->setVarDeclaration("VAR_GLOBAL\n  speed : REAL := 1.5; (* " + name + " *)\nEND_VAR");
        list->setProperty("Row", "4");
        list->setProperty("Text", name);
        ids.push_back(list->id());
        times.push_back(list->modifiedTime());
    }
    ASSERT_TRUE(lists->save());
    project.reset();

    auto reopened = openProject("Lists");
    ASSERT_TRUE(reopened);
    auto* loaded = reopened->subModel<GlobalVarModel>();
    for (std::size_t i = 0; i < ids.size(); ++i) {
        const std::string& name = testsupport::awkwardNames()[i];
        List* list = loaded->varTable(ids[i]);
        ASSERT_TRUE(list) << name;
        EXPECT_EQ(list->name(), "List" + std::to_string(i));
        EXPECT_EQ(list->varDeclaration(), "VAR_GLOBAL\n  speed : REAL := 1.5; (* " + name + " *)\nEND_VAR");
        EXPECT_EQ(list->folderId(), 9u);
        EXPECT_EQ(list->modifiedTime(), times[i]);
        EXPECT_EQ(list->property("Row"), "4");
        EXPECT_EQ(list->property("Text"), name);
        EXPECT_FALSE(list->property("VarDeclModifiedTime").empty());
        EXPECT_FALSE(list->isModified());
    }
}

// Names used to be unique by their bytes only: "MOTORS" beside "Motors" was taken, though
// varTable() finds "Motors" for both. (Lists of older files whose names differ in non-ASCII
// letters only are found as before: tst_NameIndex.)
TEST_F(GlobalVarModelTest, namesAreUniqueAndFoundIgnoringAsciiCase)
{
    auto project = createProject("Names");
    auto* lists = project->subModel<GlobalVarModel>();
    List* first = lists->addVarTable("Motors", 0);
    ASSERT_TRUE(first);
    EXPECT_FALSE(lists->addVarTable("Motors", 0));
    EXPECT_FALSE(lists->addVarTable("MOTORS", 0));
    EXPECT_EQ(lists->lastError(), "add global variable list 'MOTORS' refused: a global variable list named 'Motors' exists already");
    EXPECT_TRUE(lists->addVarTable("Valves", 0));
    EXPECT_TRUE(lists->addVarTable("Pumps", 0));
    EXPECT_EQ(lists->varTable(QString("motors")), first);
    EXPECT_EQ(lists->varTable(QString("Motor")), nullptr);

    std::vector<List*> all;
    lists->allVarTables(all);
    ASSERT_GE(all.size(), 3u);
    for (std::size_t i = 1; i < all.size(); ++i)
        EXPECT_LT(all[i - 1]->id(), all[i]->id());
}

TEST_F(GlobalVarModelTest, changesMarkTheProjectAndStampTheList)
{
    auto project = createProject("Marks");
    auto* lists = project->subModel<GlobalVarModel>();
    List* list = lists->addVarTable("L", 0);
    ASSERT_TRUE(lists->save());
    PrjInfoModel::PrjInfo* info = testsupport::projectInfo(*project);

    struct Case
    {
        const char* name;
        std::function<void()> apply;
        bool marks;
    };
    for (const Case& c : std::vector<Case>{{"rename", [&] { list->rename("M"); }, true},
                                           {"declaration", [&] { list->setVarDeclaration("VAR_GLOBAL END_VAR"); }, true},
                                           {"property", [&] { list->setProperty("k", "v"); }, true},
                                           {"folder", [&] { list->setFolderId(2); }, false},
                                           {"compileTime", [&] { list->setCompileTime(3); }, false},
                                           {"remove", [&] { lists->removeVarTable(list); }, true}}) {
        testsupport::markCompiled(*project);
        if (std::string(c.name) != "remove")
            list->setModified(false);
        c.apply();
        EXPECT_EQ(info->property("Compile"), c.marks ? "false" : "true") << c.name;
        EXPECT_EQ(info->property("ProgramModifiedTime") != "0", c.marks) << c.name;
        if (std::string(c.name) != "remove") {
            EXPECT_TRUE(list->isModified()) << c.name;
        }
    }
    EXPECT_TRUE(logged("重命名:M"));
    EXPECT_TRUE(logged("删除全局变量表:M"));
    EXPECT_FALSE(lists->removeVarTable(nullptr));
}

TEST_F(GlobalVarModelTest, removeInsertAndRestore)
{
    auto project = createProject("Undo");
    auto* lists = project->subModel<GlobalVarModel>();
    testsupport::makeFolders(*project, FolderModel::GlobleVarForder, 8);
    List* list = lists->addVarTable("Percent", 3);
    list->setVarDeclaration("VAR_GLOBAL\n  a : INT;\nEND_VAR");
    list->setProperty("Row", "0");
    const QString path = lists->getObjPath(list);
    EXPECT_EQ(lists->getObjIndex(list), "3" + ObjectPath::Separator + "0");
    const QString before = lists->objToData(list);
    EXPECT_TRUE(before.contains("\"LogicContext\":")) << "the text travels under its mixed-case key";

    QString data;
    ASSERT_TRUE(lists->removeObject(path, data));
    EXPECT_EQ(data, before);
    ASSERT_TRUE(lists->insertObject(path, data));
    List* restored = lists->varTable(path.toUInt());
    ASSERT_TRUE(restored);
    EXPECT_EQ(restored->name(), "Percent");
    EXPECT_EQ(restored->varDeclaration(), "VAR_GLOBAL\n  a : INT;\nEND_VAR");
    EXPECT_EQ(restored->folderId(), 3u);
    EXPECT_EQ(restored->property("Row"), "0");
    EXPECT_FALSE(lists->insertObject(path, data));
    EXPECT_FALSE(lists->insertObject("100001", QString(data).replace("\"ID\":\"" + path + "\"", "\"ID\":\"100001\"")));
    EXPECT_FALSE(lists->insertObject("50", "{\"ID\":\"50\",\"FOLDERID\":\"x\"}"));
    EXPECT_FALSE(lists->varTable(50));

    // restoreObj takes the text and the time the data holds and the file gets them.
    ASSERT_TRUE(lists->save());
    QString old = data;
    old.replace(QRegularExpression("\"MODIFYTIME\":\"\\d+\""), "\"MODIFYTIME\":\"12345\"");
    restored->setVarDeclaration("VAR_GLOBAL\n  b : BOOL;\nEND_VAR");
    ASSERT_TRUE(lists->save());
    ASSERT_TRUE(lists->restoreObj(restored, old));
    EXPECT_EQ(restored->varDeclaration(), "VAR_GLOBAL\n  a : INT;\nEND_VAR");
    EXPECT_EQ(restored->modifiedTime(), 12345u);
    ASSERT_TRUE(lists->save());
    EXPECT_EQ(rows(databaseFile("Undo"), "SELECT LogicContext, ModifyTime FROM GlobalVar WHERE Id = " + path),
              QStringList({"VAR_GLOBAL\n  a : INT;\nEND_VAR|12345"}));
    EXPECT_FALSE(lists->restoreObj(restored, "[]"));

    // Moving and reloading.
    EXPECT_FALSE(lists->moveObject(path, "no separator"));
    ASSERT_TRUE(lists->moveObject(path, "8" + ObjectPath::Separator + "5"));
    EXPECT_EQ(restored->folderId(), 8u);
    EXPECT_TRUE(restored->rename("changed"));
    ASSERT_TRUE(restored->load());
    EXPECT_EQ(restored->name(), "Percent");
    EXPECT_FALSE(restored->isModified());
}

} // namespace
