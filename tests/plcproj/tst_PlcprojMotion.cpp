// plcproj and the motion objects: exec commands with undo, the hidden variable lists the
// compiler core checks, the controller's axis limit, the cam CSV exchange and cam-cfg.
#include "ToolRun.h"

#include "support/TempDir.h"

#include <QFile>
#include <QtEndian>

#include <cstring>

#include <gtest/gtest.h>

namespace {

// Writes `value` little-endian at `offset`, through a local buffer: GCC takes a pointer into a
// fresh QByteArray for one into Qt's shared empty data and warns of an overflow.
template <typename T>
void putLE(QByteArray& bytes, int offset, T value)
{
    char buffer[sizeof(T)];
    qToLittleEndian<T>(value, buffer);
    bytes.replace(offset, int(sizeof(T)), buffer, int(sizeof(T)));
}

class PlcprojMotion : public ::testing::Test
{
protected:
    QString create(const QString& device)
    {
        const QString dir = temp.path() + "/" + device;
        const ToolRun run = plcproj({"create", dir, "--name", "Line", "--device", device});
        EXPECT_EQ(run.code, 0) << run.err.toStdString();
        return dir;
    }
    ToolRun exec(const QString& project, const QString& script)
    {
        return plcproj({"exec", project, "-c", script});
    }
    // The variable lines of a hidden list as the project stores it.
    QStringList declared(const QString& project, const QString& list)
    {
        const ToolRun run = exec(project, "show gvl " + list);
        EXPECT_EQ(run.code, 0) << run.err.toStdString();
        QStringList out;
        for (const QString& line : lines(run.out))
            if (line.contains(" : "))
                out << line.trimmed();
        return out;
    }
    testsupport::TempDir temp;
};

TEST_F(PlcprojMotion, hiddenListsDeclareExactlyTheMotionObjects)
{
    const QString project = create("VX7_1616MT");
    ToolRun run = exec(project, "add axis X1; add axis X2; add axis X3; add group G; add cam C; "
                                "cam C point add 0 0 0 0 0 1; save");
    ASSERT_EQ(run.code, 0) << run.err.toStdString();
    run = plcproj({"check", project});
    EXPECT_EQ(run.code, 0) << run.out.toStdString() << run.err.toStdString();
    EXPECT_TRUE(run.out.trimmed().isEmpty()) << run.out.toStdString();
    EXPECT_EQ(declared(project, "HiddenAxisVar"), QStringList({"X1 : AXIS_REF;", "X2 : AXIS_REF;", "X3 : AXIS_REF;"}));
    EXPECT_EQ(declared(project, "HiddenAxisGroupVar"), QStringList({"G : AXES_GROUP_REF;"}));
    EXPECT_EQ(declared(project, "EcamVars"), QStringList({"C : CAM_TABLE_REF;"}));

    // A program that uses the variables checks clean; after a rename and a removal only the
    // remaining names are known.
    run = exec(project, "rename axis X2 Y2; rm axis X3; rm cam C; undo; add pou UseAxes; "
                        "decl pou UseAxes \"PROGRAM UseAxes\\nVAR\\n  p : MC_Power;\\nEND_VAR\\n\"; "
                        "logic UseAxes \"p(Axis := Y2);\\np(Axis := X1);\"; save");
    ASSERT_EQ(run.code, 0) << run.err.toStdString();
    run = plcproj({"check", project});
    EXPECT_EQ(run.code, 0) << run.out.toStdString();
    EXPECT_EQ(declared(project, "HiddenAxisVar"), QStringList({"X1 : AXIS_REF;", "Y2 : AXIS_REF;"}));
    EXPECT_EQ(declared(project, "EcamVars"), QStringList({"C : CAM_TABLE_REF;"}));
    run = exec(project, "logic UseAxes \"p(Axis := X3);\"; check");
    EXPECT_EQ(run.code, 1) << "a removed axis is no longer declared: " << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("X3")) << run.out.toStdString();
}

TEST_F(PlcprojMotion, theControllerLimitsTheAxes)
{
    const QString project = create("NX5_1410MT");
    QStringList script;
    for (int i = 0; i < 8; ++i)
        script << QStringLiteral("add axis A%1").arg(i);
    ToolRun run = exec(project, script.join("; ") + "; add axis A8");
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(run.err.contains("the controller allows 8 axes")) << run.err.toStdString();
    run = exec(project, script.join("; ") + "; list axis; show axis A7");
    ASSERT_EQ(run.code, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("AxisType = Axis_Virtual"));
    EXPECT_TRUE(run.out.contains("AxisNo = 7"));
    EXPECT_TRUE(run.out.contains("compare InputDevice") == false) << "virtual axes compare no input device";
    EXPECT_TRUE(run.out.contains("compare MaxVel = 10"));
}

TEST_F(PlcprojMotion, editsAreUndoneAndCamPointsExchangedAsCsv)
{
    const QString project = create("VX7_1616MT");
    const QString csv = temp.path() + "/points.csv";
    ToolRun run = exec(project, "add cam C; cam C point add 0 0 0 0 0 1; cam C point add 1 90 45.5 10 100 2; "
                                "cam C point set 1 91 46 11 101 3; undo; cam C point rm 0; "
                                "cam C export " + csv + "; set cam C Note \"it's %1\"; add trace T; "
                                "trace T var add Main.x --color 3 --draw; rename trace T U; undo; show cam C; show trace T");
    ASSERT_EQ(run.code, 1) << "the first point cannot be removed";
    EXPECT_TRUE(run.err.contains("point rm 0 refused")) << run.err.toStdString();
    run = exec(project, "add cam C; cam C point add 0 0 0 0 0 1; cam C point add 1 90 45.5 10 100 2; "
                        "cam C point set 1 91 46 11 101 3; undo; cam C export " + csv + "; "
                        "set cam C Note \"it's %1\"; add trace T; trace T var add Main.x --color 3 --draw; "
                        "rename trace T U; undo; show cam C; show trace T; save");
    ASSERT_EQ(run.code, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("Fennick: Export was successful!"));
    EXPECT_TRUE(run.out.contains("point 1: id 1 main 90 slave 45.5 velocity 10 acceleration 100 curve 2"))
        << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("Note = it's %1"));
    EXPECT_TRUE(run.out.contains("var Main.x color 3 drawn"));
    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("Version,1\nCount,2\nMain Axis,Slave Axis,Cam Curve,Velocity,Acceleration\n"
                                         "0,0,1,0,0\n90,45.5,2,10,100\n"));
    file.close();

    QFile edited(temp.path() + "/edited.csv");
    ASSERT_TRUE(edited.open(QIODevice::WriteOnly));
    edited.write("Version,1\r\nCount,3\r\nh\r\n1,2,3,4,5\r\n6,7,8,9,10\r\n11,12,13,14,15");
    edited.close();
    run = exec(project, "cam C import " + edited.fileName() + "; show cam C; undo; show cam C");
    ASSERT_EQ(run.code, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("Fennick: Import was successful!"));
    EXPECT_TRUE(run.out.contains("point 2: id 2 main 11 slave 12 velocity 14 acceleration 15 curve 13"))
        << run.out.toStdString();
    EXPECT_EQ(run.out.count("point 2:"), 1) << "undo brings the two points back";

    run = exec(project, "cam C import " + temp.path() + "/missing.csv");
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(run.err.contains("Fail to open the file!")) << run.err.toStdString();
}

TEST_F(PlcprojMotion, camCfgListsTablesAndRefusesBrokenFiles)
{
    QByteArray file(46, 'h');
    putLE<qint32>(file, 42, 1);
    QByteArray record(14554, '\0');
    std::memcpy(record.data() + 4, "Sealing", 7);
    putLE<qint32>(record, 140, 1);
    const double values[] = {90, 45.5, 10, 100};
    for (int v = 0; v < 4; ++v) {
        quint64 bits;
        std::memcpy(&bits, &values[v], 8);
        putLE<quint64>(record, 154 + 8 * v, bits);
    }
    putLE<quint16>(record, 154 + 32, 2);
    file += record;
    const QString path = temp.path() + "/cams.cfg";
    QFile out(path);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(file);
    out.close();
    ToolRun run = plcproj({"cam-cfg", path});
    ASSERT_EQ(run.code, 0) << run.err.toStdString();
    EXPECT_EQ(lines(run.out), QStringList({"table Sealing: 1 points",
                                           "  0: main 90 slave 45.5 velocity 10 acceleration 100 curve 2"}));
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(file.left(file.size() - 100));
    out.close();
    run = plcproj({"cam-cfg", path});
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(run.err.contains("The file content is not in the right format!")) << run.err.toStdString();
}

} // namespace
