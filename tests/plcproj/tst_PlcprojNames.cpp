// What users type into plcproj exec: names that stay unique and valid, folders that exist,
// references that stay true, the system's objects left alone, scripts refused before they
// run, and progress shown only where a person watches.
#include "ToolRun.h"
#include "support/TempDir.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class PlcprojNames : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dir = temp.filePath("names");
        ASSERT_EQ(plcproj({"create", dir, "--name", "Names"}).code, 0);
    }
    ToolRun exec(const QString& script) { return plcproj({"exec", dir, "-c", script}); }
    QString file(const QByteArray& bytes)
    {
        const QString path = temp.filePath("script.txt");
        QFile out(path);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(bytes);
        return path;
    }
    QStringList names(const QString& kind) { return lines(exec("list " + kind).out); }

    testsupport::TempDir temp;
    QString dir;
};

struct Case
{
    const char* name;
    const char* script;
    const char* error; // the whole line on standard error
};

class RefusedEdits : public PlcprojNames, public ::testing::WithParamInterface<Case>
{
};

TEST_P(RefusedEdits, stopTheScriptWithTheReason)
{
    const ToolRun run = exec(QString::fromUtf8(GetParam().script) + "; add pou NeverReached");
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err.toStdString(), std::string(GetParam().error) + "\n");
    EXPECT_FALSE(names("pou").contains("NeverReached"));
}

INSTANTIATE_TEST_SUITE_P(
    Issue, RefusedEdits,
    ::testing::Values(
        Case{"renameOntoAnother", "add pou A; add pou B; rename pou A B",
             "error: command 3: rename pou A B: rename POU 'A' to 'B' refused: a POU named 'B' exists already"},
        Case{"listNamedAsAType", "add type Mode; add gvl MODE",
             "error: command 2: add gvl MODE: add global variable list 'MODE' refused: a data type named 'Mode' exists already"},
        Case{"typeTwice", "add type T; add type t",
             "error: command 2: add type t: add data type 't' refused: a data type named 'T' exists already"},
        Case{"taskTwice", "add task Fast; add task fast",
             "error: command 2: add task fast: add task 'fast' refused: a task named 'Fast' exists already"},
        Case{"folderTwice", "add folder F --kind pou; add folder F --kind gvl",
             "error: command 2: add folder F --kind gvl: add folder 'F' refused: a folder named 'F' exists already"},
        Case{"emptyPou", "add pou ''", "error: command 1: add pou : add POU '' refused: the name is empty"},
        Case{"emptyRename", "rename task Main_task \"\"",
             "error: command 1: rename task Main_task : rename task 'Main_task' to '' refused: the name is empty"},
        Case{"notAnIdentifier", "add pou 'Pump 1'",
             "error: command 1: add pou Pump 1: add POU 'Pump 1' refused: 'Pump 1' is no identifier (a letter or '_' first, then letters, digits or '_')"},
        Case{"moveToNowhere", "add pou A; move pou A 9999 0",
             "error: command 2: move pou A 9999 0: move POU 'A' refused: folder 9999 does not exist"},
        Case{"addToNowhere", "add pou X --folder 99999",
             "error: command 1: add pou X --folder 99999: add POU 'X' refused: folder 99999 does not exist"},
        Case{"folderInNowhere", "add folder F --kind pou --parent 99999",
             "error: command 1: add folder F --kind pou --parent 99999: add folder 'F' refused: folder 99999 does not exist"},
        Case{"wrongFolderKind", "add folder Lists --kind gvl; add pou X --folder 1",
             "error: command 2: add pou X --folder 1: add POU 'X' refused: folder 1 'Lists' holds global variable lists, not POUs"},
        Case{"removeDevicePou", "rm pou DevicePOU",
             "error: command 1: rm pou DevicePOU: remove POU 'DevicePOU' refused: it is one of the system's own objects"},
        Case{"removeHiddenList", "rm gvl HiddenAxisVar",
             "error: command 1: rm gvl HiddenAxisVar: remove global variable list 'HiddenAxisVar' refused: it is one of the system's own objects"},
        Case{"renameDevicePou", "rename pou DevicePOU Mine",
             "error: command 1: rename pou DevicePOU Mine: rename POU 'DevicePOU' to 'Mine' refused: it is one of the system's own objects"},
        Case{"reservedListName", "add gvl DeviceVars",
             "error: command 1: add gvl DeviceVars: add global variable list 'DeviceVars' refused: the name 'DeviceVars' is reserved for the system's own objects"},
        Case{"usedType", "add type ST_Point; add pou Main; decl pou Main \"PROGRAM Main\\nVAR p : ST_Point; END_VAR\"; rm type ST_Point",
             "error: command 4: rm type ST_Point: remove data type 'ST_Point' refused: it is used by POU 'Main'"},
        Case{"folderWithContents", "add folder F --kind pou; add pou X --folder 1; rm folder F",
             "error: command 3: rm folder F: remove folder 'F' refused: it holds POU 'X'"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PlcprojNames, removingACalledPouTakesItsCallsAndUndoPutsThemBack)
{
    ASSERT_EQ(exec("add pou FB_Valve; add pou Other; add task Fast; call Fast FB_Valve; call Fast Other; save").code, 0);
    const ToolRun removed = exec("rm pou FB_Valve; save; add pou Intruder; save");
    ASSERT_EQ(removed.code, 0) << removed.err.toStdString();
    // FB_Valve is the first POU: it took id 2, which the task of a new project calls.
    EXPECT_EQ(lines(removed.out).value(0), "removed pou FB_Valve with its calls: by task Main_task, by task Fast");
    const ToolRun shown = plcproj({"--json", "exec", dir, "-c", "show task Fast"});
    EXPECT_EQ(QJsonDocument::fromJson(shown.out.toUtf8()).array()[0].toObject()["calls"].toArray(), QJsonArray({"Other"}))
        << "the task does not call the POU that took the id";

    const ToolRun undone = plcproj({"--json", "exec", dir, "-c", "rm pou Other; undo; show task Fast; rm task Fast"});
    ASSERT_EQ(undone.code, 0) << undone.err.toStdString();
    const QJsonArray results = QJsonDocument::fromJson(undone.out.toUtf8()).array();
    EXPECT_EQ(results[2].toObject()["calls"].toArray(), QJsonArray({"Other"}));
    EXPECT_EQ(results[3].toObject()["calls"].toArray(), QJsonArray({"Other"})) << "a removed task names its calls";
    EXPECT_EQ(lines(exec("rm task Main_task").out), QStringList({"removed task Main_task"}));
}

TEST_F(PlcprojNames, scriptsThatAreNoTextAreRefusedBeforeAnythingRuns)
{
    const std::vector<std::pair<QByteArray, std::string>> scripts = {
        {QByteArray("add pou Before\nadd ", 19) + QByteArray(1, '\0') + "pou After\n",
         "error: line 2, column 5: a NUL byte; nothing was run\n"},
        {QByteArray("add pou Before\n# caf\xc3\xa9 \xff\n"), "error: line 2, column 8: bytes that are no UTF-8 text; nothing was run\n"},
        {QByteArray("add pou Before\n# \xed\xa0\x80 a surrogate\n"),
         "error: line 2, column 3: bytes that are no UTF-8 text; nothing was run\n"},
        {QByteArray("add pou Before\n") + QByteArray((1 << 20) + 1, 'x') + "\n",
         "error: line 2, column 1048577: the line is longer than 1048576 bytes; nothing was run\n"},
    };
    for (const auto& [bytes, error] : scripts) {
        const ToolRun run = plcproj({"exec", dir, "-f", file(bytes)});
        EXPECT_EQ(run.code, 2);
        EXPECT_EQ(run.err.toStdString(), error);
    }
    EXPECT_FALSE(names("pou").contains("Before")) << "nothing ran";
    // A line of exactly the limit is read.
    const ToolRun longest = plcproj({"exec", dir, "-f", file("#" + QByteArray((1 << 20) - 1, 'x') + "\nadd pou Fits\n")});
    EXPECT_EQ(longest.code, 0) << longest.err.toStdString();

    const ToolRun failing = exec("add pou C1; add pou C2\nrm pou Nope");
    EXPECT_EQ(failing.err.toStdString(), "error: command 3: rm pou Nope: no pou named 'Nope'\n");
}

// Runs plcproj with standard error on a terminal (a pseudo-terminal); returns what the
// terminal showed.
QString onTerminal(const QStringList& args)
{
    int master = -1;
    const pid_t child = forkpty(&master, nullptr, nullptr, nullptr);
    if (child == 0) {
        const QByteArray program = qgetenv("DATAMODEL_BINARY_DIR") + "/bin/plcproj";
        std::vector<QByteArray> words;
        for (const QString& arg : args)
            words.push_back(arg.toUtf8());
        std::vector<char*> argv{const_cast<char*>(program.constData())};
        for (QByteArray& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        execv(program.constData(), argv.data());
        _exit(127);
    }
    QByteArray shown;
    char buffer[4096];
    for (ssize_t n; (n = read(master, buffer, sizeof(buffer))) > 0;)
        shown.append(buffer, static_cast<int>(n));
    int status = 0;
    waitpid(child, &status, 0);
    close(master);
    return QString::fromUtf8(shown);
}

TEST_F(PlcprojNames, progressOnlyOnATerminalAndNeverWithQuietOrJson)
{
    const QString big = temp.filePath("big");
    const ToolRun generated = plcproj({"generate", big, "--pous", "400", "--gvls", "20", "--types", "20"});
    ASSERT_EQ(generated.code, 0) << generated.err.toStdString();
    EXPECT_TRUE(generated.err.isEmpty()) << "redirected: no progress " << generated.err.toStdString();
    const ToolRun checked = plcproj({"check", big});
    EXPECT_TRUE(checked.err.isEmpty()) << checked.err.toStdString();

    const QString shown = onTerminal({"check", big});
    // The 400 POUs made and the hidden DevicePOU.
    EXPECT_TRUE(shown.contains(QRegularExpression("\rcheck: POU logic \\d+/401, \\d+\\.\\d s\033\\[K"))) << shown.toStdString();
    EXPECT_TRUE(shown.contains("\r\033[K")) << "the line is cleared at the end";
    for (const QStringList& args : {QStringList{"--quiet", "check", big}, QStringList{"check", big, "--json"}}) {
        const QString quiet = onTerminal(args);
        EXPECT_FALSE(quiet.contains("check: ")) << args.join(' ').toStdString() << ": " << quiet.toStdString();
    }
}

} // namespace
