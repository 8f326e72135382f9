// Random sequences of the edits a front end makes (add, rename, remove, move, task calls, undo
// and redo) over every kind of program object, checked after every step and after save and
// reopen: names unique as lookups compare them, every object in an existing folder of its
// kind, every task call naming a living POU, and every object found by its name.
#include "ProgramTestSupport.h"

#include "datamodel/model/ProjectModelManager.h"
#include "datamodel/project/PlcProjectModel.h"
#include "datamodel/program/DataTypeModel.h"
#include "datamodel/program/FolderModel.h"
#include "datamodel/program/GlobalVarModel.h"
#include "datamodel/program/PouModel.h"
#include "datamodel/program/TaskModel.h"
#include "datamodel/undo/ModelCommand.h"
#include "datamodel/undo/ProjectModelStack.h"
#include "host/CookieStore.h"
#include "host/DefaultApplication.h"

#include <map>
#include <random>
#include <set>

using testsupport::ModelTest;

namespace {

// Names that collide with each other, with the system's names, and break the rules.
const std::vector<std::string> namePool = {"Motor", "MOTOR", "motor", "Valve", "Pump", "Line", "Cell", "Main",
                                           "DeviceVars", "EcamVars", "", "1st", "INT", "A_b", "a_B", "Zone"};

enum Kind { Folders, Pous, Lists, Types, Tasks, KindCount };

// What a project holds, as (kind, id) -> name and folder, to compare before and after reopen.
using Snapshot = std::map<std::pair<int, unsigned int>, std::pair<std::string, unsigned int>>;

class ModelProperty : public ModelTest, public ::testing::WithParamInterface<unsigned int>
{
protected:
    void SetUp() override
    {
        ModelTest::SetUp();
        project = createProject("Random").release();
        ASSERT_EQ(ProjectModelManager::instance()->addProjectModel("Random", project), ProjectModelManager::Success);
        testsupport::defaultHost().cookies()->setValue("Project.Name", "Random");
        // The task of a new project calls POU 2 ahead: the first POU made takes that id.
        PouModel::PouUnit* first = project->subModel<PouModel>()->addPou("PLC_PRG", PouModel::PRGPOU, PouModel::POU_ST, 0);
        ASSERT_TRUE(first);
        ASSERT_EQ(first->id(), 2u);
    }
    void TearDown() override
    {
        stack.clear();
        ProjectModelManager::instance()->removeProjectModel("Random");
        testsupport::defaultHost().cookies()->remove("Project.Name");
    }

    SubModel* model(int kind) const
    {
        switch (kind) {
        case Folders: return project->subModel<FolderModel>();
        case Pous: return project->subModel<PouModel>();
        case Lists: return project->subModel<GlobalVarModel>();
        case Types: return project->subModel<DataTypeModel>();
        default: return project->subModel<TaskModel>();
        }
    }
    // The objects of a kind (the task configuration aside).
    std::vector<ModelObject*> objects(AbstractProjectModel* p, int kind) const
    {
        std::vector<ModelObject*> out;
        auto take = [&out](const auto& all) { out.insert(out.end(), all.begin(), all.end()); };
        if (kind == Folders) {
            std::vector<FolderModel::Folder*> all;
            p->subModel<FolderModel>()->allFolders(all, ~0);
            take(all);
        } else if (kind == Pous) {
            std::vector<PouModel::PouUnit*> all;
            p->subModel<PouModel>()->allPous(all, ~0);
            take(all);
        } else if (kind == Lists) {
            std::vector<GlobalVarModel::GlobalVarTable*> all;
            p->subModel<GlobalVarModel>()->allVarTables(all);
            take(all);
        } else if (kind == Types) {
            std::vector<DataTypeModel::DataUnit*> all;
            p->subModel<DataTypeModel>()->allDataUnits(all);
            take(all);
        } else {
            std::vector<TaskModel::Task*> all;
            p->subModel<TaskModel>()->allTasks(all);
            for (TaskModel::Task* task : all)
                if (task->id() != 0)
                    out.push_back(task);
        }
        return out;
    }
    static std::string nameOf(int kind, ModelObject* o)
    {
        if (kind == Folders)
            return static_cast<FolderModel::Folder*>(o)->name();
        if (kind == Tasks)
            return static_cast<TaskModel::Task*>(o)->name();
        return static_cast<DeclaredObject*>(o)->name();
    }
    static unsigned int idOf(int kind, ModelObject* o)
    {
        if (kind == Folders)
            return static_cast<FolderModel::Folder*>(o)->id();
        if (kind == Tasks)
            return static_cast<TaskModel::Task*>(o)->id();
        return static_cast<DeclaredObject*>(o)->id();
    }
    static unsigned int folderOf(int kind, ModelObject* o)
    {
        if (kind == Folders)
            return static_cast<FolderModel::Folder*>(o)->parentId();
        if (kind == Tasks)
            return 0;
        return static_cast<DeclaredObject*>(o)->folderId();
    }
    static ModelObject* byName(AbstractProjectModel* p, int kind, const std::string& name)
    {
        const QString n = QString::fromStdString(name);
        switch (kind) {
        case Folders: return p->subModel<FolderModel>()->folder(n);
        case Pous: return p->subModel<PouModel>()->pou(n);
        case Lists: return p->subModel<GlobalVarModel>()->varTable(n);
        case Types: return p->subModel<DataTypeModel>()->dataUnit(n);
        default: return p->subModel<TaskModel>()->task(n);
        }
    }

    // Every rule that must hold after any step; returns the snapshot of what the project holds.
    Snapshot check(AbstractProjectModel* p, const std::string& when)
    {
        Snapshot snapshot;
        std::map<unsigned int, FolderModel::Folder*> folders;
        for (ModelObject* o : objects(p, Folders))
            folders[idOf(Folders, o)] = static_cast<FolderModel::Folder*>(o);
        const int folderTypes[KindCount] = {0, FolderModel::PouForder, FolderModel::GlobleVarForder, FolderModel::DataTypeForder, 0};
        std::set<std::string> declaredKeys;
        std::set<unsigned int> pouIds;
        for (int kind = 0; kind < KindCount; ++kind) {
            std::set<std::string> keys;
            for (ModelObject* o : objects(p, kind)) {
                const std::string name = nameOf(kind, o);
                const std::string key = QString::fromStdString(name).toCaseFolded().toStdString();
                EXPECT_FALSE(QString::fromStdString(name).trimmed().isEmpty()) << when;
                EXPECT_TRUE(keys.insert(key).second) << when << ": two objects named " << name;
                if (kind == Pous || kind == Lists || kind == Types) {
                    EXPECT_TRUE(declaredKeys.insert(key).second) << when << ": " << name << " names two kinds";
                }
                EXPECT_EQ(byName(p, kind, name), o) << when << ": " << name << " is not found by its name";
                const unsigned int folder = folderOf(kind, o);
                if (folder != 0) {
                    auto it = folders.find(folder);
                    EXPECT_NE(it, folders.end()) << when << ": " << name << " lies in missing folder " << folder;
                    if (it == folders.end())
                        continue;
                    const int type = kind == Folders ? static_cast<FolderModel::Folder*>(o)->type() : folderTypes[kind];
                    EXPECT_EQ(it->second->type(), type) << when << ": " << name << " lies in a folder of another kind";
                }
                if (kind == Pous)
                    pouIds.insert(idOf(kind, o));
                snapshot[{kind, idOf(kind, o)}] = {name, folder};
            }
        }
        // No folder lies within itself.
        for (const auto& [id, folder] : folders) {
            unsigned int up = folder->parentId();
            for (std::size_t steps = 0; up != 0 && steps <= folders.size(); ++steps) {
                EXPECT_NE(up, id) << when << ": folder " << id << " lies within itself";
                up = folders.count(up) ? folders[up]->parentId() : 0;
            }
        }
        for (ModelObject* o : objects(p, Tasks))
            for (int pouId : static_cast<TaskModel::Task*>(o)->allPouIds())
                EXPECT_TRUE(pouIds.count(static_cast<unsigned int>(pouId))) << when << ": a call of gone POU " << pouId;
        return snapshot;
    }

    ModelObject* add(int kind, const std::string& name, unsigned int folder)
    {
        switch (kind) {
        case Folders:
            return project->subModel<FolderModel>()->addFolder(
                name, folder, std::vector<FolderModel::FolderType>{FolderModel::PouForder, FolderModel::GlobleVarForder}[name.size() % 2]);
        case Pous:
            return project->subModel<PouModel>()->addPou(name, PouModel::FBPOU, PouModel::POU_ST, folder);
        case Lists: return project->subModel<GlobalVarModel>()->addVarTable(name, folder);
        case Types: return project->subModel<DataTypeModel>()->addDataUnit(name, DataTypeModel::Struct, folder);
        default: return project->subModel<TaskModel>()->addTask(name);
        }
    }

    AbstractPlcProjectModel* project = nullptr; // owned by the registry
    ProjectModelStack stack;
};

TEST_P(ModelProperty, randomEditsKeepNamesFoldersAndReferencesTrue)
{
    std::mt19937 random(GetParam());
    auto pick = [&random](std::size_t n) { return static_cast<std::size_t>(random() % n); };
    int edits = 0;
    for (int step = 0; step < 400; ++step) {
        const int kind = static_cast<int>(pick(KindCount));
        SubModel* m = model(kind);
        std::vector<ModelObject*> all = objects(project, kind);
        std::vector<ModelObject*> folders = objects(project, Folders);
        const unsigned int folder = folders.empty() || pick(3) == 0 ? static_cast<unsigned int>(pick(2) * 50)
                                                                    : idOf(Folders, folders[pick(folders.size())]);
        const std::string name = namePool[pick(namePool.size())] + (pick(3) == 0 ? std::to_string(pick(4)) : "");
        const int action = static_cast<int>(pick(7));
        std::string what = "step " + std::to_string(step) + " (seed " + std::to_string(GetParam()) + ")";
        if (action == 0 || all.empty()) {
            if (ModelObject* o = add(kind, name, folder)) {
                stack.pushCommand(new ModelInsertCommand(o, m));
                ++edits;
            }
        } else if (action == 1) {
            ModelObject* o = all[pick(all.size())];
            const QString old = QString::fromStdString(nameOf(kind, o));
            if (m->renameObject(m->getObjPath(o), QString::fromStdString(name)))
                stack.pushCommand(new ModelRenameCommand(o, m, old, QString::fromStdString(name)));
        } else if (action == 2) {
            ModelObject* o = all[pick(all.size())];
            auto command = std::make_unique<ModelRemoveCommand>(o, m);
            QString data;
            if (m->removeObject(m->getObjPath(o), data))
                stack.pushCommand(command.release());
        } else if (action == 3 && kind != Tasks) {
            ModelObject* o = all[pick(all.size())];
            const QString from = m->getObjIndex(o);
            const QString to = ObjectPath::index(folder, QString::number(pick(5)));
            if (m->moveObject(m->getObjPath(o), to))
                stack.pushCommand(new ModelMoveCommand(o, m, from, to));
        } else if (action == 4) {
            std::vector<ModelObject*> tasks = objects(project, Tasks), pous = objects(project, Pous);
            if (!tasks.empty() && !pous.empty()) {
                auto* task = static_cast<TaskModel::Task*>(tasks[pick(tasks.size())]);
                auto join = [](const std::vector<int>& ids) {
                    QStringList parts;
                    for (int id : ids)
                        parts << QString::number(id);
                    return parts.join('.');
                };
                const QString before = join(task->allPouIds());
                if (task->addPou(idOf(Pous, pous[pick(pous.size())]), -1))
                    stack.pushCommand(new ModelModifyCommand(task, model(Tasks), "pouintask", before, join(task->allPouIds())));
            }
        } else if (action == 5 && stack.canUndo()) {
            stack.undo();
        } else if (action == 6 && stack.canRedo()) {
            stack.redo();
        }
        check(project, what);
        if (HasFatalFailure() || HasFailure())
            return;
    }
    EXPECT_GT(edits, 20) << "the sequence made objects to work on";
    const Snapshot before = check(project, "before the save");
    ASSERT_TRUE(project->save());
    stack.clear();
    ProjectModelManager::instance()->removeProjectModel("Random");
    project = nullptr;
    auto reopened = openProject("Random");
    ASSERT_TRUE(reopened);
    EXPECT_EQ(check(reopened.get(), "after reopening"), before);
}

INSTANTIATE_TEST_SUITE_P(Seeds, ModelProperty, ::testing::Values(1u, 2u, 3u, 17u, 2024u));

} // namespace
