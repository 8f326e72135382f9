// What the program models share: a failed write is reported and kept for the next save, the
// hidden objects of user projects, save-as, and projects of the largest size the ids allow.
#include "ProgramTestSupport.h"

#include "datamodel/project/PlcLibraryModel.h"
#include "datamodel/project/PlcProjectModel.h"
#include "datamodel/program/CachedProperties.h"
#include "datamodel/program/DataTypeModel.h"
#include "datamodel/program/FolderModel.h"
#include "datamodel/program/GlobalVarModel.h"
#include "datamodel/program/PouModel.h"
#include "datamodel/program/TaskModel.h"

#include <QFile>

#include <functional>

using testsupport::ModelTest;

namespace {

struct Kind
{
    const char* name;
    const char* table;
    const char* failure; // the log line that names the object
    std::function<ModelObject*(AbstractProjectModel&)> add;
    std::function<void(ModelObject*)> change;
};

const std::vector<Kind>& kinds()
{
    static const std::vector<Kind> all = {
        {"Pou", "POU", "save POU 'Main' failed: ",
         [](AbstractProjectModel& p) -> ModelObject* {
             return p.subModel<PouModel>()->addPou("Main", PouModel::PRGPOU, PouModel::POU_ST, 0);
         },
         [](ModelObject* o) { static_cast<PouModel::PouUnit*>(o)->setLogicContext("x := 2;"); }},
        {"GlobalVar", "GlobalVar", "save global variable list 'Main' failed: ",
         [](AbstractProjectModel& p) -> ModelObject* { return p.subModel<GlobalVarModel>()->addVarTable("Main", 0); },
         [](ModelObject* o) { static_cast<GlobalVarModel::GlobalVarTable*>(o)->setVarDeclaration("VAR_GLOBAL END_VAR"); }},
        {"DataType", "DataType", "save data type 'Main' failed: ",
         [](AbstractProjectModel& p) -> ModelObject* {
             return p.subModel<DataTypeModel>()->addDataUnit("Main", DataTypeModel::Struct, 0);
         },
         [](ModelObject* o) { static_cast<DataTypeModel::DataUnit*>(o)->setVarDeclaration("TYPE Main : INT; END_TYPE"); }},
        {"Folder", "Folder", "save folder 'Main' failed: ",
         [](AbstractProjectModel& p) -> ModelObject* {
             return p.subModel<FolderModel>()->addFolder("Main", 0, FolderModel::PouForder);
         },
         [](ModelObject* o) { static_cast<FolderModel::Folder*>(o)->setProperty("Row", "1"); }},
        {"Task", "Task", "save task 'Main' failed: ",
         [](AbstractProjectModel& p) -> ModelObject* { return p.subModel<TaskModel>()->addTask("Main"); },
         [](ModelObject* o) { static_cast<TaskModel::Task*>(o)->setwdtTime(30); }},
        {"TaskCalls", "POUInTask", "save task 'Main' failed: ",
         [](AbstractProjectModel& p) -> ModelObject* { return p.subModel<TaskModel>()->addTask("Main"); },
         [](ModelObject* o) { static_cast<TaskModel::Task*>(o)->addPou(1, -1); }}, // DevicePOU
    };
    return all;
}

class FailedWrite : public ModelTest, public ::testing::WithParamInterface<Kind>
{
};

TEST_P(FailedWrite, isReportedAndKeptForTheNextSave)
{
    const Kind& kind = GetParam();
    auto project = createProject("Broken");
    ModelObject* object = kind.add(*project);
    ASSERT_TRUE(object);
    SubModel* model = object->subModel();
    ASSERT_TRUE(model->save());
    ASSERT_FALSE(object->isModified());

    // Another program takes the table away under the open project.
    const std::string file = databaseFile("Broken");
    ASSERT_TRUE(testsupport::execOn(file, QStringLiteral("ALTER TABLE %1 RENAME TO Moved").arg(kind.table)));
    kind.change(object);
    EXPECT_FALSE(model->save());
    EXPECT_TRUE(object->isModified()) << "the object must be written again by the next save";
    EXPECT_TRUE(logged(kind.failure)) << kind.failure;
    EXPECT_FALSE(object->save()) << "saveObject reports the failure too";
    EXPECT_TRUE(object->isModified());
    EXPECT_FALSE(project->save());

    // Once the table is back, the next save writes what was kept.
    ASSERT_TRUE(testsupport::execOn(file, QStringLiteral("ALTER TABLE Moved RENAME TO %1").arg(kind.table)));
    EXPECT_TRUE(model->save());
    EXPECT_FALSE(object->isModified());
}

INSTANTIATE_TEST_SUITE_P(Models, FailedWrite, ::testing::ValuesIn(kinds()),
                         [](const auto& info) { return std::string(info.param.name); });

class ProgramModels : public ModelTest
{
};

TEST_F(ProgramModels, aReadOnlyProjectReportsItsSavesAsFailed)
{
    createProject("ReadOnly").reset();
    auto project = openProject("ReadOnly", false);
    ASSERT_TRUE(project);
    PouModel::PouUnit* pou = project->subModel<PouModel>()->pou(QString("DevicePOU"));
    ASSERT_TRUE(pou);
    pou->setLogicContext("changed");
    EXPECT_FALSE(project->subModel<PouModel>()->save());
    EXPECT_TRUE(pou->isModified());
    EXPECT_TRUE(logged("save POU 'DevicePOU' failed: "));
}

TEST_F(ProgramModels, userProjectsGetTheHiddenObjectsOnce)
{
    auto project = createProject("Hidden");
    const std::string file = databaseFile("Hidden");
    auto* lists = project->subModel<GlobalVarModel>();
    const std::vector<std::string> hidden = {"HiddenAxisVar", "HiddenAxisGroupVar", "IOMappingVars", "EcamVars"};
    for (const std::string& name : hidden) {
        GlobalVarModel::GlobalVarTable* list = lists->varTable(QString::fromStdString(name));
        ASSERT_TRUE(list) << name;
        EXPECT_EQ(list->property("Hidden"), "true");
        EXPECT_EQ(list->varDeclaration(), "VAR_GLOBAL\nEND_VAR");
        EXPECT_EQ(list->folderId(), 0u);
        EXPECT_FALSE(list->isModified()) << "saved at once";
    }
    PouModel::PouUnit* pou = project->subModel<PouModel>()->pou(QString("DevicePOU"));
    ASSERT_TRUE(pou);
    EXPECT_EQ(pou->type(), PouModel::PRGPOU);
    EXPECT_EQ(pou->languageType(), PouModel::POU_ST);
    EXPECT_EQ(pou->varDeclaration(), "PROGRAM DevicePOU \nVAR\nEND_VAR\n");
    EXPECT_EQ(pou->property("Hidden"), "true");
    EXPECT_FALSE(pou->isModified());
    // Written before any save of the project.
    EXPECT_EQ(rows(file, "SELECT Name FROM GlobalVar ORDER BY Id"),
              QStringList({"HiddenAxisVar", "HiddenAxisGroupVar", "IOMappingVars", "EcamVars"}));
    EXPECT_EQ(rows(file, "SELECT Name, Type, LanguageType FROM POU"), QStringList({"DevicePOU|2|1"}));

    // An existing list stays as it is; an old "DeviceVars" list goes.
    lists->varTable(QString("EcamVars"))->setVarDeclaration("VAR_GLOBAL\n  cam : INT;\nEND_VAR");
    // Users can no longer make such lists (their names are reserved); older files may hold them.
    EXPECT_FALSE(lists->addVarTable("DeviceVars", 0));
    EXPECT_FALSE(lists->addVarTable("devicevars", 0));
    ASSERT_TRUE(project->save());
    project.reset();
    ASSERT_TRUE(testsupport::execOn(file, "INSERT INTO GlobalVar (Id, Name, LogicContext, Properties, FolderId, ModifyTime) "
                                          "VALUES (901, 'DeviceVars', '', '{}', 0, 0), (902, 'devicevars', '', '{}', 0, 0)"));
    auto reopened = openProject("Hidden");
    ASSERT_TRUE(reopened);
    auto* loaded = reopened->subModel<GlobalVarModel>();
    EXPECT_EQ(loaded->varTable(QString("EcamVars"))->varDeclaration(), "VAR_GLOBAL\n  cam : INT;\nEND_VAR");
    std::vector<GlobalVarModel::GlobalVarTable*> all;
    loaded->allVarTables(all);
    std::vector<std::string> names;
    for (auto* list : all)
        names.push_back(list->name());
    EXPECT_EQ(names, (std::vector<std::string>{"HiddenAxisVar", "HiddenAxisGroupVar", "IOMappingVars", "EcamVars",
                                               "devicevars"}));
    ASSERT_TRUE(reopened->save());
    EXPECT_EQ(rows(file, "SELECT count(*) FROM GlobalVar WHERE Name = 'DeviceVars'"), QStringList({"0"}));
    EXPECT_EQ(rows(file, "SELECT count(*) FROM POU WHERE Name = 'DevicePOU'"), QStringList({"1"}));
}

TEST_F(ProgramModels, libraryProjectsGetNoHiddenObjects)
{
    auto library = createLibrary("Lib");
    ASSERT_TRUE(library->subModel<GlobalVarModel>());
    ASSERT_FALSE(library->subModel<TaskModel>()) << "tasks belong to user projects only";
    std::vector<GlobalVarModel::GlobalVarTable*> lists;
    library->subModel<GlobalVarModel>()->allVarTables(lists);
    EXPECT_TRUE(lists.empty());
    EXPECT_FALSE(library->subModel<PouModel>()->pou(QString("DevicePOU")));
}

TEST_F(ProgramModels, saveAsWritesIntoTheCopyAndAnAutomaticSaveKeepsTheFlags)
{
    auto project = createProject("Original");
    auto* pous = project->subModel<PouModel>();
    PouModel::PouUnit* kept = pous->addPou("Kept", PouModel::PRGPOU, PouModel::POU_ST, 0);
    PouModel::PouUnit* dropped = pous->addPou("Dropped", PouModel::PRGPOU, PouModel::POU_ST, 0);
    ASSERT_TRUE(project->save());
    const std::string copy = temp.file("Copy.nvp");
    ASSERT_TRUE(QFile::copy(QString::fromStdString(databaseFile("Original")), QString::fromStdString(copy)));

    ASSERT_TRUE(pous->removePou(dropped));
    kept->setLogicContext("edited");
    ASSERT_TRUE(project->saveAs("Original", copy, false));
    ASSERT_TRUE(project->save());
    EXPECT_TRUE(kept->isModified()) << "an automatic save leaves the project modified";
    EXPECT_EQ(rows(copy, "SELECT Name, LogicContext FROM POU WHERE Name != 'DevicePOU' ORDER BY Id"),
              QStringList({"Kept|edited"}))
        << "the rows of the copy, unknown to the model before, are swept too";
    EXPECT_EQ(rows(databaseFile("Original"), "SELECT count(*) FROM POU"), QStringList({"3"}))
        << "the original file is not touched";
}

TEST_F(ProgramModels, aHundredThousandTypesSaveAndReopen)
{
    auto project = createProject("Large");
    auto* types = project->subModel<DataTypeModel>();
    for (unsigned int i = 1; i <= 100000; ++i) {
        DataTypeModel::DataUnit* unit = types->addDataUnit("T" + std::to_string(i), DataTypeModel::Struct, 0);
        ASSERT_TRUE(unit);
        ASSERT_EQ(unit->id(), i);
    }
    EXPECT_FALSE(types->addDataUnit("OneTooMany", DataTypeModel::Struct, 0)) << "ids end at 100000";
    types->dataUnit(100000)->setVarDeclaration("TYPE T100000 : STRUCT x : INT; END_STRUCT END_TYPE");
    ASSERT_TRUE(types->save());
    project.reset();

    auto reopened = openProject("Large");
    ASSERT_TRUE(reopened);
    auto* loaded = reopened->subModel<DataTypeModel>();
    std::vector<DataTypeModel::DataUnit*> all;
    loaded->allDataUnits(all);
    ASSERT_EQ(all.size(), 100000u);
    EXPECT_EQ(all.front()->name(), "T1");
    EXPECT_EQ(all.back()->varDeclaration(), "TYPE T100000 : STRUCT x : INT; END_STRUCT END_TYPE");

    // Removing most of them in one save: far more ids than one statement may name.
    for (unsigned int id = 1; id <= 99000; ++id)
        ASSERT_TRUE(loaded->removeDataUnit(loaded->dataUnit(id)));
    ASSERT_TRUE(loaded->save());
    EXPECT_EQ(rows(databaseFile("Large"), "SELECT count(*), min(Id) FROM DataType"), QStringList({"1000|99001"}));
}

TEST_F(ProgramModels, removingOneOfFiveThousandPous)
{
    auto project = createProject("Many");
    auto* pous = project->subModel<PouModel>();
    for (int i = 0; i < 5000; ++i)
        ASSERT_TRUE(pous->addPou("P" + std::to_string(i), PouModel::FBPOU, PouModel::POU_ST, 0));
    ASSERT_TRUE(project->save());
    PouModel::PouUnit* victim = pous->pou(QString("P2500"));
    ASSERT_TRUE(victim);
    const unsigned int id = victim->id();
    ASSERT_TRUE(pous->removePou(victim));
    ASSERT_TRUE(project->save());
    project.reset();

    auto reopened = openProject("Many");
    ASSERT_TRUE(reopened);
    std::vector<PouModel::PouUnit*> all;
    reopened->subModel<PouModel>()->allPous(all, PouModel::FBPOU);
    EXPECT_EQ(all.size(), 4999u);
    EXPECT_FALSE(reopened->subModel<PouModel>()->pou(id));
    EXPECT_TRUE(reopened->subModel<PouModel>()->pou(QString("P2499")));
}

// The direct reading of plain property texts must read every text exactly as Qt's parser
// does, and the text kept for writing must be exactly what StringProperties writes.
class PropertiesText : public ::testing::TestWithParam<const char*>
{
};

TEST_P(PropertiesText, readsAndWritesAsStringProperties)
{
    const QByteArray text = QByteArray(GetParam());
    StringProperties expected;
    CachedProperties fresh, merged;
    expected.merge(QString::fromUtf8(text));
    fresh.merge(text);
    EXPECT_EQ(fresh.map(), expected.map()) << text.toStdString();
    EXPECT_EQ(fresh.toJson(), expected.toJson()) << text.toStdString();

    expected.clear();
    expected.set("a", "before");
    expected.set("kept", "k");
    merged.set("a", "before");
    merged.set("kept", "k");
    (void)merged.toJson(); // a text kept from before the merge must not survive it
    expected.merge(QString::fromUtf8(text));
    merged.merge(text);
    EXPECT_EQ(merged.map(), expected.map()) << text.toStdString();
    EXPECT_EQ(merged.toJson(), expected.toJson()) << text.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Texts, PropertiesText,
    ::testing::Values("{}", R"({"a":"1"})", R"({"b":"2","a":"1","Row":"17"})", R"({"a":"1","a":"2"})", R"({"b":"1","a":"2"})", R"({"Row":"3","Hidden":"true"})",
                      R"({"a":1})", R"({"a":true,"b":"x"})", R"({ "a" : "1" })", R"({"a":"x\"y"})",
                      R"({"a":"\u4e2d"})", "{\"a\":\"\xe4\xb8\xad\"}", "[]", "", R"({"a":"1")", R"({"a":"1"}x)",
                      R"({"a":"1",})", R"({"":""})", "{\"a\":\"tab\there\"}", R"({"a":"1"}})", R"({"a":"1""b":"2"})",
                      "null", R"({"a":null})", R"({"a":"%1 'quoted'"})"));

// The model writes a row by what it knows of the file; a file that changed under it still
// ends with the model's rows.
TEST_F(ProgramModels, rowsChangedByAnotherProgramAreWrittenAnyway)
{
    auto project = createProject("Changed");
    auto* pous = project->subModel<PouModel>();
    PouModel::PouUnit* gone = pous->addPou("Gone", PouModel::PRGPOU, PouModel::POU_ST, 0);
    ASSERT_TRUE(pous->save());
    PouModel::PouUnit* fresh = pous->addPou("Fresh", PouModel::PRGPOU, PouModel::POU_ST, 0);
    const std::string file = databaseFile("Changed");
    ASSERT_TRUE(testsupport::execOn(file, "DELETE FROM POU WHERE Id = " + QString::number(gone->id())));
    ASSERT_TRUE(testsupport::execOn(file, "INSERT INTO POU (Id, Name) VALUES (" + QString::number(fresh->id())
                                              + ", 'Intruder')"));
    gone->setLogicContext("back");
    ASSERT_TRUE(pous->save());
    EXPECT_EQ(rows(file, "SELECT Name, LogicContext FROM POU WHERE Name != 'DevicePOU' ORDER BY Id"),
              QStringList({"Gone|back", "Fresh|"}));
}

} // namespace
