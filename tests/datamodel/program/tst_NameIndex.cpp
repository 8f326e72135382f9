// Lookups by name go through an index: it must follow every change of a name or of the set of
// objects (a stale entry would find a removed object or miss a renamed one), and saving writes
// the objects set modified since the last save, whatever the size of the project.
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

#include <QFile>

using testsupport::ModelTest;

namespace {

class NameIndexTest : public ModelTest
{
protected:
    void TearDown() override
    {
        stack.clear();
        ProjectModelManager::instance()->removeProjectModel("Index");
        testsupport::defaultHost().cookies()->remove("Project.Name");
    }
    // A registered project, so that commands find it again.
    AbstractProjectModel* registered()
    {
        AbstractProjectModel* project = createProject("Index").release();
        EXPECT_EQ(ProjectModelManager::instance()->addProjectModel("Index", project), ProjectModelManager::Success);
        testsupport::defaultHost().cookies()->setValue("Project.Name", "Index");
        return project;
    }

    ProjectModelStack stack;
};

TEST_F(NameIndexTest, followsRenameRemoveUndoRedoSaveAsAndReopen)
{
    AbstractProjectModel* project = registered();
    auto* pous = project->subModel<PouModel>();
    auto* types = project->subModel<DataTypeModel>();
    auto* folders = project->subModel<FolderModel>();
    auto* tasks = project->subModel<TaskModel>();
    PouModel::PouUnit* pou = pous->addPou("Alpha", PouModel::PRGPOU, PouModel::POU_ST, 0);
    const QString path = QString::number(pou->id());

    ASSERT_TRUE(pous->renameObject(path, "Beta"));
    stack.pushCommand(new ModelRenameCommand(pou, pous, "Alpha", "Beta"));
    EXPECT_FALSE(pous->pou(QString("alpha")));
    EXPECT_EQ(pous->pou(QString("BETA")), pou);
    EXPECT_TRUE(types->addDataUnit("Alpha", DataTypeModel::Struct, 0)) << "the old name is free";
    ASSERT_TRUE(types->removeDataUnit(types->dataUnit(QString("Alpha"))));

    stack.undo();
    EXPECT_EQ(pous->pou(QString("Alpha")), pou);
    EXPECT_FALSE(pous->pou(QString("Beta")));
    stack.redo();
    EXPECT_EQ(pous->pou(QString("Beta")), pou);

    auto* remove = new ModelRemoveCommand(pou, pous);
    QString data;
    ASSERT_TRUE(pous->removeObject(path, data));
    stack.pushCommand(remove);
    EXPECT_FALSE(pous->pou(QString("Beta")));
    EXPECT_FALSE(types->addDataUnit("beta", DataTypeModel::Struct, 0) == nullptr) << "a removed name is free";
    ASSERT_TRUE(types->removeDataUnit(types->dataUnit(QString("beta"))));
    stack.undo();
    PouModel::PouUnit* back = pous->pou(QString("beta"));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->id(), path.toUInt());
    EXPECT_FALSE(types->addDataUnit("Beta", DataTypeModel::Struct, 0)) << "taken again after the undo";

    // Folders and tasks by name, through their own renames.
    FolderModel::Folder* folder = folders->addFolder("Lines", 0, FolderModel::PouForder);
    ASSERT_TRUE(folder->rename("Cells"));
    EXPECT_EQ(folders->folder(QString("cells")), folder);
    EXPECT_FALSE(folders->folder(QString("Lines")));
    TaskModel::Task* task = tasks->addTask("Fast");
    ASSERT_TRUE(tasks->renameObject(QString::number(task->id()), "Faster"));
    EXPECT_EQ(tasks->task(QString("FASTER")), task);
    EXPECT_FALSE(tasks->task(QString("Fast")));

    // Save as another file, reopen it: the index is built from the rows.
    const std::string copy = temp.file("Copy.nvp");
    ASSERT_TRUE(QFile::copy(QString::fromStdString(databaseFile("Index")), QString::fromStdString(copy)));
    ASSERT_TRUE(project->saveAs("Index", copy, true));
    ASSERT_TRUE(project->save());
    stack.clear();
    ProjectModelManager::instance()->removeProjectModel("Index");
    auto reopened = std::make_unique<PlcProjectModel>("Copy", temp.path().toStdString(), copy);
    ASSERT_TRUE(reopened->open("Copy", copy, AbstractPlcProjectModel::DefaultPassword.toStdString(), true));
    EXPECT_TRUE(reopened->subModel<PouModel>()->pou(QString("beta")));
    EXPECT_FALSE(reopened->subModel<PouModel>()->pou(QString("Alpha")));
    EXPECT_TRUE(reopened->subModel<FolderModel>()->folder(QString("Cells")));
    EXPECT_TRUE(reopened->subModel<TaskModel>()->task(QString("Faster")));
    EXPECT_FALSE(reopened->subModel<PouModel>()->addPou("BETA", PouModel::PRGPOU, PouModel::POU_ST, 0));
}

TEST_F(NameIndexTest, rowsThatShareANameAreFoundByTheLowerIdAsBefore)
{
    auto project = createProject("Shared");
    project.reset();
    // An older file with names that differ in case only, and with non-ASCII ones.
    ASSERT_TRUE(testsupport::execOn(databaseFile("Shared"),
                                    u8"INSERT INTO DataType (Id, Type, Name, VarDeclaration, FolderId, Properties, ModifyTime) "
                                    u8"VALUES (30, 0, 'point', '', 0, '{}', 0), (20, 0, 'POINT', '', 0, '{}', 0), "
                                    u8"(40, 0, 'Kelvin\u212A', '', 0, '{}', 0), (50, 0, 'Straße', '', 0, '{}', 0)"));
    ASSERT_TRUE(testsupport::execOn(databaseFile("Shared"),
                                    u8"INSERT INTO GlobalVar (Id, Name, LogicContext, Properties, FolderId, ModifyTime) "
                                    u8"VALUES (60, 'Ä_list', '', '{}', 0, 0)"));
    auto reopened = openProject("Shared");
    auto* types = reopened->subModel<DataTypeModel>();
    EXPECT_EQ(types->dataUnit(QString("Point"))->id(), 20u);
    EXPECT_EQ(types->dataUnit(QString::fromUtf8("kelvink"))->id(), 40u) << "the Kelvin sign folds to k";
    EXPECT_EQ(types->dataUnit(QString::fromUtf8(u8"STRASSE")), nullptr) << "simple folding, as the comparison";
    auto* lists = reopened->subModel<GlobalVarModel>();
    EXPECT_EQ(lists->varTable(QString::fromUtf8(u8"ä_LIST")), nullptr) << "ASCII letters only";
    EXPECT_EQ(lists->varTable(QString::fromUtf8(u8"Ä_LIST"))->id(), 60u);
    EXPECT_EQ(lists->varTableIgnoringCase(QString::fromUtf8(u8"ä_LIST"))->id(), 60u);
    ASSERT_TRUE(types->removeDataUnit(types->dataUnit(QString("point"))));
    EXPECT_EQ(types->dataUnit(QString("Point"))->id(), 30u) << "the other row of the name remains";
}

TEST_F(NameIndexTest, aSaveWritesOnlyWhatWasSetModified)
{
    auto project = createProject("Edits");
    auto* pous = project->subModel<PouModel>();
    PouModel::PouUnit* edited = pous->addPou("Edited", PouModel::PRGPOU, PouModel::POU_ST, 0);
    PouModel::PouUnit* other = pous->addPou("Other", PouModel::PRGPOU, PouModel::POU_ST, 0);
    ASSERT_TRUE(project->save());
    const std::string file = databaseFile("Edits");
    // Another program changes a row; a save that wrote every POU would overwrite it.
    ASSERT_TRUE(testsupport::execOn(file, QStringLiteral("UPDATE POU SET LogicContext = 'theirs' WHERE Id = %1").arg(other->id())));
    edited->setLogicContext("mine");
    ASSERT_TRUE(project->save());
    EXPECT_EQ(rows(file, QStringLiteral("SELECT LogicContext FROM POU WHERE Id IN (%1, %2) ORDER BY Id")
                             .arg(edited->id()).arg(other->id())),
              QStringList({"mine", "theirs"}));
    // Set modified directly, as a host may: written too.
    other->setModified(true);
    ASSERT_TRUE(project->save());
    EXPECT_EQ(rows(file, QStringLiteral("SELECT LogicContext FROM POU WHERE Id = %1").arg(other->id())), QStringList({""}));
    EXPECT_FALSE(other->isModified());
}

} // namespace
