// The command-line tool as people and scripts use it: a real process per command.
#include "ToolRun.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace {

class Plcproj : public ::testing::Test
{
protected:
    testsupport::TempDir temp;
};

TEST_F(Plcproj, usageAndErrorsFollowTheConventions)
{
    EXPECT_EQ(plcproj({"--version"}).code, 0);
    ToolRun help = plcproj({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_TRUE(help.out.contains("exec PROJECT"));
    for (const QStringList& args : {QStringList{}, QStringList{"frobnicate"}, QStringList{"create"},
                                    QStringList{"create", temp.filePath("x")}, QStringList{"info", "a", "--bogus"},
                                    QStringList{"create", temp.filePath("x"), "--name", "X", "--type", "Nope"}}) {
        const ToolRun run = plcproj(args);
        EXPECT_EQ(run.code, 2) << args.join(' ').toStdString();
    }
    const ToolRun missing = plcproj({"info", temp.filePath("nowhere")});
    EXPECT_EQ(missing.code, 1);
    EXPECT_TRUE(missing.err.startsWith("error: ")) << missing.err.toStdString();
    EXPECT_EQ(lines(missing.err).size(), 1);
}

TEST_F(Plcproj, createInfoAndPasswd)
{
    const QString dir = temp.filePath("line");
    const QString name = QString::fromUtf8(u8"Line 'A' %1 包装");
    const ToolRun create = plcproj({"create", dir, "--name", name, "--author", "Ann", "--comments", "c", "--style", "JPStyle"});
    ASSERT_EQ(create.code, 0) << create.err.toStdString();
    const QString file = lines(create.out).last();
    EXPECT_TRUE(QFile::exists(file)) << file.toStdString();
    EXPECT_TRUE(file.startsWith(dir));

    const ToolRun info = plcproj({"info", dir, "--json"});
    ASSERT_EQ(info.code, 0) << info.err.toStdString();
    const QJsonObject object = QJsonDocument::fromJson(info.out.toUtf8()).object();
    EXPECT_EQ(object["fileName"].toString(), name);
    EXPECT_EQ(object["author"].toString(), "Ann");
    EXPECT_EQ(object["projectType"].toString(), "Project");
    EXPECT_EQ(object["ProgramStyle"].toString(), "JPStyle");
    EXPECT_EQ(object["ProjectUUID"].toString().size(), 36);
    for (const char* key : {"comments", "versionCreated", "versionModified"})
        EXPECT_TRUE(object.contains(key)) << key;

    ASSERT_EQ(plcproj({"passwd", file, "--old", "kv rond", "--new", "n'ew"}).code, 0);
    const ToolRun old = plcproj({"info", dir});
    EXPECT_EQ(old.code, 1) << "the old password no longer opens the file";
    EXPECT_TRUE(old.err.contains("wrong password")) << old.err.toStdString();
    EXPECT_EQ(plcproj({"info", dir, "--password", "n'ew"}).code, 0);
    EXPECT_EQ(plcproj({"passwd", dir, "--old", "wrong", "--new", "x"}).code, 1);
    EXPECT_EQ(plcproj({"create", dir, "--name", name}).code, 1) << "never created over an existing project";
}

TEST_F(Plcproj, execUndoRedoAndReopen)
{
    const QString dir = temp.filePath("exec");
    ASSERT_EQ(plcproj({"create", dir, "--name", "Exec"}).code, 0);
    QFile script(temp.filePath("script.txt"));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("# a session with undo and redo\n"
                 "add folder Programs --kind pou\n"
                 "add pou Keep --folder 1; add pou Gone; add pou Renamed\n"
                 "add gvl Plant; add type Mode --kind enum\n"
                 "decl gvl Plant \"VAR_GLOBAL\\n    speed : INT := 3;\\nEND_VAR\\n\"\n"
                 "rm pou Gone\n"
                 "rename pou Renamed Final; rename pou Final Wrong; undo\n"
                 "add task Fast; call Fast Keep; call Fast Final; uncall Fast 0; undo; wdt Fast 20\n"
                 "rm type Mode; undo; redo\n"
                 "add pou Temp; undo; redo; undo\n"
                 "move pou Keep 1 4\n"
                 "save\n");
    script.close();
    const ToolRun exec = plcproj({"exec", dir, "-f", temp.filePath("script.txt")});
    ASSERT_EQ(exec.code, 0) << exec.err.toStdString() << exec.out.toStdString();

    const ToolRun pous = plcproj({"exec", dir, "-c", "list pou"});
    EXPECT_EQ(lines(pous.out), QStringList({"DevicePOU (hidden)", "Keep", "Final"}));
    EXPECT_EQ(lines(plcproj({"exec", dir, "-c", "list type"}).out), QStringList());
    const ToolRun task = plcproj({"--json", "exec", dir, "-c", "show task Fast; show pou Keep; show gvl Plant"});
    ASSERT_EQ(task.code, 0) << task.err.toStdString();
    const QJsonArray shown = QJsonDocument::fromJson(task.out.toUtf8()).array();
    ASSERT_EQ(shown.size(), 3);
    EXPECT_EQ(shown[0].toObject()["calls"].toArray(), QJsonArray({"Keep", "Final"}));
    EXPECT_EQ(shown[0].toObject()["watchdog"].toInt(), 20);
    EXPECT_EQ(shown[1].toObject()["folder"].toInt(), 1);
    EXPECT_EQ(shown[1].toObject()["properties"].toObject()["Row"].toString(), "4");
    EXPECT_TRUE(shown[2].toObject()["declaration"].toString().contains("speed : INT := 3;"));

    // A failing command stops the script, names its place (commands given with -c are counted,
    // not their lines), and nothing after it runs.
    const ToolRun failing = plcproj({"exec", dir, "-c", "add pou Never1\nrm pou NoSuchPou\nadd pou Never2; save"});
    EXPECT_EQ(failing.code, 1);
    EXPECT_EQ(failing.err, "error: command 2: rm pou NoSuchPou: no pou named 'NoSuchPou'\n");
    EXPECT_FALSE(lines(plcproj({"exec", dir, "-c", "list pou"}).out).contains("Never1"));
    EXPECT_EQ(plcproj({"exec", dir, "-c", "add pou \"unterminated"}).code, 2);
}

TEST_F(Plcproj, checkPrintsThePlantedErrorsAndNothingElse)
{
    const QString dir = temp.filePath("check");
    ASSERT_EQ(plcproj({"create", dir, "--name", "Check"}).code, 0);
    const QString script =
        "add type Mode --kind enum\n"
        "decl type Mode \"TYPE Mode :\\n(\\n    Off,\\n    On\\n);\\nEND_TYPE\\n\"\n"
        "add gvl Io\n"
        "decl gvl Io \"VAR_GLOBAL\\n    lamp : BOOL;\\n    level : MISSING_T;\\nEND_VAR\\n\"\n"
        "add pou Main\n"
        "decl pou Main \"PROGRAM Main\\nVAR\\n    mode : Mode;\\n    t : TON;\\nEND_VAR\\n\"\n"
        "logic Main \"t(IN := lamp, PT := T#1s);\\nIF t.Q THEN\\n    mode := On;\\nEND_IF;\\nghost := 1;\\n\"\n"
        "save\n";
    ASSERT_EQ(plcproj({"exec", dir, "-c", script}).code, 0);
    const ToolRun check = plcproj({"check", dir});
    EXPECT_EQ(check.code, 1);
    EXPECT_EQ(lines(check.out), QStringList({"Io:3:13: error: unknown type 'MISSING_T'",
                                             "Main:5:1: error: undeclared identifier 'ghost'"}))
        << check.out.toStdString();

    ASSERT_EQ(plcproj({"exec", dir, "-c", "decl gvl Io \"VAR_GLOBAL\\n    lamp : BOOL;\\nEND_VAR\\n\"; "
                                          "logic Main \"t(IN := lamp, PT := T#1s);\"; save"})
                  .code,
              0);
    const ToolRun clean = plcproj({"check", dir});
    EXPECT_EQ(clean.code, 0) << clean.out.toStdString();
    EXPECT_TRUE(clean.out.isEmpty());
}

TEST_F(Plcproj, demoRunsClean)
{
    const ToolRun demo = plcproj({"demo", temp.filePath("demo")});
    EXPECT_EQ(demo.code, 0) << demo.err.toStdString();
    EXPECT_TRUE(demo.out.contains("compiler check: no messages"));
    EXPECT_TRUE(demo.out.contains("SlowTask"));
    EXPECT_TRUE(demo.out.contains("motion_control.nvl 0.2.0.0")) << "the demo's axis program uses the library";
    EXPECT_TRUE(demo.out.contains("Main_task every T#10ms, watchdog 100 ms: Main, FeederAxis"));
}

} // namespace
