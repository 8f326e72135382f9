// The rules of names, folders and references that every program model keeps: what is
// refused, with which message, and that a refusal changes nothing.
#include "ProgramTestSupport.h"

#include "datamodel/compiler/SymbolSynchrinizer.h"
#include "datamodel/model/ProjectModelManager.h"
#include "datamodel/project/PlcProjectModel.h"
#include "datamodel/program/DataTypeModel.h"
#include "datamodel/program/FolderModel.h"
#include "datamodel/program/GlobalVarModel.h"
#include "datamodel/program/PouModel.h"
#include "datamodel/program/TaskModel.h"

#include <functional>

using testsupport::ModelTest;

namespace {

class NameRules : public ModelTest
{
public:
    void SetUp() override
    {
        ModelTest::SetUp();
        project = createProject("Rules");
        folders = project->subModel<FolderModel>();
        pous = project->subModel<PouModel>();
        lists = project->subModel<GlobalVarModel>();
        types = project->subModel<DataTypeModel>();
        tasks = project->subModel<TaskModel>();
    }
    void TestBody() override {}
    // Counts every object of the program models, to see that a refusal left them as they were.
    std::size_t count() const
    {
        std::vector<FolderModel::Folder*> f;
        folders->allFolders(f, ~0);
        std::vector<PouModel::PouUnit*> p;
        pous->allPous(p, ~0);
        std::vector<GlobalVarModel::GlobalVarTable*> g;
        lists->allVarTables(g);
        std::vector<DataTypeModel::DataUnit*> t;
        types->allDataUnits(t);
        std::vector<TaskModel::Task*> k;
        tasks->allTasks(k);
        return f.size() + p.size() + g.size() + t.size() + k.size();
    }

    std::unique_ptr<PlcProjectModel> project;
    FolderModel* folders = nullptr;
    PouModel* pous = nullptr;
    GlobalVarModel* lists = nullptr;
    DataTypeModel* types = nullptr;
    TaskModel* tasks = nullptr;
};

struct Refusal
{
    const char* name;
    // Makes the refused edit; returns whether the model took it.
    std::function<bool(NameRules&)> edit;
    SubModel* (*model)(NameRules&);
    const char* message;
};

SubModel* pouModel(NameRules& t) { return t.project->subModel<PouModel>(); }
SubModel* listModel(NameRules& t) { return t.project->subModel<GlobalVarModel>(); }
SubModel* typeModel(NameRules& t) { return t.project->subModel<DataTypeModel>(); }
SubModel* folderModel(NameRules& t) { return t.project->subModel<FolderModel>(); }
SubModel* taskModel(NameRules& t) { return t.project->subModel<TaskModel>(); }

PouModel::PouUnit* addPou(NameRules& t, const std::string& name, unsigned int folder = 0)
{
    return t.project->subModel<PouModel>()->addPou(name, PouModel::PRGPOU, PouModel::POU_ST, folder);
}

class Refused : public NameRules, public ::testing::WithParamInterface<Refusal>
{
};

TEST_P(Refused, withItsRuleAndObjectAndChangesNothing)
{
    ASSERT_TRUE(addPou(*this, "Motor"));
    ASSERT_TRUE(addPou(*this, "A"));
    ASSERT_TRUE(folders->addFolder("Lists", 0, FolderModel::GlobleVarForder)); // id 1
    ASSERT_TRUE(folders->addFolder("Programs", 0, FolderModel::PouForder));   // id 2
    ASSERT_TRUE(folders->addFolder("Inner", 2, FolderModel::PouForder));      // id 3
    ASSERT_TRUE(tasks->addTask("Fast"));
    const std::size_t before = count();
    EXPECT_FALSE(GetParam().edit(*this));
    EXPECT_EQ(GetParam().model(*this)->lastError().toStdString(), GetParam().message);
    EXPECT_TRUE(logged(GetParam().message)) << "the refusal is logged too";
    EXPECT_EQ(count(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Edits, Refused,
    ::testing::Values(
        Refusal{"emptyPou", [](NameRules& t) { return addPou(t, "") != nullptr; }, pouModel,
                "add POU '' refused: the name is empty"},
        Refusal{"blankList", [](NameRules& t) { return t.lists->addVarTable("  ", 0) != nullptr; }, listModel,
                "add global variable list '  ' refused: the name is empty"},
        Refusal{"noIdentifier", [](NameRules& t) { return addPou(t, "1st Motor") != nullptr; }, pouModel,
                "add POU '1st Motor' refused: '1st Motor' is no identifier (a letter or '_' first, then letters, digits or '_')"},
        Refusal{"chineseType",
                [](NameRules& t) { return t.types->addDataUnit(u8"主程序", DataTypeModel::Struct, 0) != nullptr; },
                typeModel, u8"add data type '主程序' refused: '主程序' is no identifier (a letter or '_' first, then letters, digits or '_')"},
        Refusal{"keyword", [](NameRules& t) { return t.types->addDataUnit("int", DataTypeModel::Struct, 0) != nullptr; },
                typeModel, "add data type 'int' refused: 'int' is a keyword of the language"},
        Refusal{"takenByAPouInAnotherCase",
                [](NameRules& t) { return t.types->addDataUnit("MOTOR", DataTypeModel::Struct, 0) != nullptr; }, typeModel,
                "add data type 'MOTOR' refused: a POU named 'Motor' exists already"},
        Refusal{"takenPou", [](NameRules& t) { return addPou(t, "motor") != nullptr; }, pouModel,
                "add POU 'motor' refused: a POU named 'Motor' exists already"},
        Refusal{"reservedList", [](NameRules& t) { return t.lists->addVarTable("DeviceVars", 0) != nullptr; },
                listModel, "add global variable list 'DeviceVars' refused: the name 'DeviceVars' is reserved for the system's own objects"},
        Refusal{"reservedFolder",
                [](NameRules& t) { return t.folders->addFolder("ecamvars", 0, FolderModel::PouForder) != nullptr; },
                folderModel, "add folder 'ecamvars' refused: the name 'ecamvars' is reserved for the system's own objects"},
        Refusal{"reservedTask", [](NameRules& t) { return t.tasks->addTask("DevicePOU") != nullptr; }, taskModel,
                "add task 'DevicePOU' refused: the name 'DevicePOU' is reserved for the system's own objects"},
        Refusal{"takenTask", [](NameRules& t) { return t.tasks->addTask("FAST") != nullptr; }, taskModel,
                "add task 'FAST' refused: a task named 'Fast' exists already"},
        Refusal{"takenFolder",
                [](NameRules& t) { return t.folders->addFolder("lists", 0, FolderModel::DataTypeForder) != nullptr; },
                folderModel, "add folder 'lists' refused: a folder named 'Lists' exists already"},
        Refusal{"controlCharacter", [](NameRules& t) { return t.tasks->addTask("a\nb") != nullptr; }, taskModel,
                "add task 'a\nb' refused: the name holds a control character"},
        Refusal{"missingFolder", [](NameRules& t) { return addPou(t, "X", 99999) != nullptr; }, pouModel,
                "add POU 'X' refused: folder 99999 does not exist"},
        Refusal{"folderOfAnotherKind", [](NameRules& t) { return addPou(t, "X", 1) != nullptr; }, pouModel,
                "add POU 'X' refused: folder 1 'Lists' holds global variable lists, not POUs"},
        Refusal{"missingParent",
                [](NameRules& t) { return t.folders->addFolder("F", 99999, FolderModel::PouForder) != nullptr; },
                folderModel, "add folder 'F' refused: folder 99999 does not exist"},
        Refusal{"parentOfAnotherKind",
                [](NameRules& t) { return t.folders->addFolder("F", 1, FolderModel::PouForder) != nullptr; },
                folderModel, "add folder 'F' refused: folder 1 'Lists' is of another type"},
        Refusal{"renameToTaken",
                [](NameRules& t) { return t.pous->renameObject(QString::number(t.pous->pou(QString("A"))->id()), "motor"); },
                pouModel, "rename POU 'A' to 'motor' refused: a POU named 'Motor' exists already"},
        Refusal{"renameToEmpty", [](NameRules& t) { return t.tasks->task(QString("Fast"))->rename(""); }, taskModel,
                "rename task 'Fast' to '' refused: the name is empty"},
        Refusal{"renameHidden", [](NameRules& t) { return t.pous->pou(QString("DevicePOU"))->rename("Mine"); },
                pouModel, "rename POU 'DevicePOU' to 'Mine' refused: it is one of the system's own objects"},
        Refusal{"removeHiddenPou", [](NameRules& t) { return t.pous->removePou(t.pous->pou(QString("DevicePOU"))); },
                pouModel, "remove POU 'DevicePOU' refused: it is one of the system's own objects"},
        Refusal{"removeHiddenList",
                [](NameRules& t) {
                    QString data;
                    return t.lists->removeObject(QString::number(t.lists->varTable(QString("HiddenAxisVar"))->id()), data);
                },
                listModel, "remove global variable list 'HiddenAxisVar' refused: it is one of the system's own objects"},
        Refusal{"moveToMissingFolder",
                [](NameRules& t) {
                    return t.pous->moveObject(QString::number(t.pous->pou(QString("Motor"))->id()),
                                              ObjectPath::index(9999, "0"));
                },
                pouModel, "move POU 'Motor' refused: folder 9999 does not exist"},
        Refusal{"moveFolderIntoItself",
                [](NameRules& t) { return t.folders->moveObject("2", ObjectPath::index(3, "0")); },
                folderModel, "move folder 'Programs' refused: folder 3 'Inner' lies within it"},
        Refusal{"callOfMissingPou", [](NameRules& t) { return t.tasks->task(QString("Fast"))->addPou(777, -1) != 0; },
                taskModel, "call of POU id 777 by task 'Fast' refused: no POU has id 777"},
        Refusal{"callListWithMissingPou",
                [](NameRules& t) {
                    const QString motor = QString::number(t.pous->pou(QString("Motor"))->id());
                    return t.tasks->changeProperty(QString::number(t.tasks->task(QString("Fast"))->id()), "pouintask", "",
                                                   motor + ".778");
                },
                taskModel, "calls of task 'Fast' refused: no POU has id 778"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(NameRules, refusedCallListsLeaveTheCallsAsTheyWere)
{
    PouModel::PouUnit* motor = addPou(*this, "Motor");
    TaskModel::Task* task = tasks->addTask("Fast");
    ASSERT_TRUE(task->addPou(motor->id(), -1));
    EXPECT_FALSE(tasks->changeProperty(QString::number(task->id()), "pouintask", "", "778"));
    EXPECT_EQ(task->allPouIds(), std::vector<int>({int(motor->id())}));
}

TEST_F(NameRules, removingACalledPouTakesItsCallsAndTheDataPutsThemBack)
{
    PouModel::PouUnit* keep = addPou(*this, "Keep");
    PouModel::PouUnit* gone = addPou(*this, "Gone");
    TaskModel::Task* fast = tasks->addTask("Fast");
    TaskModel::Task* slow = tasks->addTask("Slow");
    for (PouModel::PouUnit* pou : {gone, keep, gone})
        fast->addPou(pou->id(), -1);
    slow->addPou(keep->id(), -1);
    slow->addPou(gone->id(), -1);
    const int goneId = static_cast<int>(gone->id());
    const int keepId = static_cast<int>(keep->id());

    QString data;
    const QString path = QString::number(goneId);
    ASSERT_TRUE(pous->removeObject(path, data));
    EXPECT_EQ(fast->allPouIds(), std::vector<int>({keepId}));
    EXPECT_EQ(slow->allPouIds(), std::vector<int>({keepId}));
    EXPECT_TRUE(data.contains(QString("\"CALLS\":\"%1:0,%1:2,%2:1\"").arg(fast->id()).arg(slow->id()))) << data.toStdString();

    // Undo of the removal: the POU and its calls, where they were.
    ASSERT_TRUE(pous->insertObject(path, data));
    EXPECT_EQ(fast->allPouIds(), std::vector<int>({goneId, keepId, goneId}));
    EXPECT_EQ(slow->allPouIds(), std::vector<int>({keepId, goneId}));
    ASSERT_TRUE(project->save());
    project.reset();
    auto reopened = openProject("Rules");
    TaskModel::Task* back = reopened->subModel<TaskModel>()->task(QString("Fast"));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->allPouIds(), std::vector<int>({goneId, keepId, goneId}));
}

TEST_F(NameRules, objectsUsedByOtherTextsAreNotRemoved)
{
    DataTypeModel::DataUnit* point = types->addDataUnit("ST_Point", DataTypeModel::Struct, 0);
    DataTypeModel::DataUnit* mode = types->addDataUnit("E_Mode", DataTypeModel::Enum, 0);
    DataTypeModel::DataUnit* loose = types->addDataUnit("ST_Loose", DataTypeModel::Struct, 0);
    PouModel::PouUnit* valve = pous->addPou("FB_Valve", PouModel::FBPOU, PouModel::POU_ST, 0);
    PouModel::PouUnit* scale = pous->addPou("Scale", PouModel::FCPOU, PouModel::POU_ST, 0);
    PouModel::PouUnit* main = addPou(*this, "Main");
    GlobalVarModel::GlobalVarTable* io = lists->addVarTable("Io", 0);
    io->setVarDeclaration("VAR_GLOBAL\n  points : ARRAY[1..4] OF st_point;\n  (* ST_Loose in a comment *)\nEND_VAR");
    main->setVarDeclaration("PROGRAM Main\nVAR\n  v : FB_Valve;\n  s : STRING := 'ST_Loose';\n  FB_Valve2 : INT;\nEND_VAR");
    main->setLogicContext("IF mode = E_Mode#Auto THEN\n  x := Scale(1);\nEND_IF; // ST_Loose\n");

    const std::vector<std::pair<std::function<bool()>, std::string>> refused = {
        {[&] { return types->removeDataUnit(point); },
         "remove data type 'ST_Point' refused: it is used by global variable list 'Io'"},
        {[&] { return types->removeDataUnit(mode); }, "remove data type 'E_Mode' refused: it is used by POU 'Main'"},
        {[&] { return pous->removePou(valve); }, "remove POU 'FB_Valve' refused: it is used by POU 'Main'"},
        {[&] { return pous->removePou(scale); }, "remove POU 'Scale' refused: it is used by POU 'Main'"},
    };
    for (const auto& [remove, message] : refused) {
        EXPECT_FALSE(remove()) << message;
        SubModel* model = message.find("data type") != std::string::npos ? static_cast<SubModel*>(types) : pous;
        EXPECT_EQ(model->lastError().toStdString(), message);
    }
    EXPECT_TRUE(types->dataUnit(QString("ST_Point")) && pous->pou(QString("FB_Valve")));
    // Named in a comment and a string only: nothing uses it.
    EXPECT_TRUE(types->removeDataUnit(loose));
    EXPECT_TRUE(types->lastError().isEmpty());
    // Once the user is gone, the removal goes through.
    EXPECT_TRUE(lists->removeVarTable(io));
    EXPECT_TRUE(types->removeDataUnit(point));
}

TEST_F(NameRules, aFolderThatHoldsAnythingIsNotRemoved)
{
    FolderModel::Folder* top = folders->addFolder("Programs", 0, FolderModel::PouForder);
    FolderModel::Folder* inner = folders->addFolder("Inner", top->id(), FolderModel::PouForder);
    PouModel::PouUnit* pou = addPou(*this, "Filed", inner->id());
    EXPECT_FALSE(folders->removeFolder(top));
    EXPECT_EQ(folders->lastError(), "remove folder 'Programs' refused: it holds folder 'Inner'");
    EXPECT_FALSE(folders->removeFolder(inner));
    EXPECT_EQ(folders->lastError(), "remove folder 'Inner' refused: it holds POU 'Filed'");
    ASSERT_TRUE(pous->moveObject(QString::number(pou->id()), ObjectPath::index(0, "0")));
    EXPECT_TRUE(folders->removeFolder(inner));
    EXPECT_TRUE(folders->removeFolder(top));
    ASSERT_TRUE(project->save());
    EXPECT_TRUE(pous->pou(QString("Filed"))) << "the POU moved out stays";
}

TEST_F(NameRules, anIdThatSomethingKeepsIsNotHandedOutAgain)
{
    PouModel::PouUnit* first = addPou(*this, "First");
    const unsigned int id = first->id();
    addPou(*this, "Second"); // the call's id lies below the highest: it once had a POU
    TaskModel::Task* task = tasks->addTask("Fast");
    task->addPou(id, -1);
    ASSERT_TRUE(project->save());
    project.reset();
    // A file of an older version: the call outlived its POU.
    ASSERT_TRUE(testsupport::execOn(databaseFile("Rules"), QStringLiteral("DELETE FROM POU WHERE Id = %1").arg(id)));
    auto reopened = openProject("Rules");
    auto* models = reopened->subModel<PouModel>();
    PouModel::PouUnit* intruder = models->addPou("Intruder", PouModel::PRGPOU, PouModel::POU_ST, 0);
    ASSERT_TRUE(intruder);
    EXPECT_NE(intruder->id(), id) << "the task would call the new POU";

    // The synchroniser's symbol indexes keep POU ids of the project they are bound to.
    const unsigned int next = models->addPou("Next", PouModel::PRGPOU, PouModel::POU_ST, 0)->id();
    ASSERT_TRUE(models->removePou(models->pou(next)));
    ASSERT_EQ(ProjectModelManager::instance()->addProjectModel("Rules", reopened.get()), ProjectModelManager::Success);
    PlcProjectModel* registered = reopened.release();
    SymbolSynchrinizer* sync = SymbolSynchrinizer::instance();
    sync->bindProject("Rules");
    const unsigned int uid = SymbolSynchrinizer::combine(next, static_cast<unsigned int>(registered->getFileID()));
    ASSERT_TRUE(sync->insertSymbolIndexAndPouUUID(4242, uid));
    PouModel::PouUnit* later = registered->subModel<PouModel>()->addPou("Later", PouModel::PRGPOU, PouModel::POU_ST, 0);
    EXPECT_NE(later->id(), next);
    sync->removeSymbolIndex(4242);
    EXPECT_EQ(registered->subModel<PouModel>()->addPou("Free", PouModel::PRGPOU, PouModel::POU_ST, 0)->id(), next)
        << "once nothing keeps it, the id is free again";
    ProjectModelManager::instance()->removeProjectModel("Rules");
    sync->bindProject("");
}

TEST_F(NameRules, theSystemMakesItsOwnObjectsPastTheReservedNames)
{
    // A file of an older version with a "DeviceVars" list: it goes at the next open, and the
    // hidden objects are there once, whatever their names' case.
    project.reset();
    ASSERT_TRUE(testsupport::execOn(databaseFile("Rules"),
                                    "INSERT INTO GlobalVar (Id, Name, LogicContext, Properties, FolderId, ModifyTime) "
                                    "VALUES (900, 'DeviceVars', '', '{}', 0, 0)"));
    auto reopened = openProject("Rules");
    auto* models = reopened->subModel<GlobalVarModel>();
    EXPECT_FALSE(models->varTable(QString("DeviceVars")));
    std::vector<GlobalVarModel::GlobalVarTable*> all;
    models->allVarTables(all);
    EXPECT_EQ(all.size(), 4u);
    EXPECT_TRUE(reopened->subModel<PouModel>()->pou(QString("DevicePOU")));
}

} // namespace
