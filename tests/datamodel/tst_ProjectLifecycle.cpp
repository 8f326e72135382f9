// The lifecycle of project models: create, open, save, save as, the project information
// record, and the compiler core that a writable project gets.
#include "ModelTestSupport.h"

#include "datamodel/model/DatabaseConnection_p.h"
#include "datamodel/project/PlcLibraryModel.h"
#include "datamodel/project/PlcProjectModel.h"
#include "datamodel/model/PrjInfoModel.h"
#include "datamodel/model/SubModel.h"

#include "accore/ACCore.h"
#include "accore/AccoreManager.h"
#include "accore/SafeAccore.h"

#include <QCryptographicHash>
#include <QFile>
#include <QDateTime>
#include <QSqlQuery>

using testsupport::ModelTest;

namespace {

QByteArray fileHash(const std::string& file)
{
    QFile f(QString::fromStdString(file));
    f.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

// Every field of the project information record, for comparisons.
std::map<std::string, std::string> fields(const PrjInfoModel::PrjInfo& info)
{
    std::map<std::string, std::string> out = info.propertys();
    out["@id"] = std::to_string(info.id());
    out["@type"] = std::to_string(info.type());
    out["@name"] = info.name();
    out["@comments"] = info.comments();
    out["@author"] = info.author();
    out["@version"] = info.version();
    out["@createVersion"] = info.createVersion();
    out["@modifyVersion"] = info.modifyVersion();
    out["@company"] = info.company();
    return out;
}

PrjInfoModel::PrjInfo* infoOf(AbstractProjectModel* project)
{
    auto* model = project ? project->subModel<PrjInfoModel>() : nullptr;
    return model ? model->projectInfo() : nullptr;
}

// A sub-model that only records how it is driven.
class ProbeModel : public SubModel
{
public:
    ProbeModel(const std::string& name, AbstractProjectModel* project, bool saveResult, std::vector<std::string>* calls)
        : SubModel(name, project), m_saveResult(saveResult), m_calls(calls)
    {
    }
    bool open() override { return true; }
    bool save() override
    {
        m_calls->push_back(name());
        return m_saveResult;
    }
    bool saveAs(bool) override { return true; }

private:
    bool saveObject(ModelObject*) override { return false; }
    bool loadObject(ModelObject*) override { return false; }
    bool m_saveResult;
    std::vector<std::string>* m_calls;
};

class ProjectLifecycle : public ModelTest
{
};

TEST_F(ProjectLifecycle, informationRoundTripForProjectsAndLibraries)
{
    const std::string awkwardName = std::string("Line 'A' %1 ") + u8"主线";
    struct Case
    {
        std::string name;
        std::string type;
    };
    for (const Case& c : {Case{awkwardName, "Project"}, Case{"Conveyor", "UserLib"}, Case{"Firmware", "FirmwareLib"}}) {
        SCOPED_TRACE(c.type);
        std::map<std::string, std::string> before;
        {
            std::unique_ptr<PlcLibraryModel> model;
            if (c.type == "Project")
                model = createProject(c.name, "JPStyle");
            else
                model = createLibrary(c.name, c.type);
            ASSERT_TRUE(infoOf(model.get()));
            PrjInfoModel::PrjInfo* info = infoOf(model.get());
            info->setVersion("1.4.2.0");
            info->setModifyVersion("2.0.1");
            info->setProperty("Note", "it's \"quoted\" %1");
            ASSERT_TRUE(model->save());
            EXPECT_FALSE(info->isModified());
            before = fields(*info);
            EXPECT_EQ(before["@name"], c.name);
            EXPECT_EQ(before["ProjectUUID"].size(), 36u);
        }
        const std::string file = databaseFile(c.name, c.type);
        for (bool writable : {false, true}) {
            std::unique_ptr<PlcLibraryModel> reopened;
            if (c.type == "Project")
                reopened = std::make_unique<PlcProjectModel>(c.name, temp.path().toStdString(), file);
            else
                reopened = std::make_unique<PlcLibraryModel>(c.name, temp.path().toStdString(), file);
            ASSERT_TRUE(reopened->open(c.name, file, "kv rond", writable));
            PrjInfoModel::PrjInfo* info = infoOf(reopened.get());
            ASSERT_TRUE(info);
            EXPECT_EQ(fields(*info), before) << (writable ? "writable" : "read-only");
            EXPECT_EQ(reopened->type(), static_cast<AbstractPlcProjectModel::ProjectType>(std::stoi(before["@type"])));
        }
        const auto info = AbstractPlcProjectModel::getProjectInfo("test", QString::fromStdString(file));
        EXPECT_EQ(info.value("fileName").toStdString(), c.name);
        EXPECT_EQ(info.value("projectType").toStdString(), c.type);
        EXPECT_EQ(info.value("comments"), "packaging line");
        EXPECT_EQ(info.value("author"), "Li Wei");
        EXPECT_EQ(info.value("ProgramStyle"), c.type == "Project" ? "JPStyle" : "IECStyle");
    }
}

TEST_F(ProjectLifecycle, libraryProjectsCarryOnlyTheCommonSubModels)
{
    auto library = createLibrary("Lib", "UserLib");
    auto project = createProject("Prj");
    std::vector<std::string> libraryModels, projectModels;
    for (SubModel* model : library->subModels())
        libraryModels.push_back(model->name());
    for (SubModel* model : project->subModels())
        projectModels.push_back(model->name());
    EXPECT_TRUE(std::is_sorted(projectModels.begin(), projectModels.end())) << "loops run in name order";
    for (const std::string& name : libraryModels)
        EXPECT_NE(std::find(projectModels.begin(), projectModels.end(), name), projectModels.end()) << name;
    for (const char* projectOnly : {"TaskModel", "TraceModel", "WatchListModel", "DeviceTreeModel", "AxisModel",
                                    "AxisGroupModel", "EcamModel", "HmiCfgModel", "SoftComponentModel"})
        EXPECT_EQ(library->subModel(projectOnly), nullptr) << projectOnly;
    const std::vector<std::string> common = {"DataTypeModel", "FolderModel", "GlobalVarModel", "InternationalModel",
                                             "LibraryModel",  "PouModel",    "PrjInfoModel"};
    EXPECT_EQ(libraryModels, common) << "exactly the seven common sub-models, in name order";
    // No hidden objects and no device hand-over in a library.
    std::vector<SubModel*> models = library->subModels();
    for (const char* hidden : {"HiddenAxisVar", "DevicePOU"})
        EXPECT_EQ(rows(databaseFile("Lib", "UserLib"),
                       QStringLiteral("SELECT count(*) FROM GlobalVar WHERE Name = '%1'").arg(hidden)),
                  QStringList({"0"}));
    EXPECT_EQ(rows(databaseFile("Lib", "UserLib"), "SELECT count(*) FROM POU"), QStringList({"0"}));
    EXPECT_EQ(library->isOpen(), true);
    EXPECT_EQ(project->isOpen(), false);
}

TEST_F(ProjectLifecycle, createNeedsEveryParameterBeforeTouchingAFile)
{
    for (const char* missing : {"fileName", "filePath", "projectType", "programStyle"}) {
        auto p = params("NoStyle");
        p.erase(missing);
        PlcProjectModel project("NoStyle", temp.path().toStdString(), databaseFile("NoStyle"));
        EXPECT_FALSE(project.create(p)) << missing;
        EXPECT_FALSE(QFile::exists(QString::fromStdString(databaseFile("NoStyle")))) << missing;
        EXPECT_FALSE(ac::AccoreManager::instance()->hasAccore("NoStyle")) << missing;
    }
    // Creating over an existing project would duplicate its default rows: refused.
    createProject("Twice").reset();
    const QByteArray before = fileHash(databaseFile("Twice"));
    PlcProjectModel again("Twice", temp.path().toStdString(), databaseFile("Twice"));
    EXPECT_FALSE(again.create(params("Twice")));
    EXPECT_EQ(fileHash(databaseFile("Twice")), before);
}

TEST_F(ProjectLifecycle, readOnlyOpenRegistersNoCoreAndWritesNothing)
{
    createProject("Quiet").reset();
    ASSERT_FALSE(ac::AccoreManager::instance()->hasAccore("Quiet")) << "a closed project leaves no core behind";
    const QByteArray before = fileHash(databaseFile("Quiet"));
    {
        auto project = openProject("Quiet", false);
        ASSERT_TRUE(project);
        EXPECT_FALSE(ac::AccoreManager::instance()->hasAccore("Quiet"));
        infoOf(project.get())->setComments("not saved");
    }
    EXPECT_EQ(fileHash(databaseFile("Quiet")), before) << "no VACUUM, no table, no write";

    // A writable open gets a core with the project's style and its file registered.
    auto project = openProject("Quiet", true);
    ASSERT_TRUE(project);
    ac::SafeAccore core("Quiet");
    ASSERT_TRUE(core.getAccore());
    EXPECT_EQ(core.getAccore()->getProgramStyle(), 0);
    const ac::ProjectFile* file = core.getAccore()->file(0);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->type, 1);
    EXPECT_EQ(file->path, databaseFile("Quiet"));
}

TEST_F(ProjectLifecycle, japaneseStyleGivesTheCoreStyleOne)
{
    auto project = createProject("Jp", "JPStyle");
    ac::SafeAccore core("Jp");
    ASSERT_TRUE(core.getAccore());
    EXPECT_EQ(core.getAccore()->getProgramStyle(), 1);
}

TEST_F(ProjectLifecycle, saveGoesOnPastAFailingSubModelAndReportsFalse)
{
    auto project = createProject("Probe");
    std::vector<std::string> calls;
    ASSERT_TRUE(project->addSubModel(new ProbeModel("AAFailing", project.get(), false, &calls)));
    ASSERT_TRUE(project->addSubModel(new ProbeModel("ZZCounting", project.get(), true, &calls)));
    auto* duplicate = new ProbeModel("ZZCounting", project.get(), true, &calls);
    EXPECT_FALSE(project->addSubModel(duplicate)) << "the first sub-model of a name stays";
    delete duplicate;
    EXPECT_FALSE(project->save());
    EXPECT_EQ(calls, (std::vector<std::string>{"AAFailing", "ZZCounting"}));
    EXPECT_TRUE(logged("工程保存失败"));
}

TEST_F(ProjectLifecycle, saveAsSwitchesOnlyToAnOpenProjectFile)
{
    auto project = createProject("Origin");
    ASSERT_TRUE(project->save());
    const std::string origin = databaseFile("Origin");
    const std::string copy = temp.file("Copy.nvp");
    ASSERT_TRUE(QFile::copy(QString::fromStdString(origin), QString::fromStdString(copy)));

    // A target that is missing or holds no project: the model stays on its file.
    const QString before = project->db().connectionName();
    EXPECT_FALSE(project->saveAs("Origin", temp.file("missing.nvp"), true));
    EXPECT_FALSE(QFile::exists(temp.filePath("missing.nvp")));
    QFile junk(temp.filePath("junk.nvp"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(4096, 'x'));
    junk.close();
    EXPECT_FALSE(project->saveAs("Origin", temp.file("junk.nvp"), true));
    EXPECT_EQ(project->db().connectionName(), before);
    infoOf(project.get())->setComments("still on the origin");
    ASSERT_TRUE(project->save());
    EXPECT_EQ(rows(origin, "SELECT Description FROM ProjectInfo"), QStringList({"still on the origin"}));

    // A proper copy: the model writes there from now on; the old connection is gone.
    ASSERT_TRUE(project->saveAs("Origin", copy, true));
    EXPECT_FALSE(QSqlDatabase::connectionNames().contains(before));
    EXPECT_EQ(project->db().databaseName().toStdString(), copy);
    infoOf(project.get())->setComments("in the copy");
    ASSERT_TRUE(project->save());
    EXPECT_EQ(rows(copy, "SELECT Description FROM ProjectInfo"), QStringList({"in the copy"}));
    EXPECT_EQ(rows(origin, "SELECT Description FROM ProjectInfo"), QStringList({"still on the origin"}));

    // An automatic save (flag false) writes but leaves the record marked modified.
    ASSERT_TRUE(project->saveAs("Origin", copy, false));
    infoOf(project.get())->setComments("automatic");
    ASSERT_TRUE(project->save());
    EXPECT_TRUE(infoOf(project.get())->isModified());
    EXPECT_EQ(rows(copy, "SELECT Description FROM ProjectInfo"), QStringList({"automatic"}));
    ASSERT_TRUE(project->saveAs("Origin", copy, true));
    ASSERT_TRUE(project->save());
    EXPECT_FALSE(infoOf(project.get())->isModified());
}

TEST_F(ProjectLifecycle, changeStampsFollowTheUpdateStatus)
{
    auto project = createProject("Stamps");
    PrjInfoModel::PrjInfo* info = infoOf(project.get());
    ASSERT_TRUE(project->save());
    info->setProperty("ProgramModifiedTime", "1");
    info->setProperty("CfgModifiedTime", "1");
    ASSERT_TRUE(project->save());
    project->setUpdateStatue(false);
    info->setProgramOrCfgTime(false);
    info->setProgramOrCfgTime(true);
    EXPECT_FALSE(info->isModified());
    EXPECT_EQ(info->property("ProgramModifiedTime"), "1");
    EXPECT_EQ(info->property("CfgModifiedTime"), "1");
    project->setUpdateStatue(true);
    info->setProgramOrCfgTime(true);
    EXPECT_TRUE(info->isModified());
    EXPECT_EQ(info->property("ProgramModifiedTime"), "1") << "a configuration change stamps only its own time";
    const long long stamp = std::stoll(info->property("CfgModifiedTime", "0"));
    EXPECT_NEAR(static_cast<double>(stamp), static_cast<double>(QDateTime::currentSecsSinceEpoch()), 5.0);
    EXPECT_EQ(PrjInfoModel::PrjInfo(AbstractPlcProjectModel::Project, "x", nullptr).version(), "0.0.0.0");
}

TEST_F(ProjectLifecycle, staticInformationAccessAndAMissingRecord)
{
    createProject("Static").reset();
    const QString file = QString::fromStdString(databaseFile("Static"));
    QMap<QString, QString> update{{"fileName", "Renamed"}, {"projectType", "Project"}, {"comments", "c'1"},
                                  {"author", "%1"}};
    EXPECT_TRUE(AbstractPlcProjectModel::setProjectInfo("test", file, update));
    const auto info = AbstractPlcProjectModel::getProjectInfo("test", file);
    EXPECT_EQ(info.value("fileName"), "Renamed");
    EXPECT_EQ(info.value("comments"), "c'1");
    EXPECT_EQ(info.value("author"), "%1");
    update.remove("author");
    EXPECT_FALSE(AbstractPlcProjectModel::setProjectInfo("test", file, update));
    EXPECT_TRUE(AbstractPlcProjectModel::getProjectInfo("test", temp.filePath("none.nvp")).isEmpty());

    // A file without its information row does not open as a project, and a record whose row
    // is gone does not report a save that wrote nothing.
    auto project = openProject("Static");
    ASSERT_TRUE(project);
    auto* infoModel = project->subModel<PrjInfoModel>();
    ASSERT_TRUE(project->save()); // the row is found by the record's name, which the open changed
    ASSERT_TRUE(infoModel->removeProjectInfo());
    EXPECT_EQ(rows(databaseFile("Static"), "SELECT count(*) FROM ProjectInfo"), QStringList({"0"}));
    infoModel->projectInfo()->setComments("lost?");
    EXPECT_FALSE(project->save());
    EXPECT_TRUE(infoModel->projectInfo()->isModified());
    project.reset();
    EXPECT_EQ(openProject("Static"), nullptr);
}

} // namespace
