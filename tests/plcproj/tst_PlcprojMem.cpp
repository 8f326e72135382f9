// plcproj mem: the memory layout compared, stored and shown, run as a real process.
#include "ToolRun.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace {

class PlcprojMem : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dir = QDir(temp.path()).filePath("cell");
        const ToolRun created = plcproj({"create", dir, "--name", "Cell", "--device", "VX7_1616MT"});
        ASSERT_EQ(created.code, 0) << created.err.toStdString();
        exec("add gvl G; decl gvl G \"VAR_GLOBAL\\n a : INT;\\n b : REAL;\\n c : DINT;\\nEND_VAR\"; "
             "add pou Main --type PRG; decl pou Main \"PROGRAM Main\\nVAR\\n n : INT;\\nEND_VAR\"; save");
    }
    void exec(const QString& script)
    {
        const ToolRun run = plcproj({"exec", dir, "-c", script});
        ASSERT_EQ(run.code, 0) << run.err.toStdString();
    }
    ToolRun mem(const QStringList& args = {})
    {
        return plcproj(QStringList{"mem", dir} + args);
    }

    testsupport::TempDir temp;
    QString dir;
};

TEST_F(PlcprojMem, comparesWritesAndShowsTheLayout)
{
    const ToolRun first = mem();
    ASSERT_EQ(first.code, 0) << first.err.toStdString();
    EXPECT_TRUE(lines(first.out).contains("gvl G: added"));
    EXPECT_TRUE(lines(first.out).contains("  G.b: added 4"));
    EXPECT_TRUE(lines(first.out).contains("movable: 14 of 4194304 bytes: fits")) << first.out.toStdString();
    EXPECT_FALSE(QFile::exists(dir + "/project.mem"));

    const ToolRun written = mem({"--write"});
    ASSERT_EQ(written.code, 0) << written.err.toStdString();
    ASSERT_TRUE(QFile::exists(dir + "/project.mem"));
    const ToolRun shown = mem({"--show"});
    ASSERT_EQ(shown.code, 0) << shown.err.toStdString();
    EXPECT_TRUE(shown.out.startsWith("PRJ_MEM_GVL_HEAD:G{\n    0:a:{"));
    EXPECT_TRUE(shown.out.contains("PRJ_MEM_PRG_HEAD:Main{\n"));

    // a removed, b widened, d new: b moves with its value, c stays, a's place is kept free.
    exec("decl gvl G \"VAR_GLOBAL\\n b : LREAL;\\n c : DINT;\\n d : BOOL;\\nEND_VAR\"; save");
    const ToolRun again = mem();
    ASSERT_EQ(again.code, 0) << again.err.toStdString();
    const QStringList out = lines(again.out);
    EXPECT_TRUE(out.contains("gvl G: kept")) << again.out.toStdString();
    EXPECT_TRUE(out.contains("  G.a: removed 0"));
    EXPECT_TRUE(out.contains("  G.c: kept 8"));
    EXPECT_TRUE(out.contains("  G.b: moved 4->16"));
    EXPECT_TRUE(out.contains("  G.d: added 24"));
    EXPECT_TRUE(out.contains("  Main.n: kept 0"));

    const ToolRun json = plcproj({"--json", "mem", dir});
    ASSERT_EQ(json.code, 0) << json.err.toStdString();
    const QJsonObject doc = QJsonDocument::fromJson(json.out.toUtf8()).object();
    EXPECT_TRUE(doc["fits"].toBool());
    EXPECT_EQ(doc["movable"].toDouble(), 4194304.0);
    bool sawMoved = false;
    for (const QJsonValue& symbol : doc["symbols"].toArray())
        for (const QJsonValue& m : symbol.toObject()["members"].toArray())
            if (symbol.toObject()["name"] == "G" && m.toObject()["name"] == "b") {
                EXPECT_EQ(m.toObject()["status"].toString(), "moved");
                EXPECT_EQ(m.toObject()["old"].toInt(), 4);
                EXPECT_EQ(m.toObject()["new"].toInt(), 16);
                sawMoved = true;
            }
    EXPECT_TRUE(sawMoved);
}

TEST_F(PlcprojMem, refusesADamagedOrEditedLayoutFile)
{
    ASSERT_EQ(mem({"--write"}).code, 0);
    QFile file(dir + "/project.mem");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray original = file.readAll();
    file.close();

    // Another valid layout in the right framing: its digest gives it away.
    const QByteArray edited = qCompress(QByteArray("PRJ_MEM_GVL_HEAD:G{\n}\n"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(edited);
    file.close();
    for (const QStringList& args : {QStringList{}, QStringList{"--show"}}) {
        const ToolRun run = mem(args);
        EXPECT_EQ(run.code, 1);
        EXPECT_TRUE(run.err.startsWith("error: ")) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("does not match the digest")) << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty());
    }
    // A length of 2 GB in front of the real stream.
    QByteArray huge = original;
    huge[0] = char(0x7F);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(huge);
    file.close();
    const ToolRun claimed = mem();
    EXPECT_EQ(claimed.code, 1);
    EXPECT_TRUE(claimed.err.contains("refused")) << claimed.err.toStdString();
}

TEST_F(PlcprojMem, aProjectThatDoesNotCompileGetsNoLayout)
{
    exec("decl gvl G \"VAR_GLOBAL\\n a : NO_SUCH_TYPE;\\nEND_VAR\"; save");
    const ToolRun run = mem({"--write"});
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(run.err.contains("does not compile"));
    EXPECT_FALSE(QFile::exists(dir + "/project.mem"));
    EXPECT_EQ(plcproj({"mem", dir, "--write", "--show"}).code, 2);
    EXPECT_EQ(mem({"--show"}).code, 1); // nothing stored yet
}

} // namespace
