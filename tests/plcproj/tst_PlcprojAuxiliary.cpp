// plcproj exec: soft component comments, watch lists, the HMI list and the background save of
// the display order, run as real processes.
#include "ToolRun.h"
#include "support/QtPrinters.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace {

class PlcprojAuxiliary : public ::testing::Test
{
protected:
    void SetUp() override
    {
        project = temp.filePath("Aux");
        const ToolRun run = plcproj({"create", project, "--name", "Aux"});
        ASSERT_EQ(run.code, 0) << run.err.toStdString();
    }
    ToolRun exec(const QString& script) { return plcproj({"exec", project, "-c", script}); }

    testsupport::TempDir temp;
    QString project;
};

TEST_F(PlcprojAuxiliary, CommentsSnapshotsAndTypes)
{
    ToolRun run = exec("comment D100 \"it's the speed\"; comment D100.3 \"bit 3\"; comment X17 \"start\"; "
                       "snap M 5 42; ctype D 100 LREAL; save");
    ASSERT_EQ(run.code, 0) << run.err.toStdString();
    run = exec("list comments");
    EXPECT_EQ(lines(run.out), QStringList({"D100 [LREAL]: it's the speed", "D100.3: bit 3", "M5 = 42", "X17: start"}));
    EXPECT_EQ(lines(exec("list comments x").out), QStringList{"X17: start"});

    run = exec("ctype D 102 INT");
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(run.err.contains("D102 is occupied by the LREAL value that starts at D100")) << run.err.toStdString();
    run = exec("ctype D 98 LREAL");
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(run.err.contains("needs D99 to D101 free")) << run.err.toStdString();
    run = exec("ctype D 7999 DINT");
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(exec("ctype D 100 REAL; ctype M 1 REAL").code, 1) << "only D keeps a type";
    EXPECT_EQ(exec("comment X18 no").code, 1) << "X is octal";
    EXPECT_EQ(exec("comment M5.1 no").code, 1) << "bit comments belong to D";
    EXPECT_EQ(exec("snap X 8 no").code, 1);
}

TEST_F(PlcprojAuxiliary, WatchListsWithUndo)
{
    ToolRun run = exec("watch add Axes; watch add Pumps; watch Axes add Main.x; watch Axes add GVL.y; "
                       "watch Axes rm 0; watch rename Pumps Valves; watch rm Valves; undo; undo; save");
    ASSERT_EQ(run.code, 0) << run.err.toStdString();
    EXPECT_EQ(lines(exec("list watch").out), QStringList({"Axes (1 variables)", "Pumps (0 variables)"}));
    EXPECT_EQ(lines(exec("list watch Axes").out), QStringList{"0 GVL.y"});
    run = exec("watch add axes");
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(run.err.contains("WatchList axes Already Exist!")) << run.err.toStdString();
    EXPECT_EQ(exec("watch Axes rm Nope").code, 1);
    EXPECT_EQ(exec("watch rename Axes pumps").code, 1);
}

TEST_F(PlcprojAuxiliary, HmiListAndDisplayOrder)
{
    ToolRun run = exec("hmi set 0 Main.a; hmi set 9 Main.b; hmi set 5 GVL.c; hmi rm 0; save; list hmi");
    ASSERT_EQ(run.code, 0) << run.err.toStdString();
    EXPECT_EQ(lines(run.out).mid(4), QStringList({"saved " + project + "/Aux.nvp", "0 Main.b", "1 GVL.c"}));
    run = exec("hmi set 0 main.B");
    EXPECT_EQ(run.code, 0) << "index 0 may take its own name in other case";
    run = exec("hmi set 1 MAIN.b");
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(run.err.contains("in the HMI list already"));

    run = exec("add pou Alpha; add pou Beta; save; decl pou Beta \"PROGRAM Beta VAR x : INT; END_VAR\"; "
               "rows Alpha=2 Beta=1 DevicePOU=-1");
    ASSERT_EQ(run.code, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("Alpha row 2: stored"));
    EXPECT_TRUE(run.out.contains("DevicePOU row -1: skipped"));
    // Only the rows reached the file: Beta's unsaved declaration did not.
    run = exec("show pou Beta");
    EXPECT_TRUE(run.out.contains(R"("Row":"1")")) << run.out.toStdString();
    EXPECT_FALSE(run.out.contains("x : INT"));
    EXPECT_EQ(exec("rows Nope=1").code, 1);
    EXPECT_EQ(exec("rows Alpha").code, 1);
}

} // namespace
