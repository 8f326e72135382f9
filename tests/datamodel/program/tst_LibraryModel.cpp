// The library model: the standard libraries of a new project, adding with the password prompt
// and every refusal, version folders, replace and remove through save and reopen, the plcproj
// commands, and the faults mended: half-way copies, unsafe versions and paths, and files that
// are no library.
#include "ProgramTestSupport.h"

#include "datamodel/compiler/SymbolSynchrinizer.h"
#include "datamodel/project/PlcLibraryModel.h"
#include "datamodel/project/PlcProjectModel.h"
#include "datamodel/model/ProjectModelManager.h"
#include "datamodel/program/LibraryModel.h"
#include "host/CookieStore.h"
#include "host/ScriptedDialogs.h"

#include "accore/ACCore.h"
#include "accore/SafeAccore.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <sys/resource.h>

#include <csignal>

using testsupport::ModelTest;

namespace {

const char* const line = "Line";

QString binaryDir()
{
    return QString::fromUtf8(qgetenv("DATAMODEL_BINARY_DIR"));
}

QString standardLibrary(const char* name)
{
    return binaryDir() + "/share/datamodel/libraries/" + name;
}

struct ToolRun
{
    int code = -1;
    QString out;
    QString err;
};

ToolRun plcproj(const QStringList& args)
{
    QProcess process;
    process.start(binaryDir() + "/bin/plcproj", args);
    process.waitForFinished(120000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

int loadFailures()
{
    return testsupport::defaultHost().messages().filter("Load Failed").size();
}

bool copyInto(const QString& source, const QString& folder, const QString& name)
{
    return QDir().mkpath(folder) && QFile::copy(source, folder + "/" + name);
}

class Libraries : public ModelTest
{
protected:
    void SetUp() override
    {
        ModelTest::SetUp();
        dialogs()->clear();
    }
    void TearDown() override
    {
        closeProject();
        dialogs()->clear();
    }

    static host::ScriptedDialogs* dialogs()
    {
        return dynamic_cast<host::ScriptedDialogs*>(testsupport::defaultHost().dialogs());
    }

    // A compiled library "<base>.nvl" of one version in a folder of its own. Names beginning
    // "ST_" become structures, "GVL_" global lists, all others function blocks.
    QString makeLibrary(const std::string& base, const std::string& version, const std::vector<std::string>& names,
                        bool compiled = true, const QString& password = QString())
    {
        const QString folder = temp.filePath(QString::fromStdString("src/" + base + "-" + version));
        QDir().mkpath(folder);
        const QString file = folder + "/" + QString::fromStdString(base) + ".nvl";
        const std::string name = "lib_" + base + "_" + version;
        auto library = std::make_unique<PlcLibraryModel>(name, folder.toStdString(), file.toStdString());
        auto settings = params(name, "UserLib");
        settings["filePath"] = file.toStdString();
        EXPECT_TRUE(library->create(settings));
        for (const std::string& object : names) {
            if (object.rfind("ST_", 0) == 0)
                library->subModel<DataTypeModel>()->addDataUnit(object, DataTypeModel::Struct, 0)->setVarDeclaration(
                    "TYPE " + object + " :\nSTRUCT\n    open : BOOL;\nEND_STRUCT;\nEND_TYPE\n");
            else if (object.rfind("GVL_", 0) == 0)
                library->subModel<GlobalVarModel>()->addVarTable(object, 0)->setVarDeclaration(
                    "VAR_GLOBAL\n    " + object + "_count : INT;\nEND_VAR\n");
            else
                library->subModel<PouModel>()->addPou(object, PouModel::FBPOU, PouModel::POU_ST, 0)->setVarDeclaration(
                    "FUNCTION_BLOCK " + object + "\nVAR_INPUT\n    open : BOOL;\nEND_VAR\n");
        }
        PrjInfoModel::PrjInfo* info = testsupport::projectInfo(*library);
        info->setVersion(version);
        info->setProperty("Compile", compiled ? "true" : "false");
        EXPECT_TRUE(library->save());
        if (!password.isEmpty()) {
            EXPECT_TRUE(AbstractPlcProjectModel::modifyDbPassword(library.get(), password));
        }
        return file;
    }

    // The standard libraries where "plcproj create" puts them.
    void installStandardLibraries(const QString& projectDir)
    {
        ASSERT_TRUE(QFileInfo(standardLibrary("sys_include.nvl")).isFile()) << "build the target standard_libraries";
        ASSERT_TRUE(copyInto(standardLibrary("sys_include.nvl"), projectDir + "/Libraries/norvale/sys_include/1.0.0.0",
                             "sys_include.nvl"));
        ASSERT_TRUE(copyInto(standardLibrary("motion_control.nvl"),
                             projectDir + "/Libraries/norvale/motion_control/0.2.0.0", "motion_control.nvl"));
    }

    // The user project "Line" with the standard libraries, opened for editing and registered.
    void openLine()
    {
        {
            auto created = createProject(line);
            ASSERT_TRUE(created->save());
        }
        installStandardLibraries(temp.path());
        reopen();
    }
    void reopen()
    {
        closeProject();
        auto opened = openProject(line);
        ASSERT_TRUE(opened);
        project = opened.get();
        ASSERT_EQ(ProjectModelManager::instance()->addProjectModel(line, opened.release()), ProjectModelManager::Success);
        SymbolSynchrinizer::instance()->bindProject(line);
        libraries = project->subModel<LibraryModel>();
        ASSERT_TRUE(libraries);
    }
    void closeProject()
    {
        if (!project)
            return;
        ProjectModelManager::instance()->removeProjectModel(line);
        ProjectModelManager::instance()->waitForRemovals(10000);
        project = nullptr;
        libraries = nullptr;
    }

    LibraryModel::LibraryCfg* add(const QString& file, LibraryModel::AddLibErrorCode* code = nullptr,
                                  QString* message = nullptr)
    {
        LibraryModel::AddLibErrorCode got = LibraryModel::LibraryLoaded;
        QString text;
        LibraryModel::LibraryCfg* cfg = libraries->addLib(temp.path(), file, got, text);
        if (code)
            *code = got;
        if (message)
            *message = text;
        return cfg;
    }

    // What the compiler core of the project knows: its file ids and whether a POU is declared.
    std::vector<int> coreFiles() const
    {
        std::vector<int> ids;
        ac::SafeAccore core(line);
        if (core.getAccore())
            for (const ac::ProjectFile& file : core.getAccore()->files())
                ids.push_back(file.fileId);
        return ids;
    }
    bool coreKnows(const std::string& pou) const
    {
        ac::SafeAccore core(line);
        return core.getAccore() && core.getAccore()->symbolPOU(pou);
    }
    QStringList table(const QString& statement) const { return rows(databaseFile(line), statement); }

    AbstractPlcProjectModel* project = nullptr; // owned by the registry
    LibraryModel* libraries = nullptr;
};

TEST_F(Libraries, ProjectCreatedByPlcprojLoadsTheStandardLibraries)
{
    const QString dir = temp.filePath("Created");
    const ToolRun create = plcproj({"create", dir, "--name", "Created"});
    ASSERT_EQ(create.code, 0) << create.err.toStdString();
    const std::string file = (dir + "/Created.nvp").toStdString();
    const int failures = loadFailures();
    auto created = std::make_unique<PlcProjectModel>("Created", dir.toStdString(), file);
    ASSERT_TRUE(created->open("Created", file, AbstractPlcProjectModel::DefaultPassword.toStdString(), true));
    EXPECT_EQ(loadFailures(), failures) << "no Load Failed message";
    auto* libs = created->subModel<LibraryModel>();
    EXPECT_EQ(libs->getAllLibName(), (std::vector<std::string>{"sys_include.nvl", "motion_control.nvl"}));
    ASSERT_TRUE(libs->getLibData("sys_include.nvl"));
    ASSERT_TRUE(libs->getLibData("motion_control.nvl"));
    EXPECT_EQ(libs->getLibData("sys_include.nvl")->version, "1.0.0.0");
    EXPECT_EQ(libs->getLibData("motion_control.nvl")->version, "0.2.0.0");
    EXPECT_EQ(libs->getLibType("motion_control.nvl"), AbstractPlcProjectModel::FirmwareLib);
    const int sysId = libs->getLibraryId("sys_include.nvl"), motionId = libs->getLibraryId("motion_control.nvl");
    EXPECT_GT(sysId, 0);
    EXPECT_GT(motionId, 0);
    EXPECT_NE(sysId, motionId);
    EXPECT_EQ(libs->libraryDatas().value("motion_control.nvl").toMap().value("MC_Power").toString(),
              QString::fromUtf8("轴使能控制"))
        << "comments in the IDE's default language";

    PouModel::PouUnit* power = libs->libProjectModel("motion_control.nvl")->subModel<PouModel>()->pou("MC_Power");
    ASSERT_TRUE(power);
    AbstractPlcProjectModel* raw = created.get();
    ASSERT_EQ(ProjectModelManager::instance()->addProjectModel("Created", created.release()), ProjectModelManager::Success);
    SymbolSynchrinizer* sync = SymbolSynchrinizer::instance();
    sync->bindProject("Created");
    EXPECT_EQ(sync->getProgramTypeByName("MC_Power"), SymbolSynchrinizer::StPou);
    EXPECT_EQ(sync->getProgramTypeByName("mc_buffer_mode"), SymbolSynchrinizer::DataTypeUnit);
    EXPECT_EQ(sync->getProgramTypeByName("GVL_SysConstants"), SymbolSynchrinizer::GlobalVarList);
    EXPECT_EQ(sync->getProgramTypeByName("FB_NoSuchBlock"), SymbolSynchrinizer::NotFound);
    EXPECT_EQ(sync->getIdByName("MC_Power"), int(power->id()));
    EXPECT_EQ(sync->getLibFileIdByName("MC_Power"), motionId);
    EXPECT_EQ(sync->getLibFileIdByName("FC_ScaleLinear"), sysId);
    EXPECT_EQ(sync->getLibFileIdByName("DevicePOU"), raw->getFileID()) << "project objects keep the project's id";
    // A POU UID names its library: ids repeat from one library to the next.
    for (const char* name : {"MC_Power", "FC_ScaleLinear", "DevicePOU"})
        EXPECT_EQ(sync->pouUID2PouName(sync->pouName2PouUID(name)), name);
    {
        ac::SafeAccore core("Created");
        ASSERT_TRUE(core.getAccore());
        ASSERT_TRUE(core.getAccore()->file(motionId));
        EXPECT_EQ(core.getAccore()->file(motionId)->type, 3) << "a firmware library";
        EXPECT_TRUE(core.getAccore()->symbolPOU("MC_MoveAbsolute"));
        EXPECT_TRUE(core.getAccore()->symbolType("MC_DIRECTION"));
    }

    // A program that uses library names checks cleanly.
    {
        SafeProjectModel hold("Created");
        PouModel::PouUnit* pou = raw->subModel<PouModel>()->addPou("AxisControl", PouModel::PRGPOU, PouModel::POU_ST, 0);
        pou->setVarDeclaration("PROGRAM AxisControl\nVAR\n    axis1 : AXIS_REF;\n    power : MC_Power;\n"
                               "    move : MC_MoveAbsolute;\n    mode : MC_BUFFER_MODE := mcBuffered;\n"
                               "    alarm : FB_Alarm;\n    level : REAL;\nEND_VAR\n");
        pou->setLogicContext("power(Axis := axis1, Enable := TRUE);\n"
                             "move(Axis := axis1, Execute := power.Status, Position := 100.0, Velocity := 50.0,\n"
                             "     Acceleration := 500.0, Deceleration := 500.0, BufferMode := mode);\n"
                             "alarm(condition := move.Error, alarmId := 1, severity := E_AlarmSeverity.Error);\n"
                             "level := FC_ScaleLinear(rawValue := 1000.0, rawMin := 0.0, rawMax := 27648.0,\n"
                             "                        engMin := 0.0, engMax := 100.0);\n");
        ASSERT_TRUE(raw->save());
    }
    ProjectModelManager::instance()->removeProjectModel("Created");
    ProjectModelManager::instance()->waitForRemovals(10000);
    ToolRun check = plcproj({"check", dir});
    EXPECT_EQ(check.code, 0) << check.out.toStdString() << check.err.toStdString();
    EXPECT_EQ(check.out, "");
    // The libraries are what made it pass: without their files the same project fails.
    QDir(dir + "/Libraries").removeRecursively();
    check = plcproj({"check", dir});
    EXPECT_EQ(check.code, 1);
    EXPECT_TRUE(check.out.contains("unknown type 'MC_Power'")) << check.out.toStdString();
}

TEST_F(Libraries, CommentsFollowTheIdeLanguage)
{
    testsupport::defaultHost().cookies()->setValue("IDE/Language", "en_US");
    openLine();
    testsupport::defaultHost().cookies()->remove("IDE/Language");
    const QVariantMap motion = libraries->libraryDatas().value("motion_control.nvl").toMap();
    EXPECT_EQ(motion.value("MC_Power").toString(), "Powers an axis on and off");
    EXPECT_EQ(motion.value("MC_MoveRelative.Distance").toString(), "Distance to move (signed)");
    EXPECT_EQ(libraries->libraryDatas().value("sys_include.nvl").toMap().value("FB_PT1Filter").toString(),
              "First-order low-pass filter");
}

TEST_F(Libraries, ProtectedLibraryAsksForItsPassword)
{
    openLine();
    const QString file = makeLibrary("valves", "1.0.0.0", {"FB_Valve", "ST_ValveState"}, true, "s3cret'%1");
    const QStringList ids = table("SELECT Id, LibFilePath FROM LibIdMap ORDER BY Id");
    const std::vector<int> files = coreFiles();

    LibraryModel::AddLibErrorCode code = LibraryModel::LibraryLoaded;
    EXPECT_FALSE(add(file, &code));
    EXPECT_EQ(code, LibraryModel::PasswordCancelled);
    auto prompts = dialogs()->prompts();
    ASSERT_EQ(prompts.size(), 1u);
    EXPECT_EQ(prompts[0].kind, "text");
    EXPECT_EQ(prompts[0].title, "Library Password");
    EXPECT_EQ(prompts[0].label, "Password");
    EXPECT_TRUE(prompts[0].masked);
    // Nothing is left behind: no row, no file id, no file, nothing in the core.
    EXPECT_EQ(table("SELECT Name FROM LibraryManager ORDER BY Id"), QStringList({"sys_include.nvl", "motion_control.nvl"}));
    EXPECT_EQ(table("SELECT Id, LibFilePath FROM LibIdMap ORDER BY Id"), ids);
    EXPECT_EQ(coreFiles(), files);
    EXPECT_FALSE(libraries->library("valves.nvl"));
    EXPECT_FALSE(QFileInfo::exists(temp.filePath("Libraries/userlib")));

    // A wrong password is asked again; the right one adds the library.
    dialogs()->clear();
    dialogs()->answer(QStringLiteral("wrong"));
    dialogs()->answer(QStringLiteral("s3cret'%1"));
    LibraryModel::LibraryCfg* cfg = add(file, &code);
    ASSERT_TRUE(cfg);
    EXPECT_EQ(dialogs()->prompts().size(), 2u);
    EXPECT_EQ(cfg->path(), "/Libraries/userlib/valves.nvl");
    EXPECT_EQ(cfg->property("IsLatestVersion"), "false");
    EXPECT_EQ(cfg->property("SpecifyVersion"), "1.0.0.0");
    EXPECT_TRUE(QFileInfo(temp.filePath("Libraries/userlib/valves.nvl/1.0.0.0/valves.nvl")).isFile());
    const int fileId = libraries->getLibraryId("valves.nvl");
    EXPECT_EQ(table("SELECT LibFilePath FROM LibIdMap WHERE Id = " + QString::number(fileId)),
              QStringList({"/Libraries/userlib/valves.nvl"}));
    EXPECT_EQ(table("SELECT Name, Path FROM LibraryManager WHERE Name = 'valves.nvl'"),
              QStringList({"valves.nvl|/Libraries/userlib/valves.nvl"}));
    EXPECT_TRUE(coreKnows("FB_Valve"));
    EXPECT_EQ(testsupport::projectInfo(*project)->property("Compile"), "false") << "the project needs compiling";
}

TEST_F(Libraries, RefusedLibrariesLeaveNothingBehind)
{
    openLine();
    {
        SafeProjectModel hold(line);
        project->subModel<PouModel>()->addPou("Conveyor", PouModel::PRGPOU, PouModel::POU_CFC, 0);
    }
    const QString text = temp.filePath("src/notes.nvl");
    QDir().mkpath(temp.filePath("src"));
    {
        QFile f(text);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("This is not a library, just a text file.\n");
    }
    const QString empty = temp.filePath("src/empty.nvl");
    QFile(empty).open(QIODevice::WriteOnly);
    const QString plain = temp.filePath("src/plain.nvl");
    {
        ScopedConnection connection("plain", plain.toStdString(), QString(), true);
        QSqlQuery(connection.db()).exec("CREATE TABLE ProjectInfo (Id INTEGER)");
    }
    {
        QFile f(plain);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        ASSERT_TRUE(f.read(15) == "SQLite format 3") << "a plaintext SQLite file";
    }
    const QString unsafe = makeLibrary("unsafe", "1.0.0.0", {"FB_Unsafe"});
    {
        // A version read from the file names a folder: "../../etc" must never become one.
        auto writable = std::make_unique<PlcLibraryModel>("unsafe_edit", unsafe.toStdString(), unsafe.toStdString());
        ASSERT_TRUE(writable->open("unsafe_edit", unsafe.toStdString(), "kv rond", true));
        testsupport::projectInfo(*writable)->setVersion("../../etc");
        ASSERT_TRUE(writable->save());
    }
    const QString userProject = QString::fromStdString(databaseFile(line));

    struct Case
    {
        const char* label;
        QString file;
        LibraryModel::AddLibErrorCode code;
        QString message;
    };
    const std::vector<Case> cases = {
        {"not compiled", makeLibrary("draft", "1.0.0.0", {"FB_Draft"}, false), LibraryModel::NotCompiled, "not compiled"},
        {"name of a standard library POU", makeLibrary("clash", "1.0.0.0", {"FB_Own", "MC_Power"}),
         LibraryModel::NameInUse, "MC_Power"},
        {"name of a graphic POU of the project, other case", makeLibrary("belts", "1.0.0.0", {"CONVEYOR"}),
         LibraryModel::NameInUse, "CONVEYOR"},
        {"name of a standard library global list", makeLibrary("types", "1.0.0.0", {"ST_Own", "GVL_SysConstants"}),
         LibraryModel::NameInUse, "GVL_SysConstants"},
        {"base name of a loaded library in other case", makeLibrary("SYS_INCLUDE", "2.0.0.0", {"FB_Other"}),
         LibraryModel::LibraryLoaded, "loaded already"},
        {"text file", text, LibraryModel::CannotOpen, "not an encrypted database"},
        {"empty file", empty, LibraryModel::CannotOpen, "is empty"},
        {"plaintext SQLite file", plain, LibraryModel::CannotOpen, "plain SQLite database"},
        {"missing file", temp.filePath("src/none.nvl"), LibraryModel::CannotOpen, "does not exist"},
        {"user project", userProject, LibraryModel::CannotOpen, "not a library"},
        {"version that is a path", unsafe, LibraryModel::CannotOpen, "no version number"},
    };
    const QStringList cfgRows = table("SELECT * FROM LibraryManager ORDER BY Id");
    const QStringList idRows = table("SELECT * FROM LibIdMap ORDER BY Id");
    const std::vector<int> files = coreFiles();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        dialogs()->clear();
        LibraryModel::AddLibErrorCode code = LibraryModel::FileError;
        QString message;
        EXPECT_FALSE(add(c.file, &code, &message));
        EXPECT_EQ(code, c.code);
        EXPECT_TRUE(message.contains(c.message)) << message.toStdString();
        EXPECT_TRUE(dialogs()->prompts().empty()) << "no password prompt for a file that cannot hold one";
        EXPECT_EQ(table("SELECT * FROM LibraryManager ORDER BY Id"), cfgRows);
        EXPECT_EQ(table("SELECT * FROM LibIdMap ORDER BY Id"), idRows);
        EXPECT_EQ(coreFiles(), files);
    }
    EXPECT_FALSE(QFileInfo::exists(temp.filePath("Libraries/userlib"))) << "no folder was made";
    EXPECT_FALSE(QFileInfo::exists(temp.filePath("Libraries/etc")));
    EXPECT_TRUE(coreKnows("MC_Power")) << "a refused library never replaces a loaded one's declarations";
}

TEST_F(Libraries, HalfCopiedLibraryLeavesNothingBehind)
{
    openLine();
    const QString file = makeLibrary("valves", "1.0.0.0", {"FB_Valve"});
    ASSERT_GT(QFileInfo(file).size(), 8 * 1024);
    const QStringList ids = table("SELECT * FROM LibIdMap ORDER BY Id");
    const std::vector<int> files = coreFiles();

    // The copy runs out of space after its first bytes.
    rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 4 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    LibraryModel::AddLibErrorCode code = LibraryModel::LibraryLoaded;
    QString message;
    LibraryModel::LibraryCfg* cfg = add(file, &code, &message);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(cfg);
    EXPECT_EQ(code, LibraryModel::FileError);
    EXPECT_TRUE(message.contains("copying")) << message.toStdString();
    EXPECT_FALSE(QFileInfo::exists(temp.filePath("Libraries/userlib"))) << "neither a partial file nor its folders";
    EXPECT_EQ(table("SELECT Name FROM LibraryManager ORDER BY Id"), QStringList({"sys_include.nvl", "motion_control.nvl"}));
    EXPECT_EQ(table("SELECT * FROM LibIdMap ORDER BY Id"), ids);
    EXPECT_EQ(coreFiles(), files);
    EXPECT_FALSE(coreKnows("FB_Valve"));

    // The copy is complete but the rows cannot be written: the copy and the file id go again.
    const QString lineFile = QString::fromStdString(databaseFile(line));
    ASSERT_TRUE(testsupport::refuseWrites(lineFile, "LibraryManager", "refused"));
    EXPECT_FALSE(add(file, &code, &message));
    EXPECT_EQ(code, LibraryModel::FileError);
    EXPECT_TRUE(message.contains("refused")) << message.toStdString();
    EXPECT_FALSE(QFileInfo::exists(temp.filePath("Libraries/userlib")));
    EXPECT_EQ(table("SELECT * FROM LibIdMap ORDER BY Id"), ids);
    EXPECT_EQ(coreFiles(), files);
    ASSERT_TRUE(testsupport::allowWrites(lineFile, "LibraryManager", "refused"));

    // With room on the disk the same library goes in, under the first free file id.
    ASSERT_TRUE(add(file));
    EXPECT_EQ(QFileInfo(temp.filePath("Libraries/userlib/valves.nvl/1.0.0.0/valves.nvl")).size(), QFileInfo(file).size());
    EXPECT_EQ(libraries->getLibraryId("valves.nvl"), 3);
}

TEST_F(Libraries, LatestVersionFolderIsChosenNumerically)
{
    EXPECT_GT(LibraryModel::compareVersions("0.10.0.0", "0.9.0.0"), 0) << "text order would put 0.9 first";
    EXPECT_LT(LibraryModel::compareVersions("2", "10"), 0);
    EXPECT_EQ(LibraryModel::compareVersions("1.0", "1.0.0.0"), 0);
    EXPECT_EQ(LibraryModel::compareVersions("0012.1", "12.1"), 0);
    EXPECT_GT(LibraryModel::compareVersions("1.99999999999999999999", "1.9"), 0);
    for (const char* good : {"1", "0.2.0.0", "10.20.30.40"})
        EXPECT_TRUE(LibraryModel::isVersionText(good)) << good;
    for (const char* bad : {"", "1.0a", "../../etc", "1..0", ".1", "1.0/2", "v1.0"})
        EXPECT_FALSE(LibraryModel::isVersionText(bad)) << bad;

    openLine();
    ASSERT_TRUE(add(makeLibrary("valves", "0.9.0.0", {"FB_Valve"})));
    const QString folder = temp.filePath("Libraries/userlib/valves.nvl");
    ASSERT_TRUE(copyInto(makeLibrary("valves", "0.10.0.0", {"FB_Valve", "FB_ValvePair"}), folder + "/0.10.0.0",
                         "valves.nvl"));
    // Folders whose names hold a letter are no versions, however high they look.
    ASSERT_TRUE(copyInto(makeLibrary("valves", "9.0.0.0", {"FB_Valve", "FB_Beta"}), folder + "/9.0.0.0a", "valves.nvl"));
    ASSERT_TRUE(copyInto(makeLibrary("valves", "8.0.0.0", {"FB_Valve", "FB_Nightly"}), folder + "/nightly",
                         "valves.nvl"));
    EXPECT_EQ(LibraryModel::latestVersion(folder), "0.10.0.0");

    ASSERT_TRUE(testsupport::execOn(databaseFile(line),
                                    "UPDATE LibraryManager SET Properties = "
                                    "'{\"IsLatestVersion\":\"true\",\"SpecifyVersion\":\"0.9.0.0\"}' "
                                    "WHERE Name = 'valves.nvl'"));
    reopen();
    ASSERT_TRUE(libraries->getLibData("valves.nvl"));
    EXPECT_EQ(libraries->getLibData("valves.nvl")->version, "0.10.0.0");
    EXPECT_TRUE(coreKnows("FB_ValvePair"));
    EXPECT_FALSE(coreKnows("FB_Beta"));
    EXPECT_FALSE(coreKnows("FB_Nightly"));

    // Pinned to a version, the project reads that one.
    ASSERT_TRUE(testsupport::execOn(databaseFile(line),
                                    "UPDATE LibraryManager SET Properties = "
                                    "'{\"IsLatestVersion\":\"false\",\"SpecifyVersion\":\"0.9.0.0\"}' "
                                    "WHERE Name = 'valves.nvl'"));
    reopen();
    ASSERT_TRUE(libraries->getLibData("valves.nvl"));
    EXPECT_EQ(libraries->getLibData("valves.nvl")->version, "0.9.0.0");
    EXPECT_FALSE(coreKnows("FB_ValvePair"));
}

TEST_F(Libraries, UnsafeRowsAreNotFollowedAtOpen)
{
    openLine();
    // A valid library where a version or path taken as a path would lead.
    const QString bait = makeLibrary("evil", "1.0.0.0", {"FB_Evil"});
    ASSERT_TRUE(copyInto(bait, temp.filePath("outside"), "evil.nvl"));
    ASSERT_TRUE(copyInto(bait, temp.filePath("elsewhere/1.0.0.0"), "escape.nvl"));
    ASSERT_TRUE(testsupport::execOn(
        databaseFile(line),
        "INSERT INTO LibraryManager (Id, Name, Path, Properties) VALUES "
        "(5, 'evil.nvl', '/Libraries/userlib/evil.nvl', '{\"IsLatestVersion\":\"false\",\"SpecifyVersion\":\"../../../outside\"}'),"
        "(6, 'escape.nvl', '/Libraries/../elsewhere', '{\"IsLatestVersion\":\"true\"}'),"
        "(7, '../evil.nvl', '/Libraries/userlib/x', '{\"IsLatestVersion\":\"true\"}')"));
    const int failures = loadFailures();
    reopen();
    EXPECT_EQ(loadFailures(), failures + 3);
    EXPECT_FALSE(libraries->getLibData("evil.nvl"));
    EXPECT_FALSE(libraries->getLibData("escape.nvl"));
    EXPECT_FALSE(coreKnows("FB_Evil"));
    EXPECT_TRUE(libraries->getLibData("sys_include.nvl")) << "the project opens with its other libraries";
}

TEST_F(Libraries, ReplaceAndRemoveSurviveSaveAndReopen)
{
    openLine();
    ASSERT_TRUE(add(makeLibrary("valves", "1.0.0.0", {"FB_Valve"})));
    const int fileId = libraries->getLibraryId("valves.nvl");
    ASSERT_GT(fileId, 0);

    LibraryModel::AddLibErrorCode code = LibraryModel::LibraryLoaded;
    QString message;
    ASSERT_TRUE(libraries->replaceLibrary("valves.nvl",
                                          makeLibrary("valves", "1.1.0.0", {"FB_Valve", "FB_Pump"}).toStdString(), code,
                                          message))
        << message.toStdString();
    EXPECT_EQ(libraries->getLibraryId("valves.nvl"), fileId) << "the library keeps its file id";
    EXPECT_EQ(libraries->getLibData("valves.nvl")->version, "1.1.0.0");
    EXPECT_TRUE(coreKnows("FB_Pump"));
    {
        ac::SafeAccore core(line);
        ASSERT_TRUE(core.getAccore()->file(fileId));
        EXPECT_TRUE(QString::fromStdString(core.getAccore()->file(fileId)->path).endsWith("1.1.0.0/valves.nvl"));
    }
    EXPECT_EQ(libraries->library("valves.nvl")->property("SpecifyVersion"), "1.1.0.0");

    // Replacements that cannot be used leave the library as it was.
    const QString broken = temp.filePath("src/broken.nvl");
    {
        QFile f(broken);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(1000, 'x'));
    }
    EXPECT_FALSE(libraries->replaceLibrary("valves.nvl", broken.toStdString(), code, message));
    EXPECT_EQ(code, LibraryModel::CannotOpen);
    EXPECT_FALSE(libraries->replaceLibrary(
        "valves.nvl", makeLibrary("valves", "1.2.0.0", {"FB_Valve", "MC_Stop"}).toStdString(), code, message));
    EXPECT_EQ(code, LibraryModel::NameInUse);
    EXPECT_EQ(message, "MC_Stop");
    EXPECT_EQ(libraries->getLibData("valves.nvl")->version, "1.1.0.0");
    EXPECT_TRUE(coreKnows("FB_Pump"));
    EXPECT_TRUE(coreKnows("MC_Stop")) << "the standard library keeps its declaration";

    ASSERT_TRUE(project->save());
    const int failures = loadFailures();
    reopen();
    EXPECT_EQ(loadFailures(), failures) << "the standard libraries that the added library names load once";
    ASSERT_TRUE(libraries->getLibData("valves.nvl"));
    EXPECT_EQ(libraries->getLibData("valves.nvl")->version, "1.1.0.0");
    EXPECT_EQ(libraries->getLibraryId("valves.nvl"), fileId);
    EXPECT_TRUE(coreKnows("FB_Pump"));

    ASSERT_TRUE(libraries->removeLib("valves.nvl"));
    EXPECT_FALSE(libraries->removeLib("valves.nvl"));
    EXPECT_FALSE(coreKnows("FB_Pump"));
    {
        ac::SafeAccore core(line);
        EXPECT_FALSE(core.getAccore()->file(fileId));
    }
    EXPECT_EQ(table("SELECT Name FROM LibraryManager ORDER BY Id"), QStringList({"sys_include.nvl", "motion_control.nvl"}));
    EXPECT_TRUE(table("SELECT Id FROM LibIdMap WHERE LibFilePath = '/Libraries/userlib/valves.nvl'").isEmpty());
    // Removing a standard library takes its names out of the core as well.
    ASSERT_TRUE(libraries->removeLib("sys_include.nvl"));
    EXPECT_FALSE(coreKnows("FC_ScaleLinear"));
    EXPECT_TRUE(coreKnows("MC_Power"));

    ASSERT_TRUE(project->save());
    reopen();
    EXPECT_EQ(libraries->getAllLibName(), std::vector<std::string>{"motion_control.nvl"});
    EXPECT_FALSE(coreKnows("FB_Valve"));
    EXPECT_FALSE(coreKnows("FC_ScaleLinear"));
    // The freed id is handed out again.
    ASSERT_TRUE(add(makeLibrary("pumps", "1.0.0.0", {"FB_Pump"})));
    EXPECT_LE(libraries->getLibraryId("pumps.nvl"), fileId);
}

TEST_F(Libraries, LibraryProjectsReferenceLibrariesWithoutAFileIdTable)
{
    auto own = createLibrary("Conveyors");
    ASSERT_TRUE(own);
    auto* references = own->subModel<LibraryModel>();
    LibraryModel::AddLibErrorCode code = LibraryModel::LibraryLoaded;
    QString message;
    LibraryModel::LibraryCfg* cfg =
        references->addLib(temp.path(), makeLibrary("belts", "1.0.0.0", {"FB_Belt"}), code, message);
    ASSERT_TRUE(cfg) << message.toStdString();
    const std::string file = databaseFile("Conveyors", "UserLib");
    EXPECT_EQ(rows(file, "SELECT Name, Path FROM LibraryManager WHERE Name = 'belts.nvl'"),
              QStringList({"belts.nvl|/Libraries/userlib/belts.nvl"}));
    EXPECT_EQ(testsupport::projectInfo(*own)->property("Compile", "unset"), "unset")
        << "only a user project is marked for recompilation";
    EXPECT_TRUE(references->removeLib("belts.nvl"));
    EXPECT_TRUE(rows(file, "SELECT Name FROM LibraryManager WHERE Name = 'belts.nvl'").isEmpty());
}

TEST_F(Libraries, PlcprojLibCommands)
{
    const QString dir = temp.filePath("Tool");
    ASSERT_EQ(plcproj({"create", dir, "--name", "Tool"}).code, 0);
    const QString file = makeLibrary("valves", "1.3.0.0", {"FB_Valve"}, true, "p'w");

    ToolRun run = plcproj({"lib", "add", dir, file});
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(run.err.startsWith("error: ")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("--lib-password"));
    run = plcproj({"lib", "add", dir, file, "--lib-password", "nope"});
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(run.err.contains("wrong password")) << run.err.toStdString();
    run = plcproj({"lib", "add", dir, file, "--lib-password", "p'w"});
    EXPECT_EQ(run.code, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, "added valves.nvl 1.3.0.0\n");

    run = plcproj({"--json", "lib", "list", dir, "--lib-password", "p'w"});
    ASSERT_EQ(run.code, 0) << run.err.toStdString();
    const QJsonArray list = QJsonDocument::fromJson(run.out.toUtf8()).array();
    ASSERT_EQ(list.size(), 3);
    EXPECT_EQ(list[2].toObject().value("name").toString(), "valves.nvl");
    EXPECT_EQ(list[2].toObject().value("version").toString(), "1.3.0.0");
    EXPECT_TRUE(list[0].toObject().value("loaded").toBool());
    EXPECT_EQ(list[1].toObject().value("pous").toInt(), 10);

    run = plcproj({"lib", "add", dir, makeLibrary("motion", "1.0.0.0", {"MC_Home"})});
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(run.err.contains("'MC_Home'")) << run.err.toStdString();
    EXPECT_EQ(plcproj({"lib", "rm", dir, "valves.nvl"}).code, 0);
    EXPECT_EQ(plcproj({"lib", "rm", dir, "valves.nvl"}).code, 1);
    EXPECT_EQ(plcproj({"lib", "replace", dir, "motion_control.nvl", standardLibrary("motion_control.nvl")}).code, 0);
    EXPECT_EQ(plcproj({"lib", "move", dir}).code, 2);
    EXPECT_EQ(plcproj({"lib", "add", dir}).code, 2);
    run = plcproj({"lib", "list", dir});
    EXPECT_EQ(run.out, "sys_include.nvl 1.0.0.0 FirmwareLib (15 POUs, 4 data types, 1 global lists)\n"
                       "motion_control.nvl 0.2.0.0 FirmwareLib (10 POUs, 4 data types, 0 global lists)\n");
}

TEST_F(Libraries, LibraryWhoseDeclarationsDoNotParseIsRefusedAndWithdrawn)
{
    openLine();
    const QString file = makeLibrary("pumps", "1.0.0.0", {"FB_Pump", "FB_Broken"});
    // A declaration that names a type no file declares.
    ASSERT_TRUE(testsupport::execOn(file.toStdString(),
                                    "UPDATE POU SET VARDECLARATION = 'FUNCTION_BLOCK FB_Broken\nVAR_INPUT\n"
                                    "    level : NoSuchType;\nEND_VAR\n' WHERE NAME = 'FB_Broken'"));
    const QStringList cfgRows = table("SELECT * FROM LibraryManager ORDER BY Id");
    const QStringList idRows = table("SELECT * FROM LibIdMap ORDER BY Id");
    const std::vector<int> files = coreFiles();

    LibraryModel::AddLibErrorCode code = LibraryModel::LibraryLoaded;
    QString message;
    EXPECT_FALSE(add(file, &code, &message));
    EXPECT_EQ(code, LibraryModel::CannotOpen);
    EXPECT_TRUE(message.contains("do not parse")) << message.toStdString();
    EXPECT_TRUE(message.contains("FB_Broken")) << message.toStdString();
    EXPECT_EQ(table("SELECT * FROM LibraryManager ORDER BY Id"), cfgRows);
    EXPECT_EQ(table("SELECT * FROM LibIdMap ORDER BY Id"), idRows);
    EXPECT_EQ(coreFiles(), files) << "the file is withdrawn from the core again";
    EXPECT_FALSE(coreKnows("FB_Pump")) << "with the declarations that did parse";
    EXPECT_FALSE(libraries->getLibData("pumps.nvl"));
    EXPECT_FALSE(QFileInfo::exists(temp.filePath("Libraries/userlib"))) << "nothing installed";
}

TEST_F(Libraries, FileIdThatCannotBeRecordedFailsTheLoad)
{
    openLine();
    ASSERT_GT(libraries->getLibraryId("sys_include.nvl"), 0);
    closeProject();
    // The ids are recorded anew, and the file refuses every record.
    ASSERT_TRUE(testsupport::execOn(databaseFile(line), "DELETE FROM LibIdMap"));
    ASSERT_TRUE(testsupport::refuseWrites(QString::fromStdString(databaseFile(line)), "LibIdMap", "no more ids"));
    const int failures = loadFailures();
    reopen();
    EXPECT_EQ(loadFailures(), failures + 2) << "both standard libraries fail to load, each says so";
    EXPECT_EQ(libraries->getLibraryId("sys_include.nvl"), -1);
    EXPECT_FALSE(libraries->getLibData("motion_control.nvl"));
    EXPECT_TRUE(table("SELECT * FROM LibIdMap").isEmpty());
    EXPECT_FALSE(coreKnows("MC_Power")) << "no library is known to the core under an id the file lacks";
    EXPECT_TRUE(logged("no more ids")) << "the log keeps the file's own words";
}

TEST_F(Libraries, ReplacementWhoseRowCannotBeWrittenKeepsTheInstalledFile)
{
    openLine();
    ASSERT_TRUE(add(makeLibrary("valves", "1.0.0.0", {"FB_Valve"})));
    const QString installed = temp.filePath("Libraries/userlib/valves.nvl/1.0.0.0/valves.nvl");
    QFile before(installed);
    ASSERT_TRUE(before.open(QIODevice::ReadOnly));
    const QByteArray original = before.readAll();
    before.close();

    // The same version again (built elsewhere), with another POU; the row update is refused.
    const QString replacement = makeLibrary("valves_rebuilt", "1.0.0.0", {"FB_Valve", "FB_Pump"});
    ASSERT_TRUE(testsupport::refuseWrites(QString::fromStdString(databaseFile(line)), "LibraryManager", "read only"));
    LibraryModel::AddLibErrorCode code = LibraryModel::LibraryLoaded;
    QString message;
    EXPECT_FALSE(libraries->replaceLibrary("valves.nvl", replacement.toStdString(), code, message));
    EXPECT_EQ(code, LibraryModel::FileError);
    EXPECT_TRUE(message.contains("read only")) << message.toStdString();

    QFile after(installed);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), original) << "the installed library is not overwritten by a refused replacement";
    EXPECT_EQ(QDir(temp.filePath("Libraries/userlib/valves.nvl/1.0.0.0")).entryList(QDir::Files),
              QStringList({"valves.nvl"}))
        << "no temporary copy is left";
    EXPECT_TRUE(coreKnows("FB_Valve"));
    EXPECT_FALSE(coreKnows("FB_Pump"));
}

} // namespace
