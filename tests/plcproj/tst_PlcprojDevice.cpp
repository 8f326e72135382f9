// plcproj create --device, device tree, device convert and the exec "dev" commands, run as
// real processes on the sample hardware of the build tree.
#include "ToolRun.h"
#include "support/QtPrinters.h"
#include "support/TempDir.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace {

class PlcprojDevice : public ::testing::Test
{
protected:
    // A new user project in its own folder; empty `device` takes the default controller.
    QString create(const QString& name, const QString& device = QString())
    {
        QStringList args{"create", temp.filePath(name), "--name", name};
        if (!device.isEmpty())
            args << "--device" << device;
        const ToolRun run = plcproj(args);
        EXPECT_EQ(run.code, 0) << run.err.toStdString();
        return temp.filePath(name);
    }

    // The tree's lines with the leading blanks that show the depth.
    static QStringList tree(const QString& project)
    {
        const ToolRun run = plcproj({"device", project, "tree"});
        EXPECT_EQ(run.code, 0) << run.err.toStdString();
        return lines(run.out);
    }

    testsupport::TempDir temp;
};

TEST_F(PlcprojDevice, createsTheTreeOfTheChosenOrTheDefaultController)
{
    const QString line = create("Line");
    EXPECT_EQ(tree(line), QStringList({"1 PLCDeviceNode VX7_1616MT NodeIndex=- Enable=1",
                                       "  2 LANInterfaceNode EtherNet0 NodeIndex=0 Enable=1",
                                       "  3 LocalBusProtocolNode LocalBus NodeIndex=1 Enable=1 MaxChildCount=16 MaxPower=24"}));
    const QString compact = create("Compact", "NX5_2416MT");
    const QStringList nx = tree(compact);
    ASSERT_EQ(nx.size(), 4);
    EXPECT_EQ(nx.first(), QStringLiteral("1 PLCDeviceNode NX5_2416MT NodeIndex=- Enable=1"));
    ASSERT_EQ(nx.filter("BDSlotDeviceNode BDSlot").size(), 1) << nx.join('\n').toStdString();
    EXPECT_TRUE(nx.filter("BDSlotDeviceNode BDSlot").first().endsWith("Enable=1 MaxChildCount=1"));

    const ToolRun unknown = plcproj({"create", temp.filePath("Nope"), "--name", "Nope", "--device", "XX9_0000"});
    EXPECT_EQ(unknown.code, 1);
    EXPECT_TRUE(unknown.err.contains("unknown controller 'XX9_0000'")) << unknown.err.toStdString();
    EXPECT_TRUE(unknown.err.contains("NX5_1410MT"));
    EXPECT_FALSE(QDir(temp.filePath("Nope")).exists()) << "nothing is made for a refused controller";

    const ToolRun json = plcproj({"--json", "device", line, "tree"});
    const QJsonObject root = QJsonDocument::fromJson(json.out.toUtf8()).object();
    EXPECT_EQ(root.value("name").toString(), QStringLiteral("VX7_1616MT"));
    EXPECT_EQ(root.value("displayName").toString(), QStringLiteral("VX7-1616MT motion controller"));
    ASSERT_EQ(root.value("children").toArray().size(), 2);
    EXPECT_EQ(root.value("children").toArray().at(1).toObject().value("MaxPower").toString(), QStringLiteral("24"));
}

TEST_F(PlcprojDevice, devCommandsEditUndoAndRefuseWithTheNodesError)
{
    const QString line = create("Edits");
    ToolRun run = plcproj({"exec", line, "-c",
                           "dev add 3 VX7IOModuleNode VX7_16EX; dev add 3 VX7IOModuleNode VX7_16EYT\n"
                           "dev add 1 SerialInterfaceNode COM1; dev set 6 BaudRate 38400\n"
                           "dev swap 4 5; dev enable 3 0; dev rm 6; undo; undo; undo; save"});
    ASSERT_EQ(run.code, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("added VX7IOModuleNode VX7_16EX (id 4) under 3"));
    // Undone: the removal, the disabling and the swap; kept: the additions and the baud rate.
    EXPECT_EQ(tree(line), QStringList({"1 PLCDeviceNode VX7_1616MT NodeIndex=- Enable=1",
                                       "  2 LANInterfaceNode EtherNet0 NodeIndex=0 Enable=1",
                                       "  3 LocalBusProtocolNode LocalBus NodeIndex=1 Enable=1 MaxChildCount=16 MaxPower=24",
                                       "    4 VX7IOModuleNode VX7_16EX NodeIndex=0 Enable=1 Power=1.2W",
                                       "    5 VX7IOModuleNode VX7_16EYT NodeIndex=1 Enable=1 Power=1.6W",
                                       "  6 SerialInterfaceNode COM1 NodeIndex=2 Enable=1"}));

    run = plcproj({"exec", line, "-c", "dev swap 4 5; dev enable 3 0; undo; redo; save"});
    ASSERT_EQ(run.code, 0) << run.err.toStdString();
    const QStringList after = tree(line);
    EXPECT_EQ(after.value(3), QStringLiteral("    5 VX7IOModuleNode VX7_16EYT NodeIndex=0 Enable=0 Power=1.6W"));
    EXPECT_EQ(after.value(4), QStringLiteral("    4 VX7IOModuleNode VX7_16EX NodeIndex=1 Enable=0 Power=1.2W"));

    // A bus of two is full: the third module is refused with the bus's own words.
    run = plcproj({"exec", line, "-c", "dev set 3 MaxChildCount 2\ndev add 3 VX7IOModuleNode VX7_4AD\nsave"});
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(run.err.startsWith("error: command 2: dev add 3")) << run.err.toStdString();
    EXPECT_TRUE(run.err.trimmed().endsWith("Child Count Out Of Limit : 2")) << run.err.toStdString();
    run = plcproj({"exec", line, "-c", "dev add 3 NX5IOModuleNode NX5_8EX"});
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(run.err.contains("Child: NX5IOModuleNode, Parent:LocalBusProtocolNode")) << run.err.toStdString();
    for (const QString& script : {QString("dev rm 1"), QString("dev rm 99"), QString("dev add 1 NoSuchNode X"),
                                  QString("dev swap 4 6"), QString("dev enable 3 2"), QString("dev frob 1")}) {
        run = plcproj({"exec", line, "-c", script});
        EXPECT_EQ(run.code, 1) << script.toStdString();
    }
    EXPECT_EQ(tree(line).size(), 6) << "refused commands change nothing";
}

TEST_F(PlcprojDevice, convertListsWhatChangesAndConvertsOnlyWhenItLosesNothing)
{
    const QString line = create("Convert");
    ToolRun run = plcproj({"exec", line, "-c", "dev add 3 VX7IOModuleNode VX7_16EX; dev set 2 IPAddress 10.9.8.7; save"});
    ASSERT_EQ(run.code, 0) << run.err.toStdString();

    run = plcproj({"device", line, "convert", "NX5_2416MT"});
    EXPECT_EQ(run.code, 0);
    const QStringList printed = lines(run.out);
    EXPECT_TRUE(printed.contains("Hardware: Project conversion will delete the relevant configuration of Hardware"));
    EXPECT_TRUE(printed.contains("IOMap: Project conversion will change the relevant configuration of IO mapping"));
    EXPECT_TRUE(printed.contains("Task: Project conversion will change the relevant configuration of Task"));
    EXPECT_TRUE(printed.contains("Axis: Project conversion will change the relevant configuration of Axis"));
    EXPECT_TRUE(printed.last().startsWith("nothing converted"));
    EXPECT_EQ(tree(line).first(), QStringLiteral("1 PLCDeviceNode VX7_1616MT NodeIndex=- Enable=1"));

    run = plcproj({"device", line, "convert", "NX5_2416MT", "--yes"});
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(run.err.contains("VX7_16EX")) << run.err.toStdString();
    EXPECT_EQ(tree(line).size(), 4) << "the refused conversion left the tree as it was";

    ASSERT_EQ(plcproj({"exec", line, "-c", "dev rm 4; save"}).code, 0);
    run = plcproj({"device", line, "convert", "NX5_2416MT", "--yes"});
    ASSERT_EQ(run.code, 0) << run.err.toStdString();
    EXPECT_TRUE(lines(run.out).contains("converted to NX5_2416MT"));
    const QStringList converted = tree(line);
    EXPECT_EQ(converted.first(), QStringLiteral("1 PLCDeviceNode NX5_2416MT NodeIndex=- Enable=1"));
    EXPECT_EQ(converted.filter("LANInterfaceNode Ethernet ").size(), 1) << converted.join('\n').toStdString();
    EXPECT_EQ(converted.filter("MaxPower=20").size(), 1);
    const ToolRun json = plcproj({"--json", "device", line, "tree"});
    EXPECT_TRUE(json.out.contains("\"name\": \"Ethernet\"")) << json.out.toStdString();

    EXPECT_EQ(plcproj({"device", line, "convert", "XX9_0000", "--yes"}).code, 1);
    EXPECT_EQ(plcproj({"device", line, "explode"}).code, 2);
}

} // namespace
