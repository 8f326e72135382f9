// What POUs, global variable lists and data types share (DeclaredObject): their kind, the kind
// the compiler core's parser takes for them, the sync state of a declaration, and the table
// sub-models' refusal of an object they do not own, said once in the log.
#include "ProgramTestSupport.h"

#include "datamodel/program/DataTypeModel.h"
#include "datamodel/program/FolderModel.h"
#include "datamodel/program/GlobalVarModel.h"
#include "datamodel/program/PouModel.h"
#include "datamodel/program/TaskModel.h"
#include "datamodel/project/PlcProjectModel.h"

#include "accore/ACCore.h"
#include "accore/BasicDataType.h"

using testsupport::ModelTest;

namespace {

class DeclaredObjects : public ModelTest
{
protected:
    void SetUp() override
    {
        ModelTest::SetUp();
        project = createProject("Shared");
        pous = project->subModel<PouModel>();
        lists = project->subModel<GlobalVarModel>();
        types = project->subModel<DataTypeModel>();
    }

    std::unique_ptr<PlcProjectModel> project;
    PouModel* pous = nullptr;
    GlobalVarModel* lists = nullptr;
    DataTypeModel* types = nullptr;
};

struct KindCase
{
    const char* label;
    DeclaredObject::Kind kind;
    int parseKind;
    std::string declaration; // parses in the core exactly with that kind
};

TEST_F(DeclaredObjects, eachObjectNamesItsKindAndTheCoreParseKind)
{
    const std::vector<std::pair<DeclaredObject*, KindCase>> cases = {
        {pous->addPou("P_Main", PouModel::PRGPOU, PouModel::POU_ST, 0),
         {"program", DeclaredObject::PouKind, ac::PK_PROGRAM, "PROGRAM P_Main\nVAR\n  x : INT;\nEND_VAR\n"}},
        {pous->addPou("FC_Scale", PouModel::FCPOU, PouModel::POU_ST, 0),
         {"function", DeclaredObject::PouKind, ac::PK_FUNCTION,
          "FUNCTION FC_Scale : INT\nVAR_INPUT\n  x : INT;\nEND_VAR\n"}},
        {pous->addPou("FB_Valve", PouModel::FBPOU, PouModel::POU_LD, 0),
         {"function block", DeclaredObject::PouKind, ac::PK_FUNCTION_BLOCK,
          "FUNCTION_BLOCK FB_Valve\nVAR_INPUT\n  open : BOOL;\nEND_VAR\n"}},
        {types->addDataUnit("ST_Point", DataTypeModel::Struct, 0),
         {"structure", DeclaredObject::DataTypeKind, ac::TK_STRUCT,
          "TYPE ST_Point :\nSTRUCT\n  x : INT;\nEND_STRUCT\nEND_TYPE\n"}},
        {types->addDataUnit("E_Mode", DataTypeModel::Enum, 0),
         {"enumeration", DeclaredObject::DataTypeKind, ac::TK_ENUM, "TYPE E_Mode : (Idle, Run);\nEND_TYPE\n"}},
        {lists->addVarTable("GVL_Io", 0),
         {"global list", DeclaredObject::GlobalVarKind, -1, "VAR_GLOBAL\n  lamp : BOOL;\nEND_VAR\n"}},
    };
    ac::ACCore core;
    for (const auto& [object, expected] : cases) {
        SCOPED_TRACE(expected.label);
        ASSERT_TRUE(object);
        EXPECT_EQ(object->kind(), expected.kind);
        EXPECT_EQ(object->coreParseKind(), expected.parseKind);
        // The kind is what the core takes: the declaration parses under it.
        core.reset(ac::ACCore::ClearMessages);
        bool parsed = false;
        if (expected.kind == DeclaredObject::PouKind)
            parsed = core.parserPou(expected.declaration, object->name(), 0, false, false, object->coreParseKind());
        else if (expected.kind == DeclaredObject::DataTypeKind)
            parsed = core.parserTypes(expected.declaration, object->name(), 0, false, false, object->coreParseKind());
        else
            parsed = core.parseGlobalVars(expected.declaration, object->name(), 0, false, false);
        EXPECT_TRUE(parsed) << (core.errors().empty() ? std::string() : core.errors().front().toString());
    }
    // A POU whose type changes takes the parse kind of its new type.
    auto* pou = static_cast<PouModel::PouUnit*>(cases.front().first);
    pou->setType(PouModel::FBPOU);
    EXPECT_EQ(pou->coreParseKind(), ac::PK_FUNCTION_BLOCK);
}

TEST_F(DeclaredObjects, declarationSyncStateReadsAnyStamp)
{
    DeclaredObject* list = lists->addVarTable("GVL_State", 0);
    ASSERT_TRUE(list);
    list->setVarDeclaration("VAR_GLOBAL\nEND_VAR\n");
    EXPECT_FALSE(list->declarationInSync()) << "changed after the last sync (never)";
    list->setSyncTime(std::stoll(list->property("VarDeclModifiedTime")));
    EXPECT_TRUE(list->declarationInSync());

    // Stamps from files written elsewhere: beyond any time, no number, negative.
    list->setProperty("VarDeclModifiedTime", "99999999999999999999999999");
    EXPECT_FALSE(list->declarationInSync()) << "a stamp beyond every time is newer than any sync";
    list->setProperty("VarDeclModifiedTime", "yesterday");
    EXPECT_TRUE(list->declarationInSync());
    list->setProperty("VarDeclModifiedTime", "-5");
    EXPECT_TRUE(list->declarationInSync());
}

TEST_F(DeclaredObjects, sharedSettersMarkTheObjectAndTheProject)
{
    const std::vector<DeclaredObject*> objects = {pous->addPou("P_A", PouModel::PRGPOU, PouModel::POU_ST, 0),
                                                  lists->addVarTable("GVL_A", 0),
                                                  types->addDataUnit("ST_A", DataTypeModel::Struct, 0)};
    ASSERT_TRUE(project->save());
    PrjInfoModel::PrjInfo* info = testsupport::projectInfo(*project);
    for (DeclaredObject* object : objects) {
        SCOPED_TRACE(object->name());
        testsupport::markCompiled(*project);
        ASSERT_FALSE(object->isModified());
        object->setVarDeclaration("(* text *)");
        EXPECT_EQ(object->varDeclaration(), "(* text *)");
        EXPECT_TRUE(object->isModified());
        EXPECT_EQ(info->property("Compile"), "false");
        EXPECT_NE(info->property("ProgramModifiedTime"), "0");
        EXPECT_FALSE(object->property("VarDeclModifiedTime").empty());
        // Filing an object elsewhere is no program change.
        ASSERT_TRUE(project->save());
        testsupport::markCompiled(*project);
        object->setFolderId(7);
        EXPECT_EQ(object->folderId(), 7u);
        EXPECT_TRUE(object->isModified());
        EXPECT_EQ(info->property("Compile"), "true");
    }
}

TEST_F(DeclaredObjects, slotsRefuseObjectsOfAnotherModelAndSaySo)
{
    auto* folders = project->subModel<FolderModel>();
    auto* tasks = project->subModel<TaskModel>();
    PouModel::PouUnit* pou = pous->addPou("P_Owned", PouModel::PRGPOU, PouModel::POU_ST, 0);
    GlobalVarModel::GlobalVarTable* list = lists->addVarTable("GVL_Other", 0);
    ASSERT_TRUE(pou && list);

    const std::vector<SubModel*> models = {pous, lists, types, folders, tasks};
    for (SubModel* model : models) {
        SCOPED_TRACE(model->name());
        ModelObject* foreign = model == pous ? static_cast<ModelObject*>(list) : pou;
        EXPECT_TRUE(model->getObjPath(foreign).isEmpty());
        EXPECT_TRUE(model->getObjIndex(foreign).isEmpty());
        EXPECT_TRUE(model->objToData(foreign).isEmpty());
        EXPECT_FALSE(model->restoreObj(foreign, "{}"));
        EXPECT_FALSE(foreign->subModel() == model);
        EXPECT_TRUE(model->getObjPath(nullptr).isEmpty());
    }
    EXPECT_TRUE(logged("soft assert failed: `object` at ")) << "the refusal names the condition";
    EXPECT_TRUE(logged("TableSubModel_p.h:")) << "and the place";

    // The model's own object still works, and one deleted already is refused without
    // touching it.
    EXPECT_EQ(pous->getObjPath(pou), QString::number(pou->id()));
    ModelObject* stale = pou;
    ASSERT_TRUE(pous->removePou(pou));
    EXPECT_TRUE(pous->getObjPath(stale).isEmpty());
    EXPECT_FALSE(pous->saveObject(stale));
    EXPECT_FALSE(pous->loadObject(stale));
}

} // namespace
