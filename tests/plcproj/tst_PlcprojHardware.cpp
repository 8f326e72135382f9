// plcproj hw and plcproj diag as a script uses them: real processes on the sample hardware of
// the build tree.
#include "support/QtPrinters.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

struct ToolResult
{
    int exitCode = -1;
    QStringList out; // stdout lines
    QString err;

    QJsonValue json() const
    {
        const QJsonDocument doc = QJsonDocument::fromJson(out.join('\n').toUtf8());
        return doc.isArray() ? QJsonValue(doc.array()) : QJsonValue(doc.object());
    }
};

ToolResult tool(const QStringList& args)
{
    QProcess process;
    process.setProgram(QString::fromUtf8(qgetenv("DATAMODEL_BINARY_DIR")) + "/bin/plcproj");
    process.setArguments(args);
    process.start();
    ToolResult run;
    if (process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit)
        run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

TEST(PlcprojHardware, listAndShowDescriptions)
{
    const ToolResult controllers = tool({"hw", "list", "--type", "PLCDeviceNode"});
    ASSERT_EQ(controllers.exitCode, 0) << controllers.err.toStdString();
    EXPECT_EQ(controllers.out, QStringList({"NX5_1410MT PLCDeviceNode", "NX5_2416MT PLCDeviceNode",
                                            "VX7_1616MT PLCDeviceNode", "VX7_3232MT PLCDeviceNode"}));
    const ToolResult all = tool({"hw", "list"});
    EXPECT_TRUE(all.out.contains("VX7_16EX VX7IOModuleNode"));
    EXPECT_TRUE(all.out.contains(" ModbusTcp")) << "a diagnosis class keeps its leading blank";
    EXPECT_GT(all.out.size(), controllers.out.size());
    const ToolResult none = tool({"hw", "list", "--type", "NoSuchType"});
    EXPECT_EQ(none.exitCode, 0);
    EXPECT_TRUE(none.out.isEmpty());

    const QJsonArray listed = tool({"--json", "hw", "list", "--type", "NX5IOModuleNode"}).json().toArray();
    ASSERT_EQ(listed.size(), 5);
    EXPECT_EQ(listed.first().toObject()["name"].toString(), "NX5_16EYR");
    EXPECT_EQ(listed.first().toObject()["typeId"].toString(), "NX5IOModuleNode");

    EXPECT_EQ(tool({"hw", "show", "VX7_1616MT.Motion.Axis_Pulse.MaxVelocity"}).out, QStringList({"200000"}));
    EXPECT_EQ(tool({"hw", "show", "NX5_1410MT.PinBase"}).out, QStringList({"8"}));
    const ToolResult map = tool({"hw", "show", "VX7_1616MT.LocalBus"});
    EXPECT_TRUE(map.out.contains("MaxPower: 24"));
    EXPECT_TRUE(map.out.contains("DisplayName:"));
    EXPECT_TRUE(map.out.contains(QString::fromUtf8(u8"  zh_CN: 本地扩展总线")));
    const QJsonObject shown = tool({"hw", "show", "NX5_2416MT.Motion", "--json"}).json().toObject();
    EXPECT_EQ(shown["path"].toString(), "NX5_2416MT.Motion");
    EXPECT_EQ(shown["value"].toObject()["AxisType"].toString(), "Axis_Pulse,Axis_Encoder,Axis_Virtual");
    EXPECT_EQ(shown["value"].toObject()["Axis_Pulse"].toObject()["MaxAxis"].toString(), "4");

    const ToolResult missing = tool({"hw", "show", "VX7_1616MT.Motion.Axis_CAN"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err, "error: no description at VX7_1616MT.Motion.Axis_CAN\n");
    for (const QStringList& usage : {QStringList{"hw"}, QStringList{"hw", "frob"}, QStringList{"hw", "show"},
                                     QStringList{"hw", "list", "extra"}, QStringList{"hw", "show", "A", "--type", "B"}}) {
        const ToolResult run = tool(usage);
        EXPECT_EQ(run.exitCode, 2) << usage.join(' ').toStdString();
        EXPECT_TRUE(run.err.startsWith("error: ")) << run.err.toStdString();
    }
}

TEST(PlcprojHardware, diagnosisTextsByClassIdOrName)
{
    const ToolResult english = tool({"diag", "3", "6"});
    ASSERT_EQ(english.exitCode, 0) << english.err.toStdString();
    EXPECT_EQ(english.out, QStringList({"class: Axis (3)", "code: 6", "severity: Error",
                                        "message: Following error too large",
                                        "detail: The difference between command and actual position exceeds the "
                                        "maximum following error.",
                                        "tips: Check the load for jams, tune the gains or raise the following error limit."}));
    const ToolResult chinese = tool({"diag", "Axis", "6", "--lang", "zh_CN"});
    EXPECT_EQ(chinese.exitCode, 0);
    EXPECT_TRUE(chinese.out.contains(QString::fromUtf8(u8"message: 跟随误差过大")));
    EXPECT_TRUE(tool({"diag", "CPU", "3"}).out.contains("severity: Warning"));
    EXPECT_TRUE(tool({"diag", "CPU", "9"}).out.contains("severity: Info"));

    const QJsonObject json = tool({"--json", "diag", "ModbusTcp", "200"}).json().toObject();
    EXPECT_EQ(json["classId"].toInt(), 5);
    EXPECT_EQ(json["message"].toString(), "Connection refused");
    EXPECT_EQ(json["severity"].toString(), "Error");
    EXPECT_TRUE(json["listed"].toBool());

    const ToolResult unknown = tool({"diag", "3", "77"});
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_TRUE(unknown.out.contains("message: Unkown Erroe Code:77 Of Device Class:Axis"));
    EXPECT_EQ(unknown.err, "error: code 77 is not listed for device class Axis (3)\n");
    const ToolResult noClass = tool({"diag", "Servo", "1"});
    EXPECT_EQ(noClass.exitCode, 1);
    EXPECT_TRUE(noClass.err.startsWith("error: unknown device class 'Servo' (known: CPU (1), Localbus (2), Axis (3)"));
    EXPECT_EQ(tool({"diag", "99", "1"}).exitCode, 1);
    for (const QStringList& usage : {QStringList{"diag", "3"}, QStringList{"diag", "3", "x"},
                                     QStringList{"diag", "3", "70000"}, QStringList{"diag", "3", "6", "--lang", "fr_FR"}})
        EXPECT_EQ(tool(usage).exitCode, 2) << usage.join(' ').toStdString();
}

} // namespace
