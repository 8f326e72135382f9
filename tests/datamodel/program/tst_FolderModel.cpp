// The folder tree: round trips, removal with what is filed under a folder, and the slots
// through which undo and redo re-create, move and rename folders.
#include "ProgramTestSupport.h"

#include "datamodel/project/PlcProjectModel.h"
#include "datamodel/program/DataTypeModel.h"
#include "datamodel/program/FolderModel.h"
#include "datamodel/program/GlobalVarModel.h"
#include "datamodel/program/PouModel.h"

using testsupport::ModelTest;

namespace {

class FolderModelTest : public ModelTest
{
};

using Folder = FolderModel::Folder;

TEST_F(FolderModelTest, foldersWithAwkwardNamesSurviveSaveAndReopen)
{
    auto project = createProject("Tree");
    auto* folders = project->subModel<FolderModel>();
    ASSERT_TRUE(folders);
    Folder* root = folders->addFolder("Programs", 0, FolderModel::PouForder);
    ASSERT_TRUE(root);
    EXPECT_EQ(root->id(), 1u) << "id 0 is reserved for the top of the tree";
    std::vector<unsigned int> ids;
    int row = 0;
    for (const std::string& name : testsupport::awkwardNames()) {
        Folder* folder = folders->addFolder(name, root->id(), FolderModel::PouForder);
        folder->setProperty("Row", std::to_string(row++));
        folder->setProperty("Note", name);
        ids.push_back(folder->id());
    }
    // Names used to be free: an empty name was taken. It names nothing a user can pick.
    EXPECT_FALSE(folders->addFolder("", 0, FolderModel::DataTypeForder));
    EXPECT_EQ(folders->lastError(), "add folder '' refused: the name is empty");
    Folder* empty = folders->addFolder("Types", 0, FolderModel::DataTypeForder);
    EXPECT_TRUE(empty->isModified()) << "a new folder must reach the file without further edits";
    const unsigned int emptyId = empty->id();
    EXPECT_TRUE(folders->save());
    EXPECT_FALSE(root->isModified());
    project.reset();

    auto reopened = openProject("Tree");
    ASSERT_TRUE(reopened);
    auto* loaded = reopened->subModel<FolderModel>();
    row = 0;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        Folder* folder = loaded->folder(ids[i]);
        ASSERT_TRUE(folder) << "folder " << ids[i];
        EXPECT_EQ(folder->name(), testsupport::awkwardNames()[i]);
        EXPECT_EQ(folder->parentId(), 1u);
        EXPECT_EQ(folder->type(), FolderModel::PouForder);
        EXPECT_EQ(folder->propertys(),
                  (std::map<std::string, std::string>{{"Note", testsupport::awkwardNames()[i]},
                                                      {"Row", std::to_string(row++)}}));
        EXPECT_FALSE(folder->isModified());
    }
    ASSERT_TRUE(loaded->folder(emptyId));
    EXPECT_EQ(loaded->folder(emptyId)->name(), "Types");
    EXPECT_EQ(rows(databaseFile("Tree"), "SELECT Name FROM Folder WHERE Id = 2"),
              QStringList({QString::fromUtf8(testsupport::awkward::quote)}));
}

TEST_F(FolderModelTest, listingTreatsTheTypeAsAMask)
{
    auto project = createProject("Masks");
    auto* folders = project->subModel<FolderModel>();
    Folder* pous = folders->addFolder("p", 0, FolderModel::PouForder);
    Folder* lists = folders->addFolder("g", 0, FolderModel::GlobleVarForder);
    Folder* types = folders->addFolder("t", 0, FolderModel::DataTypeForder);
    std::vector<Folder*> out;
    folders->allFolders(out, 0);
    EXPECT_TRUE(out.empty());
    folders->allFolders(out, 14);
    EXPECT_EQ(out, (std::vector<Folder*>{pous, lists, types}));
    out.clear();
    folders->allFolders(out, FolderModel::PouForder | FolderModel::DataTypeForder);
    EXPECT_EQ(out, (std::vector<Folder*>{pous, types}));
}

// Removing a folder used to take what was filed in it at the next save (through the trigger),
// beyond the reach of undo; now a folder that holds anything stays, and says what it holds.
TEST_F(FolderModelTest, onlyAnEmptyFolderIsRemovedAndItsRowGoesAtTheSave)
{
    auto project = createProject("Removal");
    auto* folders = project->subModel<FolderModel>();
    Folder* keep = folders->addFolder("keep", 0, FolderModel::PouForder);
    Folder* drop = folders->addFolder("drop", 0, FolderModel::PouForder);
    project->subModel<PouModel>()->addPou("Kept", PouModel::PRGPOU, PouModel::POU_ST, keep->id());
    project->subModel<PouModel>()->addPou("Gone", PouModel::PRGPOU, PouModel::POU_ST, drop->id());
    Folder* inner = folders->addFolder("inner", drop->id(), FolderModel::PouForder);
    ASSERT_TRUE(inner);
    project->subModel<PouModel>()->addPou("GoneToo", PouModel::FBPOU, PouModel::POU_ST, inner->id());
    ASSERT_TRUE(project->save());
    const QString dropId = QString::number(drop->id());

    EXPECT_FALSE(folders->removeFolder(drop));
    EXPECT_EQ(folders->lastError(), "remove folder 'drop' refused: it holds folder 'inner', POU 'Gone'");
    EXPECT_FALSE(folders->removeFolder(inner));
    EXPECT_EQ(folders->lastError(), "remove folder 'inner' refused: it holds POU 'GoneToo'");
    auto* pouModel = project->subModel<PouModel>();
    ASSERT_TRUE(pouModel->removePou(pouModel->pou(QStringLiteral("Gone"))));
    ASSERT_TRUE(pouModel->removePou(pouModel->pou(QStringLiteral("GoneToo"))));
    EXPECT_FALSE(folders->removeFolder(drop)) << "the inner folder is still there";
    ASSERT_TRUE(folders->removeFolder(inner));
    EXPECT_TRUE(folders->removeFolder(drop));
    EXPECT_FALSE(folders->removeFolder(drop)) << "a removed folder is no longer in the model";
    EXPECT_FALSE(folders->removeFolder(nullptr));
    ASSERT_TRUE(folders->save());
    const std::string file = databaseFile("Removal");
    EXPECT_EQ(rows(file, "SELECT Name FROM Folder ORDER BY Id"), QStringList({"keep"}));
    EXPECT_EQ(rows(file, "SELECT Name FROM POU WHERE FolderId != 0"), QStringList({"Kept"}));
    EXPECT_EQ(rows(file, "SELECT count(*) FROM POU WHERE FolderId = " + dropId), QStringList({"0"}));
    auto* pous = project->subModel<PouModel>();
    ASSERT_NE(pous->pou(QStringLiteral("Kept")), nullptr);

    // An object filed under the removed folder by its raw setter: the file deletes its row with
    // the folder's (trigger delete_folder_table), and the model follows the file.
    Folder* trap = folders->addFolder("trap", 0, FolderModel::PouForder);
    ASSERT_TRUE(project->save());
    const unsigned int trapId = trap->id();
    ASSERT_TRUE(folders->removeFolder(trap));
    pous->addPou("Stray", PouModel::PRGPOU, PouModel::POU_ST, 0)->setFolderId(trapId);
    ASSERT_TRUE(project->save());
    EXPECT_EQ(pous->pou(QStringLiteral("Stray")), nullptr);
    EXPECT_TRUE(logged("POU 'Stray' removed with its folder"));

    // An object moved out of a folder before the folder goes survives it.
    Folder* other = folders->addFolder("other", 0, FolderModel::PouForder);
    ASSERT_TRUE(project->save());
    pous->pou(QStringLiteral("Kept"))->setFolderId(keep->id());
    PouModel::PouUnit* moved = pous->addPou("Moved", PouModel::PRGPOU, PouModel::POU_ST, other->id());
    ASSERT_TRUE(project->save());
    moved->setFolderId(keep->id());
    ASSERT_TRUE(folders->removeFolder(other));
    ASSERT_TRUE(project->save());
    const unsigned int keepId = keep->id();
    project.reset();
    auto reopened = openProject("Removal");
    ASSERT_TRUE(reopened);
    EXPECT_NE(reopened->subModel<PouModel>()->pou(QStringLiteral("Moved")), nullptr);
    EXPECT_EQ(reopened->subModel<PouModel>()->pou(QStringLiteral("Gone")), nullptr);
    project = std::move(reopened);
    folders = project->subModel<FolderModel>();
    keep = folders->folder(keepId);
    ASSERT_TRUE(keep);

    // With no folder left in memory a save leaves the table empty.
    EXPECT_FALSE(folders->removeFolder(keep));
    for (const char* name : {"Kept", "Moved"})
        project->subModel<PouModel>()->pou(QString(name))->setFolderId(0);
    EXPECT_TRUE(folders->removeFolder(keep));
    ASSERT_TRUE(folders->save());
    EXPECT_EQ(rows(file, "SELECT count(*) FROM Folder"), QStringList({"0"}));
}

TEST_F(FolderModelTest, removeAndInsertRestoreAFolderExactly)
{
    auto project = createProject("Undo");
    auto* folders = project->subModel<FolderModel>();
    Folder* parent = folders->addFolder("parent", 0, FolderModel::PouForder);
    Folder* folder = folders->addFolder(testsupport::awkward::chinese, parent->id(), FolderModel::PouForder);
    folder->setProperty("Row", "3");
    folder->setProperty("Comment", testsupport::awkward::quote);
    const QString path = folders->getObjPath(folder);
    const QString before = folders->objToData(folder);
    EXPECT_EQ(folders->getObjIndex(folder), QString::number(parent->id()) + ObjectPath::Separator + "3");

    QString data;
    ASSERT_TRUE(folders->removeObject(path, data));
    EXPECT_EQ(data, before);
    EXPECT_FALSE(folders->folder(path.toUInt()));
    ASSERT_TRUE(folders->insertObject(path, data));
    Folder* restored = folders->folder(path.toUInt());
    ASSERT_TRUE(restored);
    EXPECT_EQ(folders->objToData(restored), before);
    EXPECT_TRUE(restored->isModified());
    EXPECT_FALSE(folders->insertObject(path, data)) << "the id is in use again";

    // A restored folder reaches the file like a new one.
    ASSERT_TRUE(folders->save());
    project.reset();
    auto reopened = openProject("Undo");
    Folder* loaded = reopened->subModel<FolderModel>()->folder(path.toUInt());
    ASSERT_TRUE(loaded);
    EXPECT_EQ(reopened->subModel<FolderModel>()->objToData(loaded), before);
}

struct RefusedInsert
{
    const char* name;
    const char* path;
    const char* data;
};

class FolderInsertRefused : public FolderModelTest, public ::testing::WithParamInterface<RefusedInsert>
{
};

TEST_P(FolderInsertRefused, changesNothing)
{
    auto project = createProject("Refused");
    auto* folders = project->subModel<FolderModel>();
    folders->addFolder("existing", 0, FolderModel::PouForder); // id 1
    QString data;
    ASSERT_FALSE(folders->removeObject("77", data)) << "no folder 77";
    const std::string file = databaseFile("Refused");

    EXPECT_FALSE(folders->insertObject(GetParam().path, QString::fromUtf8(GetParam().data)));
    std::vector<Folder*> all;
    folders->allFolders(all, ~0);
    EXPECT_EQ(all.size(), 1u);
    EXPECT_EQ(folders->addFolder("next", 0, FolderModel::PouForder)->id(), 2u) << "no id was taken";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FolderInsertRefused,
    ::testing::Values(
        RefusedInsert{"notJson", "5", "{\"ID\":\"5\""},
        RefusedInsert{"notAnObject", "5", "[\"5\"]"},
        RefusedInsert{"idDiffersFromPath", "5", R"({"ID":"6","PARENTID":"0","TYPE":"8","NAME":"x"})"},
        RefusedInsert{"idInUse", "1", R"({"ID":"1","PARENTID":"0","TYPE":"8","NAME":"x"})"},
        RefusedInsert{"idReserved", "0", R"({"ID":"0","PARENTID":"0","TYPE":"8","NAME":"x"})"},
        RefusedInsert{"idAboveTheAllocator", "100001", R"({"ID":"100001","PARENTID":"0","TYPE":"8","NAME":"x"})"},
        RefusedInsert{"unknownParent", "5", R"({"ID":"5","PARENTID":"9","TYPE":"8","NAME":"x"})"},
        RefusedInsert{"parentNotANumber", "5", R"({"ID":"5","PARENTID":"one","TYPE":"8","NAME":"x"})"},
        RefusedInsert{"pathNotANumber", "five", R"({"ID":"five","PARENTID":"0","TYPE":"8","NAME":"x"})"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FolderModelTest, insertUnderTheTopOrAnExistingParentSucceeds)
{
    auto project = createProject("Parents");
    auto* folders = project->subModel<FolderModel>();
    EXPECT_TRUE(folders->insertObject("5", R"({"ID":"5","PARENTID":"0","TYPE":"8","NAME":"top"})"));
    EXPECT_TRUE(folders->insertObject("6", R"({"ID":"6","PARENTID":"5","TYPE":"8","NAME":"child"})"));
    EXPECT_EQ(folders->folder(6)->parentId(), 5u);
    EXPECT_EQ(folders->addFolder("next", 0, FolderModel::PouForder)->id(), 1u);
}

TEST_F(FolderModelTest, moveNeedsExactlyTwoPiecesAndAFolderId)
{
    auto project = createProject("Moves");
    auto* folders = project->subModel<FolderModel>();
    Folder* folder = folders->addFolder("f", 0, FolderModel::PouForder);
    for (const char* other : {"g", "h", "i"}) // ids 2 to 4
        folders->addFolder(other, 0, FolderModel::PouForder);
    ASSERT_TRUE(folders->save());
    const QString path = folders->getObjPath(folder);
    const QString sep = ObjectPath::Separator;
    for (const QString& bad : {QString("4"), "4" + sep + "1" + sep + "2", "x" + sep + "1", QString()}) {
        EXPECT_FALSE(folders->moveObject(path, bad)) << bad.toStdString();
        EXPECT_EQ(folder->parentId(), 0u);
        EXPECT_EQ(folder->property("Row", "none"), "none");
        EXPECT_FALSE(folder->isModified());
    }
    EXPECT_FALSE(folders->moveObject("99", "4" + sep + "1"));
    EXPECT_FALSE(folders->moveObject(path, "5" + sep + "1")) << "no folder 5";
    EXPECT_FALSE(folders->moveObject(path, "1" + sep + "1")) << "not into itself";
    ASSERT_TRUE(folders->moveObject(path, "4" + sep + "1"));
    EXPECT_EQ(folder->parentId(), 4u);
    EXPECT_EQ(folder->property("Row"), "1");
    EXPECT_TRUE(folders->renameObject(path, QString::fromUtf8(testsupport::awkward::percent)));
    EXPECT_EQ(folder->name(), testsupport::awkward::percent);
    EXPECT_FALSE(folders->renameObject("99", "x"));
}

TEST_F(FolderModelTest, reloadReadsTheStoredNameAgain)
{
    auto project = createProject("Reload");
    auto* folders = project->subModel<FolderModel>();
    Folder* folder = folders->addFolder("stored", 0, FolderModel::PouForder);
    ASSERT_TRUE(folders->save());
    folder->rename("edited");
    EXPECT_TRUE(folder->load());
    EXPECT_EQ(folder->name(), "stored");
    EXPECT_FALSE(folder->isModified());
}

} // namespace
