// Undo and redo of structural edits through the project's command stack, for every sub-model
// that replays edits: folders, POUs, global variable lists, data types and tasks.
#include "ModelTestSupport.h"

#include "datamodel/model/ObjectPath.h"
#include "datamodel/project/PlcProjectModel.h"
#include "datamodel/model/ProjectModelManager.h"
#include "datamodel/program/DataTypeModel.h"
#include "datamodel/program/FolderModel.h"
#include "datamodel/program/GlobalVarModel.h"
#include "datamodel/program/PouModel.h"
#include "datamodel/program/TaskModel.h"
#include "datamodel/undo/ModelCommand.h"
#include "datamodel/undo/ProjectModelStack.h"
#include "host/CookieStore.h"
#include "host/DefaultApplication.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>

#include <functional>

using testsupport::ModelTest;

namespace {

const QString sep = ObjectPath::Separator;

// Object data without its modification time, which an insertion sets to the time of the insert.
QString withoutTime(const QString& data)
{
    QJsonObject object = QJsonDocument::fromJson(data.toUtf8()).object();
    object.remove("MODIFYTIME");
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

// How one sub-model makes, finds and names its objects.
struct Kind
{
    const char* model;
    std::function<ModelObject*(AbstractProjectModel*, const std::string& name)> make;
    std::function<ModelObject*(AbstractProjectModel*, unsigned int id)> find;
    std::function<std::string(ModelObject*)> nameOf;
    bool movable;
    // The type of the folders the objects are filed in (0: not filed); POUs, lists and types
    // are named by identifiers.
    int folderType = 0;
    bool identifiers = false;
    std::string awkwardName() const { return identifiers ? "Removed_x" : std::string("Removed 'x' %1 ") + u8"删除"; }
};

template <typename Model, typename Object>
Kind kind(const char* model, std::function<Object*(Model*, const std::string&)> make,
          std::function<Object*(Model*, unsigned int)> find, bool movable, int folderType, bool identifiers)
{
    return Kind{model,
                [make](AbstractProjectModel* p, const std::string& n) -> ModelObject* {
                    return make(p->subModel<Model>(), n);
                },
                [find](AbstractProjectModel* p, unsigned int id) -> ModelObject* {
                    return find(p->subModel<Model>(), id);
                },
                [](ModelObject* o) { return static_cast<Object*>(o)->name(); }, movable, folderType, identifiers};
}

std::vector<Kind> kinds()
{
    return {
        kind<FolderModel, FolderModel::Folder>(
            "FolderModel", [](FolderModel* m, const std::string& n) { return m->addFolder(n, 0, FolderModel::PouForder); },
            [](FolderModel* m, unsigned int id) { return m->folder(id); }, true, FolderModel::PouForder, false),
        kind<PouModel, PouModel::PouUnit>(
            "PouModel",
            [](PouModel* m, const std::string& n) { return m->addPou(n, PouModel::FBPOU, PouModel::POU_ST, 0); },
            [](PouModel* m, unsigned int id) { return m->pou(id); }, true, FolderModel::PouForder, true),
        kind<GlobalVarModel, GlobalVarModel::GlobalVarTable>(
            "GlobalVarModel", [](GlobalVarModel* m, const std::string& n) { return m->addVarTable(n, 0); },
            [](GlobalVarModel* m, unsigned int id) { return m->varTable(id); }, true, FolderModel::GlobleVarForder, true),
        kind<DataTypeModel, DataTypeModel::DataUnit>(
            "DataTypeModel",
            [](DataTypeModel* m, const std::string& n) { return m->addDataUnit(n, DataTypeModel::Struct, 0); },
            [](DataTypeModel* m, unsigned int id) { return m->dataUnit(id); }, true, FolderModel::DataTypeForder, true),
        kind<TaskModel, TaskModel::Task>(
            "TaskModel", [](TaskModel* m, const std::string& n) { return m->addTask(n); },
            [](TaskModel* m, unsigned int id) { return m->task(id); }, false, 0, false),
    };
}

// A registered project named in the cookie "Project.Name", and a command stack.
class UndoFixture : public ModelTest
{
protected:
    void SetUp() override
    {
        ModelTest::SetUp();
        project = createProject("UndoLine").release();
        ASSERT_EQ(ProjectModelManager::instance()->addProjectModel("UndoLine", project), ProjectModelManager::Success);
        testsupport::defaultHost().cookies()->setValue("Project.Name", "UndoLine");
        spy = std::make_unique<QSignalSpy>(&stack, &ProjectModelStack::commandExecuted);
    }
    void TearDown() override
    {
        stack.clear();
        ProjectModelManager::instance()->removeProjectModel("UndoLine");
        testsupport::defaultHost().cookies()->remove("Project.Name");
    }
    // The last commandExecuted signal as type, sub-model, path, param.
    QStringList lastSignal() const
    {
        if (spy->isEmpty())
            return {};
        QStringList out;
        for (const QVariant& v : spy->last())
            out << v.toString();
        return out;
    }

    AbstractProjectModel* project = nullptr; // owned by the registry
    ProjectModelStack stack;
    std::unique_ptr<QSignalSpy> spy;
};

class ModelCommands : public UndoFixture, public ::testing::WithParamInterface<Kind>
{
protected:
    SubModel* model() const { return project->subModel(GetParam().model); }
    unsigned int idOf(ModelObject* obj) const { return model()->getObjPath(obj).toUInt(); }
    ModelObject* find(unsigned int id) const { return GetParam().find(project, id); }
};

TEST_P(ModelCommands, insertIsUndoneByRemovingAndRedoneByInserting)
{
    ModelObject* obj = GetParam().make(project, "Inserted");
    ASSERT_TRUE(obj);
    const unsigned int id = idOf(obj);
    const QString data = model()->objToData(obj);
    const QString path = QString::number(id);
    ASSERT_TRUE(stack.pushCommand(new ModelInsertCommand(obj, model())));
    EXPECT_EQ(spy->count(), 0) << "pushing after the edit changes nothing";
    EXPECT_EQ(find(id), obj);

    stack.undo();
    EXPECT_EQ(find(id), nullptr);
    EXPECT_EQ(lastSignal(), QStringList({"PROJECT_MODEL_STACK_REMOVE", GetParam().model, path, data}));
    stack.redo();
    ModelObject* back = find(id);
    ASSERT_TRUE(back);
    EXPECT_EQ(GetParam().nameOf(back), "Inserted");
    EXPECT_EQ(lastSignal(), QStringList({"PROJECT_MODEL_STACK_INSERT", GetParam().model, path, data}));
    EXPECT_EQ(spy->count(), 2);
}

TEST_P(ModelCommands, removeIsUndoneByInsertingTheObjectAsItWas)
{
    ModelObject* obj = GetParam().make(project, GetParam().awkwardName());
    ASSERT_TRUE(obj);
    const unsigned int id = idOf(obj);
    auto* command = new ModelRemoveCommand(obj, model());
    QString data;
    ASSERT_TRUE(model()->removeObject(QString::number(id), data));
    ASSERT_TRUE(stack.pushCommand(command));
    EXPECT_EQ(find(id), nullptr);

    stack.undo();
    ModelObject* back = find(id);
    ASSERT_TRUE(back);
    EXPECT_EQ(GetParam().nameOf(back), GetParam().awkwardName());
    EXPECT_EQ(withoutTime(model()->objToData(back)), withoutTime(data)) << "restored as it was";
    EXPECT_EQ(lastSignal().value(0), "PROJECT_MODEL_STACK_INSERT");
    stack.redo();
    EXPECT_EQ(find(id), nullptr);
    const QStringList removed = lastSignal();
    ASSERT_EQ(removed.size(), 4);
    EXPECT_EQ(removed.mid(0, 3), QStringList({"PROJECT_MODEL_STACK_REMOVE", GetParam().model, QString::number(id)}));
    EXPECT_EQ(withoutTime(removed[3]), withoutTime(data));
}

TEST_P(ModelCommands, renameCarriesBothNamesInItsParam)
{
    ModelObject* obj = GetParam().make(project, "A");
    ASSERT_TRUE(obj);
    const unsigned int id = idOf(obj);
    ASSERT_TRUE(model()->renameObject(QString::number(id), "B"));
    ASSERT_TRUE(stack.pushCommand(new ModelRenameCommand(obj, model(), "A", "B")));
    stack.undo();
    EXPECT_EQ(GetParam().nameOf(find(id)), "A");
    EXPECT_EQ(lastSignal(), QStringList({"PROJECT_MODEL_STACK_RENAME", GetParam().model, QString::number(id), "B" + sep + "A"}));
    stack.redo();
    EXPECT_EQ(GetParam().nameOf(find(id)), "B");
    EXPECT_EQ(lastSignal().value(3), "A" + sep + "B");
}

TEST_P(ModelCommands, moveReplaysThePositionOrIsRefused)
{
    // Folders 1 to 7 of the kind the objects are filed in: the move goes to folder 7.
    for (int i = 1; GetParam().folderType != 0 && i <= 7; ++i)
        project->subModel<FolderModel>()->addFolder("Folder" + std::to_string(i), 0,
                                                    static_cast<FolderModel::FolderType>(GetParam().folderType));
    ModelObject* obj = GetParam().make(project, "Moved");
    ASSERT_TRUE(obj);
    const unsigned int id = idOf(obj);
    const QString from = model()->getObjIndex(obj);
    const QString to = "7" + sep + "2";
    const bool moved = model()->moveObject(QString::number(id), to);
    EXPECT_EQ(moved, GetParam().movable);
    ASSERT_TRUE(stack.pushCommand(new ModelMoveCommand(obj, model(), from, to)));
    stack.undo();
    if (!GetParam().movable) {
        EXPECT_EQ(spy->count(), 0) << "a sub-model that cannot move objects raises no signal";
        EXPECT_TRUE(stack.canRedo());
        return;
    }
    EXPECT_EQ(model()->getObjIndex(find(id)), from);
    EXPECT_EQ(lastSignal(), QStringList({"PROJECT_MODEL_STACK_MOVE", GetParam().model, QString::number(id), to + sep + from}));
    stack.redo();
    EXPECT_EQ(model()->getObjIndex(find(id)), to);
}

TEST_P(ModelCommands, nothingHappensWithoutTheCurrentProject)
{
    ModelObject* obj = GetParam().make(project, "Orphan");
    ASSERT_TRUE(obj);
    const unsigned int id = idOf(obj);
    ASSERT_TRUE(stack.pushCommand(new ModelInsertCommand(obj, model())));
    QSignalSpy canUndo(&stack, &ProjectModelStack::canUndoChanged);
    testsupport::defaultHost().cookies()->setValue("Project.Name", "NoSuchProject");
    stack.undo();
    EXPECT_EQ(find(id), obj);
    EXPECT_EQ(spy->count(), 0);
    EXPECT_FALSE(stack.canUndo());
    EXPECT_TRUE(stack.canRedo());
    EXPECT_FALSE(canUndo.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(EverySubModel, ModelCommands, ::testing::ValuesIn(kinds()),
                         [](const ::testing::TestParamInfo<Kind>& info) { return std::string(info.param.model); });

class CommandStack : public UndoFixture
{
};

TEST_F(CommandStack, groupsUndoInOneStepLastFirst)
{
    auto* pous = project->subModel<PouModel>();
    for (const char* folder : {"F1", "F2", "F3"})
        project->subModel<FolderModel>()->addFolder(folder, 0, FolderModel::PouForder);
    PouModel::PouUnit* pou = pous->addPou("Grouped", PouModel::PRGPOU, PouModel::POU_ST, 0);
    const QString path = QString::number(pou->id());
    const QString from = pous->getObjIndex(pou);
    stack.beginGroup();
    pous->renameObject(path, "Regrouped");
    stack.pushCommand(new ModelRenameCommand(pou, pous, "Grouped", "Regrouped"));
    pous->moveObject(path, "3" + sep + "1");
    stack.pushCommand(new ModelMoveCommand(pou, pous, from, "3" + sep + "1"));
    stack.endGroup();
    EXPECT_EQ(stack.undoStack()->count(), 1);
    stack.undo();
    EXPECT_EQ(pou->name(), "Grouped");
    EXPECT_EQ(pous->getObjIndex(pou), from);
    ASSERT_EQ(spy->count(), 2);
    EXPECT_EQ(spy->at(0).at(0).toString(), "PROJECT_MODEL_STACK_MOVE") << "last pushed is undone first";
    EXPECT_EQ(spy->at(1).at(0).toString(), "PROJECT_MODEL_STACK_RENAME");
    stack.redo();
    EXPECT_EQ(pou->name(), "Regrouped");
}

TEST_F(CommandStack, taskCallsChangeThroughTheModifyCommand)
{
    auto* tasks = project->subModel<TaskModel>();
    for (int i = 2; i <= 7; ++i) // POU ids 2 to 7 beside DevicePOU
        project->subModel<PouModel>()->addPou("P" + std::to_string(i), PouModel::PRGPOU, PouModel::POU_ST, 0);
    TaskModel::Task* task = tasks->addTask("Fast");
    const QString path = QString::number(task->id());
    EXPECT_FALSE(tasks->changeProperty(path, "pouintask", "", "3.5.8")) << "no POU 8";
    ASSERT_TRUE(tasks->changeProperty(path, "pouintask", "", "3.5.7"));
    EXPECT_EQ(task->allPouIds(), (std::vector<int>{3, 5, 7}));
    stack.pushCommand(new ModelModifyCommand(task, tasks, "pouintask", "", "3.5.7"));
    stack.undo();
    EXPECT_TRUE(task->allPouIds().empty()) << "undoing back to no calls leaves no call of a POU 0";
    EXPECT_EQ(lastSignal().value(3), "pouintask" + sep + "3.5.7" + sep + "");
    stack.redo();
    EXPECT_EQ(task->allPouIds(), (std::vector<int>{3, 5, 7}));
    EXPECT_EQ(lastSignal().value(3), "pouintask" + sep + "" + sep + "3.5.7");

    // Other sub-models do not change properties through the stack: no effect, no signal.
    auto* lists = project->subModel<GlobalVarModel>();
    GlobalVarModel::GlobalVarTable* list = lists->addVarTable("Gvl", 0);
    const int before = spy->count();
    stack.pushCommand(new ModelModifyCommand(list, lists, "Row", "1", "2"));
    stack.undo();
    EXPECT_EQ(spy->count(), before);

    QUndoCommand plain;
    EXPECT_FALSE(stack.pushCommand(&plain)) << "only model commands are pushed";
}

} // namespace
