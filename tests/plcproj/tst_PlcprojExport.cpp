// plcproj export, import, dump and diff run as real processes: projects as text folders under
// version control.
#include "ExportFolder.h"
#include "support/QtPrinters.h"
#include "support/RawDatabase.h"
#include "support/TempDir.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <map>

namespace {

class PlcprojExport : public ::testing::Test
{
protected:
    QString create(const QString& name)
    {
        expectOk(plcproj({"create", temp.filePath(name), "--name", name}), "create");
        return temp.filePath(name);
    }

    void exec(const QString& project, const QString& script)
    {
        expectOk(plcproj({"exec", project, "-c", script}), "exec");
    }

    testsupport::TempDir temp;
};

TEST_F(PlcprojExport, demoProjectSurvivesExportImportExportByteForByte)
{
    ASSERT_EQ(plcproj({"demo", temp.filePath("demo")}).code, 0);
    const QString password = "line'2 demo";
    expectOk(plcproj({"export", temp.filePath("demo"), temp.filePath("first"), "--password", password}), "export");
    const Files first = readFolder(temp.filePath("first"));
    ASSERT_GT(first.size(), 10u);
    for (const auto& [path, bytes] : first) {
        EXPECT_TRUE(bytes.endsWith('\n') || path.endsWith(".graph")) << path.toStdString() << " lacks the final line feed";
        if (!path.endsWith(".graph")) {
            EXPECT_FALSE(bytes.contains('\r')) << path.toStdString();
        }
    }
    EXPECT_TRUE(first.count("program/Programs/StackLights.prg.graph")) << "graphic editor data is a file of its own";
    // One of each motion object and auxiliary table; the hidden lists they fill are not exported.
    for (const char* path : {"motion/axes/Feeder.axis.json", "motion/groups/Wrapper.group.json", "motion/cams/SealCam.cam.json",
                             "motion/cams/SealCam.cam.csv", "motion/traces/Belt speed.trace.json",
                             "auxiliary/watch/Conveyor.watch.json", "auxiliary/hmi.json", "auxiliary/comments.json"})
        EXPECT_TRUE(first.count(QString::fromLatin1(path))) << path << " is missing";
    EXPECT_FALSE(first.count("program/HiddenAxisVar.gvl.st") || first.count("program/EcamVars.gvl.st"));
    EXPECT_FALSE(first.at("program/index.json").contains("HiddenAxis"));

    // A folder of other files is not an export folder: nothing in it is touched.
    QDir().mkpath(temp.filePath("other"));
    QFile other(temp.filePath("other/notes.txt"));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.close();
    const ToolRun refused = plcproj({"export", temp.filePath("demo"), temp.filePath("other"), "--password", password});
    EXPECT_EQ(refused.code, 1);
    EXPECT_TRUE(refused.err.contains("holds no export")) << refused.err.toStdString();
    EXPECT_EQ(QDir(temp.filePath("other")).entryList(QDir::Files), QStringList{"notes.txt"});

    // Exporting again into the same folder changes nothing; what the project no longer holds goes.
    QFile stale(temp.filePath("first/program/Gone.prg.st"));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.close();
    expectOk(plcproj({"export", temp.filePath("demo"), temp.filePath("first"), "--password", password}), "re-export");
    EXPECT_EQ(readFolder(temp.filePath("first")), first);

    const ToolRun imported = plcproj({"import", temp.filePath("first"), temp.filePath("copy"), "--password", password});
    expectOk(imported, "import");
    expectOk(plcproj({"export", temp.filePath("copy"), temp.filePath("second"), "--password", password}), "export copy");
    EXPECT_EQ(readFolder(temp.filePath("second")), first);
    EXPECT_EQ(plcproj({"check", temp.filePath("copy"), "--password", password}).code, 0);
    // With --stamps the modification times go along, and the copy keeps them.
    expectOk(plcproj({"export", temp.filePath("demo"), temp.filePath("stamped"), "--stamps", "--password", password}), "stamped");
    const Files stamped = readFolder(temp.filePath("stamped"));
    EXPECT_TRUE(stamped.at("program/index.json").contains("\"modifyTime\""));
    EXPECT_FALSE(first.at("program/index.json").contains("\"modifyTime\"")) << "no time stamps by default";
    expectOk(plcproj({"import", temp.filePath("stamped"), temp.filePath("stampedCopy")}), "import stamped");
    expectOk(plcproj({"export", temp.filePath("stampedCopy"), temp.filePath("stampedAgain"), "--stamps"}), "export stamped");
    EXPECT_EQ(readFolder(temp.filePath("stampedAgain")), stamped);

    // The motion and auxiliary rows are the original's, and so are the lists their variables
    // are declared in.
    for (const char* sql : {"SELECT Id || Name || Properties FROM AxisTable ORDER BY Id",
                            "SELECT Id || Name || Properties FROM AxisGroupTable ORDER BY Id",
                            "SELECT Id || Name || Properties FROM EcamTable ORDER BY Id",
                            "SELECT Id || '/' || TableId || '/' || Roworder || '/' || MainAxis || '/' || SlaveAxis FROM EcamPoints ORDER BY Id",
                            "SELECT quote(Id) || quote(Name) || quote(ListData) || quote(Properties) FROM WatchList ORDER BY Id",
                            "SELECT FullName FROM HmiCfgTable",
                            "SELECT quote(Id) || Name || OrderNum || quote(Snapshot) || quote(Comments) || BitComments || Properties "
                            "FROM SoftwareComponentTable ORDER BY Id",
                            "SELECT Name || LogicContext FROM GlobalVar WHERE Name IN ('HiddenAxisVar', 'HiddenAxisGroupVar', 'EcamVars') "
                            "ORDER BY Name"}) {
        const QStringList rows = testsupport::rawRows(temp.filePath("demo/PackagingLine.nvp"), QString::fromLatin1(sql), password);
        EXPECT_FALSE(rows.isEmpty()) << sql;
        EXPECT_EQ(testsupport::rawRows(temp.filePath("copy/PackagingLine.nvp"), QString::fromLatin1(sql), password), rows) << sql;
    }
    // The copy keeps the ids that tasks refer to: the device tree and the task calls are the same.
    EXPECT_EQ(plcproj({"device", temp.filePath("copy"), "tree", "--password", password}).out,
              plcproj({"device", temp.filePath("demo"), "tree", "--password", password}).out);
}

TEST_F(PlcprojExport, awkwardNamesSurviveAndGetDistinctFileNames)
{
    const QString project = create("Names");
    // Names that a POU takes today cannot be file names on every system (CON), and older
    // files hold POU names that are no identifiers at all: the export must carry both.
    const QStringList pous = {"Motor", "MOTOR", "CON", "A/B", QString::fromUtf8(testsupport::awkward::chinese),
                              "Quote'd \"x\"", "Motor %1 %2", "dot.ted"};
    QString script = "add folder \"Sub/Dir\" --kind pou\n";
    for (int i = 0; i < pous.size(); ++i)
        script += QStringLiteral("add pou P%1 --type FB\nlogic P%1 \"x := 1;\\n(*#LOGIC#*)\\n\"\n").arg(i);
    // A declaration that holds a line looking like the separator keeps it.
    script += "decl pou P0 \"FUNCTION_BLOCK Motor\\n(*#LOGIC#*)\\n(*##LOGIC#*)\\nVAR\\nEND_VAR\"\n";
    script += "add gvl CON_List\nadd type Modes --kind enum\nsave\n";
    exec(project, script);
    const QString database = project + "/Names.nvp";
    for (int i = 0; i < pous.size(); ++i) {
        QString literal = pous[i];
        literal.replace("'", "''");
        ASSERT_TRUE(testsupport::rawExec(database, QStringLiteral("UPDATE POU SET Name = '%1' WHERE Name = '%2'").arg(literal, QStringLiteral("P%1").arg(i))));
    }
    expectOk(plcproj({"export", project, temp.filePath("text")}), "export");
    const Files files = readFolder(temp.filePath("text"));

    QSet<QString> folded;
    for (const auto& [path, bytes] : files) {
        EXPECT_FALSE(folded.contains(path.toLower())) << path.toStdString() << " clashes when case is ignored";
        folded.insert(path.toLower());
        const QString base = path.section('/', -1).section('.', 0, 0);
        EXPECT_NE(base.toUpper(), QStringLiteral("CON")) << "reserved device name " << path.toStdString();
    }
    EXPECT_TRUE(files.count("program/Sub%2FDir/index.json")) << "the folder with a slash is one directory";

    expectOk(plcproj({"import", temp.filePath("text"), temp.filePath("back")}), "import");
    expectOk(plcproj({"export", temp.filePath("back"), temp.filePath("again")}), "export again");
    EXPECT_EQ(readFolder(temp.filePath("again")), files);
    const ToolRun shown = plcproj({"exec", temp.filePath("back"), "-c", "show pou Motor"});
    EXPECT_TRUE(shown.out.contains("    (*#LOGIC#*)\n    (*##LOGIC#*)\n    VAR")) << shown.out.toStdString();
    const QString listed = plcproj({"exec", temp.filePath("back"), "-c", "list pou"}).out;
    for (const QString& name : {QStringLiteral("MOTOR"), QStringLiteral("A/B"), QStringLiteral("Quote'd \"x\""),
                                QString::fromUtf8(testsupport::awkward::chinese), QStringLiteral("Motor %1 %2")})
        EXPECT_TRUE(listed.contains(name)) << name.toStdString() << " in\n" << listed.toStdString();
}

TEST_F(PlcprojExport, brokenFoldersAreRefusedNamingFileAndLineAndLeaveNothing)
{
    const QString project = create("Broken");
    exec(project, "add pou Main\nlogic Main \"x := 1;\"\nsave");
    expectOk(plcproj({"export", project, temp.filePath("text")}), "export");
    const QString pou = temp.filePath("text/program/Main.prg.st");
    const QString index = temp.filePath("text/program/index.json");
    QFile file(pou);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray good = file.readAll();
    file.close();
    QFile indexFile(index);
    ASSERT_TRUE(indexFile.open(QIODevice::ReadOnly));
    const QByteArray goodIndex = indexFile.readAll();
    indexFile.close();
    const QString tasks = temp.filePath("text/tasks.json");
    QFile tasksFile(tasks);
    ASSERT_TRUE(tasksFile.open(QIODevice::ReadOnly));
    const QByteArray goodTasks = tasksFile.readAll();
    tasksFile.close();
    ASSERT_TRUE(goodTasks.contains("\"watchdog\": 0"));

    struct Case
    {
        QString file;
        QByteArray content;
        QString expected;
    };
    const QList<Case> cases = {
        {pou, QByteArray(good).replace("(*#LOGIC#*)", "(* no separator *)"), "program/Main.prg.st:"},
        {index, goodIndex.left(goodIndex.size() / 2), "program/index.json:"},
        {index, QByteArray(goodIndex).replace("Main.prg.st", "Gone.prg.st"), "Gone.prg.st, which is missing"},
        {index, QByteArray(goodIndex).replace("\"language\": \"ST\"", "\"language\": \"COBOL\""), "unknown \"language\""},
        {tasks, QByteArray(goodTasks).replace("\"watchdog\": 0", "\"watchdog\": \"soon\""), "tasks.json:"},
    };
    for (const Case& c : cases) {
        QFile broken(c.file);
        ASSERT_TRUE(broken.open(QIODevice::WriteOnly | QIODevice::Truncate));
        broken.write(c.content);
        broken.close();
        const ToolRun run = plcproj({"import", temp.filePath("text"), temp.filePath("out")});
        EXPECT_EQ(run.code, 1) << c.expected.toStdString();
        EXPECT_TRUE(run.err.contains(c.expected)) << run.err.toStdString();
        EXPECT_TRUE(QRegularExpression(":[0-9]+: ").match(run.err).hasMatch() || c.expected.contains("missing"))
            << "a line number: " << run.err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(temp.filePath("out")));
        EXPECT_TRUE(QDir(temp.path()).entryList({"*importing*"}, QDir::AllEntries | QDir::Hidden).isEmpty());
        // Put the file back for the next case.
        QFile repair(c.file);
        ASSERT_TRUE(repair.open(QIODevice::WriteOnly | QIODevice::Truncate));
        repair.write(c.file == pou ? good : c.file == tasks ? goodTasks : goodIndex);
    }
    expectOk(plcproj({"import", temp.filePath("text"), temp.filePath("out")}), "the repaired folder");
    EXPECT_EQ(plcproj({"import", temp.filePath("text"), temp.filePath("out")}).code, 1) << "an existing project is kept";
}

TEST_F(PlcprojExport, diffNamesChangedAddedAndRemovedObjectsWithAUnifiedDiff)
{
    const QString a = create("Left");
    exec(a, "add pou Main\nlogic Main \"a := 1;\\nb := 2;\\nc := 3;\"\nadd pou Old\nsave");
    expectOk(plcproj({"export", a, temp.filePath("b")}), "export");
    expectOk(plcproj({"import", temp.filePath("b"), temp.filePath("Right")}), "import");
    exec(temp.filePath("Right"), "logic Main \"a := 1;\\nb := 20;\\nc := 3;\"\nrm pou Old\nadd gvl G\nsave");

    const ToolRun none = plcproj({"diff", a, temp.filePath("b")});
    expectOk(none, "diff of a project and its export");
    EXPECT_TRUE(none.out.isEmpty()) << none.out.toStdString();

    const ToolRun run = plcproj({"diff", temp.filePath("b"), temp.filePath("Right")});
    expectOk(run, "diff");
    const QStringList out = run.out.split('\n');
    EXPECT_TRUE(out.contains("changed program Main (program/Main.prg.st)")) << run.out.toStdString();
    EXPECT_TRUE(out.contains("removed program Old (program/Old.prg.st)"));
    EXPECT_TRUE(out.contains("added global list G (program/G.gvl.st)"));
    EXPECT_EQ(out.filter(QRegularExpression("^(added|removed|changed) ")).size(), 3) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("--- a/program/Main.prg.st\n+++ b/program/Main.prg.st\n"));
    EXPECT_TRUE(run.out.contains(" a := 1;\n-b := 2;\n+b := 20;\n c := 3;\n")) << run.out.toStdString();
}

TEST_F(PlcprojExport, gitTextconvShowsExactlyTheChangedLine)
{
    const QString git = QStandardPaths::findExecutable("git");
    if (git.isEmpty())
        GTEST_SKIP() << "git is not installed";
    const QString repo = temp.filePath("repo");
    const QString tool = QString::fromUtf8(qgetenv("DATAMODEL_BINARY_DIR")) + "/bin/plcproj";
    auto run = [&](const QStringList& args) {
        QProcess process;
        process.setWorkingDirectory(repo);
        process.start(git, args);
        process.waitForFinished(60000);
        EXPECT_EQ(process.exitCode(), 0) << args.join(' ').toStdString() << ": " << process.readAllStandardError().toStdString();
        return QString::fromUtf8(process.readAllStandardOutput());
    };
    QDir().mkpath(repo);
    run({"init", "-q"});
    run({"config", "user.email", "test@example.com"});
    run({"config", "user.name", "Test"});
    // The three lines of the README.
    run({"config", "diff.plcproj.textconv", tool + " dump"});
    QFile attributes(repo + "/.gitattributes");
    ASSERT_TRUE(attributes.open(QIODevice::WriteOnly));
    attributes.write("*.nvp diff=plcproj\n");
    attributes.close();

    expectOk(plcproj({"create", repo + "/Line", "--name", "Line"}), "create");
    exec(repo + "/Line", "add pou Main\nlogic Main \"a := 1;\\nb := 2;\\nc := 3;\"\nsave");
    run({"add", ".gitattributes", "Line/Line.nvp"});
    run({"commit", "-qm", "first"});
    exec(repo + "/Line", "logic Main \"a := 1;\\nb := 42;\\nc := 3;\"\nsave");
    run({"commit", "-qam", "second"});

    const QString log = run({"log", "-p", "-1", "--format=", "--", "Line/Line.nvp"});
    QStringList changed;
    for (const QString& line : log.split('\n'))
        if ((line.startsWith('+') || line.startsWith('-')) && !line.startsWith("+++") && !line.startsWith("---"))
            changed << line;
    EXPECT_EQ(changed, QStringList({"-b := 2;", "+b := 42;"})) << log.toStdString();
}

} // namespace
