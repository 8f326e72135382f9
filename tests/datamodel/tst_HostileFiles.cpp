// Project files and folders from someone else: code planted in a database file does not run,
// names and links planted in a folder do not lead the library's writes out of it, and what
// the library creates is readable by its owner only.
#include "ModelTestSupport.h"

#include "datamodel/model/ProjectFiles.h"
#include "datamodel/model/ProjectModelManager.h"
#include "datamodel/program/GlobalVarModel.h"
#include "datamodel/program/LibraryModel.h"
#include "datamodel/program/PouModel.h"
#include "datamodel/project/PlcLibraryModel.h"
#include "datamodel/project/PlcProjectModel.h"
#include "support/RawDatabase.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

using testsupport::ModelTest;

namespace {

const std::string line = "Line";
const char* const evilTrigger = "CREATE TRIGGER t_evil AFTER INSERT ON POU BEGIN DELETE FROM GlobalVar; END";

mode_t modeOf(const QString& path)
{
    struct stat status;
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 ? (status.st_mode & 07777) : 0;
}

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool writeFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

// Sets the umask for one test and puts the old one back.
struct Umask
{
    explicit Umask(mode_t mask) : old(::umask(mask)) {}
    ~Umask() { ::umask(old); }
    mode_t old;
};

class HostileFiles : public ModelTest
{
protected:
    // The project "Line" with one global list of the user's, saved and closed.
    void makeLine()
    {
        auto project = createProject(line);
        ASSERT_TRUE(project);
        project->subModel<GlobalVarModel>()->addVarTable("GVL_Plant", 0)->setVarDeclaration("VAR_GLOBAL\nEND_VAR\n");
        ASSERT_TRUE(project->save());
    }
    QString file() const { return QString::fromStdString(databaseFile(line)); }
    QStringList lists() const { return rows(databaseFile(line), "SELECT Name FROM GlobalVar ORDER BY Name"); }
};

TEST_F(HostileFiles, plantedTriggerKeepsTheFileClosedAndNothingRuns)
{
    makeLine();
    const QStringList before = lists();
    ASSERT_TRUE(before.contains("GVL_Plant"));
    ASSERT_TRUE(testsupport::rawExec(file(), evilTrigger));

    EXPECT_FALSE(openProject(line, true)) << "a writable open would insert hidden objects and fire it";
    EXPECT_FALSE(openProject(line, false));
    EXPECT_TRUE(logged("the file holds a trigger 't_evil' that no project file has: not opened"));
    int code = 0;
    QString text;
    EXPECT_FALSE(AbstractPlcProjectModel::checkDbFile("test", databaseFile(line), code, AbstractPlcProjectModel::DefaultPassword, &text));
    EXPECT_EQ(code, AbstractPlcProjectModel::UntrustedFileError);
    EXPECT_TRUE(text.contains("'t_evil'")) << text.toStdString();
    EXPECT_TRUE(AbstractPlcProjectModel::getProjectInfo("test", file()).isEmpty());
    EXPECT_EQ(testsupport::rawRows(file(), "SELECT Name FROM GlobalVar ORDER BY Name"), before);

    // The same for a library file: it is not read.
    auto library = createLibrary("Valves");
    ASSERT_TRUE(library->save());
    library.reset();
    const QString libraryFile = QString::fromStdString(databaseFile("Valves", "UserLib"));
    ASSERT_TRUE(testsupport::rawExec(libraryFile, "CREATE VIEW v_spy AS SELECT * FROM POU"));
    std::unique_ptr<PlcLibraryModel> opened(
        AbstractPlcProjectModel::openLibrary("Valves", libraryFile.toStdString(), AbstractPlcProjectModel::DefaultPassword));
    EXPECT_FALSE(opened);
    EXPECT_TRUE(logged("a view 'v_spy'"));
}

TEST_F(HostileFiles, triggerPlantedWhileOpenDoesNotRunOnSave)
{
    makeLine();
    auto project = openProject(line, true);
    ASSERT_TRUE(project);
    const QStringList before = lists();
    ASSERT_TRUE(testsupport::rawExec(file(), evilTrigger));
    ASSERT_TRUE(project->subModel<PouModel>()->addPou("Conveyor", PouModel::PRGPOU, PouModel::POU_ST, 0));
    EXPECT_FALSE(project->save()) << "a save that ran the stranger's statements would say it saved";
    EXPECT_EQ(testsupport::rawRows(file(), "SELECT Name FROM GlobalVar ORDER BY Name"), before);
}

TEST_F(HostileFiles, filesTheLibraryCreatesAreOwnerOnlyWhateverTheUmask)
{
    Umask loose(0);
    makeLine();
    EXPECT_EQ(modeOf(file()), mode_t(0600));
    auto project = openProject(line, true);
    ASSERT_TRUE(project);
    ASSERT_EQ(ProjectModelManager::instance()->addProjectModel(line, project.release()), ProjectModelManager::Success);
    EXPECT_EQ(modeOf(temp.filePath("project.nvlock")), mode_t(0600));
    ProjectModelManager::instance()->removeProjectModel(line);
    ProjectModelManager::instance()->waitForRemovals(10000);

    const QString copy = temp.filePath("copy.nvp");
    ASSERT_TRUE(ProjectFiles::copyNew(file(), copy));
    EXPECT_EQ(modeOf(copy), mode_t(0600));
    EXPECT_EQ(contentOf(copy), contentOf(file()));
    EXPECT_FALSE(ProjectFiles::copyNew(file(), copy)) << "an existing file is never written over";
}

TEST_F(HostileFiles, linksWhereTheProjectWritesAreRefusedNamingTheLink)
{
    makeLine();
    const QString outside = temp.filePath("outside");
    ASSERT_TRUE(writeFile(outside, "keep"));
    ::chmod(QFile::encodeName(outside).constData(), 0644);

    // The database's side file: SQLite would write (and then delete) a journal through it.
    const QString journal = file() + "-journal";
    ASSERT_TRUE(QFile::link(outside, journal));
    EXPECT_FALSE(openProject(line, true));
    EXPECT_TRUE(logged((journal + " is a symbolic link").toStdString()));
    ASSERT_TRUE(QFile::remove(journal));

    // The lock file.
    const QString lock = temp.filePath("project.nvlock");
    ASSERT_TRUE(QFile::link(outside, lock));
    auto project = openProject(line, true);
    ASSERT_TRUE(project);
    EXPECT_EQ(ProjectModelManager::instance()->addProjectModel(line, project.get()), ProjectModelManager::LockFailed);
    EXPECT_TRUE(logged("project.nvlock"));
    ASSERT_TRUE(QFile::remove(lock));

    // The database file itself, for writing.
    const QString linked = temp.filePath("Linked.nvp");
    ASSERT_TRUE(QFile::link(file(), linked));
    QSqlDatabase db;
    EXPECT_FALSE(AbstractPlcProjectModel::openDB("test", linked.toStdString(), db, AbstractPlcProjectModel::DefaultPassword, true));

    EXPECT_EQ(contentOf(outside), QByteArray("keep"));
    EXPECT_EQ(modeOf(outside), mode_t(0644)) << "nothing was chmod-ed through a link";
}

struct Name
{
    const char* label;
    QString name;
    bool accepted;
};

class JoinedNames : public ModelTest, public ::testing::WithParamInterface<Name>
{
};

TEST_P(JoinedNames, onlyPlainNamesJoinTheFolder)
{
    const Result<QString> joined = ProjectFiles::join(temp.path(), GetParam().name);
    EXPECT_EQ(joined.ok(), GetParam().accepted) << joined.errorString().toStdString();
    if (joined)
        EXPECT_EQ(joined.value(), temp.path() + "/" + GetParam().name);
    else
        EXPECT_EQ(joined.error(), ProjectFiles::Refused);
}

INSTANTIATE_TEST_SUITE_P(
    Names, JoinedNames,
    ::testing::Values(Name{"plain", "valves.nvl", true}, Name{"awkward", QString::fromUtf8(u8"O'Brien %1 主程序.nvl"), true},
                      Name{"dots inside", "a..b", true}, Name{"empty", "", false}, Name{"dot", ".", false},
                      Name{"dotdot", "..", false}, Name{"climbing", "../../../../x/pwned.nvl", false},
                      Name{"slash", "a/b", false}, Name{"backslash", "a\\b", false},
                      Name{"nul", QString("a") + QChar(0) + "b", false}, Name{"line feed", "a\nb", false},
                      Name{"delete", QString("a") + QChar(0x7f), false}),
    [](const auto& info) {
        std::string label = info.param.label;
        for (char& c : label)
            if (!std::isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return label;
    });

TEST_F(HostileFiles, joinedPathsStayInsideThroughLinksAndDots)
{
    const QString outside = temp.filePath("outside");
    const QString project = temp.filePath("project");
    ASSERT_TRUE(QDir().mkpath(outside) && QDir().mkpath(project + "/Libraries"));
    ASSERT_TRUE(QFile::link(outside, project + "/Libraries/userlib"));
    EXPECT_FALSE(ProjectFiles::join(project + "/Libraries", "userlib")) << "a link that leads out";
    EXPECT_FALSE(ProjectFiles::joinPath(project, "/Libraries/userlib/x"));
    EXPECT_FALSE(ProjectFiles::joinPath(project, "/Libraries/../../outside"));
    EXPECT_TRUE(ProjectFiles::joinPath(project, "/Libraries/norvale//sys_include"));
    const Result<void> refused = ProjectFiles::refuseLinks(project, project + "/Libraries/userlib/x/y.nvl");
    ASSERT_FALSE(refused);
    EXPECT_TRUE(refused.errorString().contains(project + "/Libraries/userlib is a symbolic link")) << refused.errorString().toStdString();
    EXPECT_FALSE(ProjectFiles::makeFolder(project, "Libraries/userlib/x"));
    EXPECT_TRUE(QDir(outside).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty()) << "nothing made outside";
    EXPECT_TRUE(ProjectFiles::makeFolder(project, "Libraries/norvale/x/1.0"));
}

TEST_F(HostileFiles, inputFilesAreRegularAndBounded)
{
    const QString fifo = temp.filePath("fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QElapsedTimer timer;
    timer.start();
    const Result<QByteArray> fromFifo = ProjectFiles::readInput(fifo, 1024);
    EXPECT_FALSE(fromFifo);
    EXPECT_EQ(fromFifo.errorText(), "not a regular file");
    EXPECT_LT(timer.elapsed(), 5000) << "a FIFO without a writer must not block the reader";
    EXPECT_FALSE(ProjectFiles::readInput("/dev/zero", 1024));
    EXPECT_FALSE(ProjectFiles::readInput(temp.path(), 1024));

    const QString file = temp.filePath("data");
    ASSERT_TRUE(writeFile(file, QByteArray(1024, 'x')));
    EXPECT_EQ(ProjectFiles::readInput(file, 1024).value(), QByteArray(1024, 'x'));
    const Result<QByteArray> big = ProjectFiles::readInput(file, 1023);
    EXPECT_FALSE(big);
    EXPECT_EQ(big.errorText(), "1024 bytes exceed the limit of 1023 bytes");
}

TEST_F(HostileFiles, versionTextsAreMatchedWhole)
{
    EXPECT_TRUE(LibraryModel::isVersionText("1.0.0.0"));
    EXPECT_TRUE(LibraryModel::isVersionText("12"));
    for (const QString& text : {QStringLiteral("1.0\n"), QStringLiteral("\n1.0"), QStringLiteral("1.0.0.0\n../x"),
                                QStringLiteral("1..0"), QStringLiteral("1.0."), QString::fromUtf8(u8"١.٠"), QString()})
        EXPECT_FALSE(LibraryModel::isVersionText(text)) << text.toStdString();
}

} // namespace
