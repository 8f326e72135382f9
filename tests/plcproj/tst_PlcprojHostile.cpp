// plcproj on a machine shared with other users, with projects from someone else: values are
// never taken for options, passwords need not be on the command line, input files are bounded
// regular files, and nothing a project folder or file plants makes the tool run code or write
// outside the project.
#include "ToolRun.h"
#include "support/RawDatabase.h"
#include "support/TempDir.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

// The tool with extra environment variables (and the log kept in the test's folder).
ToolRun plcprojWith(const QStringList& args, const QStringList& environment)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& entry : environment)
        env.insert(entry.section('=', 0, 0), entry.section('=', 1));
    process.setProcessEnvironment(env);
    process.start(QString::fromUtf8(qgetenv("DATAMODEL_BINARY_DIR")) + "/bin/plcproj", args);
    process.waitForFinished(120000);
    return ToolRun{process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                   QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

mode_t modeOf(const QString& path)
{
    struct stat status;
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 ? (status.st_mode & 07777) : 0;
}

bool writeFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

QStringList filesBelow(const QString& folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    return files;
}

QString standardLibrary(const char* name)
{
    return QString::fromUtf8(qgetenv("DATAMODEL_BINARY_DIR")) + "/share/datamodel/libraries/" + name;
}

class PlcprojHostile : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const ToolRun create = plcproj({"create", dir(), "--name", "Line"});
        ASSERT_EQ(create.code, 0) << create.err.toStdString();
        file = lines(create.out).last();
    }
    QString dir() const { return temp.filePath("line"); }

    testsupport::TempDir temp;
    QString file;
};

TEST_F(PlcprojHostile, aValueIsNeverTakenForAnOption)
{
    // Once "--json" was dropped from anywhere and "--old" became the new password.
    const ToolRun run = plcproj({"passwd", file, "--new", "--json", "--old", "X"});
    EXPECT_EQ(run.code, 2) << run.out.toStdString();
    EXPECT_TRUE(run.err.contains("--new")) << run.err.toStdString();
    EXPECT_EQ(plcproj({"info", dir()}).code, 0) << "the password is unchanged";
    EXPECT_EQ(plcproj({"info", dir(), "--password"}).code, 2) << "an option without its value";
    EXPECT_EQ(plcproj({"info", dir(), "--pasword", "x"}).code, 2) << "an unknown option";

    // A value that begins with a dash is written --option=value; a negative number is a word.
    ASSERT_EQ(plcproj({"passwd", dir(), "--new=--odd"}).code, 0);
    EXPECT_EQ(plcproj({"info", dir(), "--password=--odd"}).code, 0);
    const ToolRun value = plcproj({"value", "INT", "--text", "-5"});
    EXPECT_EQ(value.code, 0) << value.err.toStdString();
    EXPECT_EQ(value.out.trimmed(), "fbff");

    const ToolRun help = plcproj({"passwd", "--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_TRUE(help.out.contains("--new-file NEW-FILE")) << "usage text from the option definitions";
}

TEST_F(PlcprojHostile, passwordsFromAFileOrTheEnvironment)
{
    const QString secret = temp.filePath("secret");
    ASSERT_TRUE(writeFile(secret, "s3cret pass\n"));
    const ToolRun changed = plcproj({"passwd", dir(), "--new-file", secret});
    ASSERT_EQ(changed.code, 0) << changed.err.toStdString();

    const ToolRun without = plcproj({"info", dir()});
    EXPECT_EQ(without.code, 1) << "no terminal to ask on: the default password is tried and fails";
    EXPECT_TRUE(without.err.contains("wrong password")) << without.err.toStdString();
    EXPECT_EQ(plcproj({"info", dir(), "--password-file", secret}).code, 0) << "the line end is not part of it";
    EXPECT_EQ(plcprojWith({"info", dir()}, {"PLCPROJ_PASSWORD=s3cret pass"}).code, 0);
    EXPECT_EQ(plcprojWith({"info", dir(), "--password", "s3cret pass"}, {"PLCPROJ_PASSWORD=wrong"}).code, 0)
        << "an option wins over the environment";
    EXPECT_EQ(plcproj({"info", dir(), "--password", "s3cret pass"}).code, 0) << "--password still works";

    const QString next = temp.filePath("next");
    ASSERT_TRUE(writeFile(next, "other\r\nsecond line"));
    ASSERT_EQ(plcproj({"passwd", dir(), "--old-file", secret, "--new-file", next}).code, 0);
    EXPECT_EQ(plcproj({"info", dir(), "--password", "other"}).code, 0);

    const ToolRun device = plcproj({"info", dir(), "--password-file", "/dev/zero"});
    EXPECT_EQ(device.code, 1);
    EXPECT_TRUE(device.err.contains("not a regular file")) << device.err.toStdString();
    EXPECT_EQ(plcproj({"info", dir(), "--password-file", temp.filePath("missing")}).code, 1);
}

TEST_F(PlcprojHostile, inputFilesAreRegularFilesOfBoundedSize)
{
    QElapsedTimer timer;
    timer.start();
    const ToolRun script = plcproj({"exec", dir(), "-f", "/dev/zero"});
    EXPECT_EQ(script.code, 2) << "a script that cannot be read is a usage error, as a missing one is";
    EXPECT_TRUE(script.err.contains("not a regular file")) << script.err.toStdString();
    const ToolRun graph = plcproj({"exec", dir(), "-c", "add pou Main; graph Main /dev/zero"});
    EXPECT_EQ(graph.code, 1);
    EXPECT_TRUE(graph.err.contains("not a regular file")) << graph.err.toStdString();
    const QString fifo = temp.filePath("fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_EQ(plcproj({"exec", dir(), "-f", fifo}).code, 2) << "a FIFO without a writer does not block";
    EXPECT_LT(timer.elapsed(), 60000);

    for (const char* count : {"-1", "50001", "99999999999", "1e3", "x"}) {
        const ToolRun run = plcproj({"generate", temp.filePath("gen"), "--pous", count});
        EXPECT_EQ(run.code, 2) << count;
    }
    EXPECT_FALSE(QFileInfo::exists(temp.filePath("gen")));
}

TEST_F(PlcprojHostile, aTriggerPlantedInTheFileNeverRuns)
{
    ASSERT_EQ(plcproj({"exec", dir(), "-c", "add gvl GVL_Plant; save"}).code, 0);
    ASSERT_TRUE(testsupport::rawExec(file, "CREATE TRIGGER t_evil AFTER INSERT ON POU BEGIN DELETE FROM GlobalVar; END"));
    const ToolRun run = plcproj({"exec", dir(), "-c", "add pou Conveyor; save"});
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(run.err.contains("the file holds a trigger 't_evil' that no project file has: not opened"))
        << run.err.toStdString();
    EXPECT_FALSE(run.out.contains("saved"));
    EXPECT_TRUE(testsupport::rawRows(file, "SELECT Name FROM GlobalVar").contains("GVL_Plant"));
    EXPECT_EQ(plcproj({"info", dir()}).code, 1) << "not even read";
}

TEST_F(PlcprojHostile, storedNamesAndLinksDoNotLeadOutOfTheProject)
{
    const QString outside = temp.filePath("outside");
    ASSERT_TRUE(QDir().mkpath(outside));
    const QStringList before = filesBelow(temp.path());

    // A library name stored in the file that climbs out of the project folder.
    ASSERT_TRUE(testsupport::rawExec(file, "UPDATE LibraryManager SET Name = '../../../../outside/pwned.nvl' "
                                           "WHERE Name = 'motion_control.nvl'"));
    const ToolRun replace = plcproj({"lib", "replace", dir(), "../../../../outside/pwned.nvl", standardLibrary("motion_control.nvl")});
    EXPECT_EQ(replace.code, 1);
    EXPECT_TRUE(replace.err.contains("no plain file name")) << replace.err.toStdString();

    // The user libraries' folder is a link to somewhere else.
    ASSERT_TRUE(QDir().mkpath(dir() + "/Libraries"));
    ASSERT_TRUE(QFile::link(outside, dir() + "/Libraries/userlib"));
    const ToolRun made = plcproj({"create", temp.filePath("valves"), "--name", "Valves", "--type", "UserLib"});
    ASSERT_EQ(made.code, 0) << made.err.toStdString();
    const QString library = lines(made.out).last();
    ASSERT_TRUE(testsupport::rawExec(library, "UPDATE ProjectInfo SET Version = '1.0.0.0', "
                                              "Properties = replace(Properties, '{', '{\"Compile\":\"true\",')"));
    const ToolRun add = plcproj({"lib", "add", dir(), library});
    EXPECT_EQ(add.code, 1);
    EXPECT_TRUE(add.err.contains("Libraries/userlib")) << add.err.toStdString();

    // The journal of the database file is a link: a save would write through it.
    ASSERT_TRUE(QFile::link(temp.filePath("victim"), file + "-journal"));
    const ToolRun save = plcproj({"exec", dir(), "-c", "add pou Conveyor; save"});
    EXPECT_EQ(save.code, 1);
    EXPECT_TRUE(save.err.contains(file + "-journal is a symbolic link")) << save.err.toStdString();

    EXPECT_EQ(filesBelow(outside), QStringList()) << "nothing written outside the project";
    EXPECT_FALSE(QFileInfo::exists(temp.filePath("victim")));
    QStringList after = filesBelow(temp.path());
    after.removeAll(library);
    after.removeAll(file + "-journal");
    after.removeAll(temp.filePath("valves/Libraries/norvale/sys_include/1.0.0.0/sys_include.nvl"));
    after.removeAll(temp.filePath("valves/Libraries/norvale/motion_control/0.2.0.0/motion_control.nvl"));
    EXPECT_EQ(after, before);
}

TEST(PlcprojFiles, whatTheToolCreatesIsOwnerOnlyWhateverTheUmask)
{
    testsupport::TempDir temp;
    const mode_t old = ::umask(0);
    const ToolRun create = plcproj({"create", temp.filePath("line"), "--name", "Line"});
    ::umask(old);
    ASSERT_EQ(create.code, 0) << create.err.toStdString();
    const QStringList files = filesBelow(temp.filePath("line"));
    ASSERT_GE(files.size(), 3) << "the database and two standard libraries";
    for (const QString& path : files)
        EXPECT_EQ(modeOf(path), mode_t(0600)) << path.toStdString();
}

} // namespace
