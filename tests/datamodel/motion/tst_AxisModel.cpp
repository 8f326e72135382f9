// Axes: their parameters, numbering and limits from both controller families, the maps the
// hardware description gives them, their hidden variables, migration of older files, and
// what reaches the file when.
#include "MotionTestSupport.h"

#include "../device/HardwareFolder.h"
#include "datamodel/device/DevDescription.h"

#include <QFile>

#include <QSignalSpy>

#include <set>

using testsupport::MotionTest;

namespace {

class AxisModelTest : public MotionTest
{
protected:
    AxisModel::AxisTable* add(const QString& axisName)
    {
        AxisModel::AxisTable* axis = axes()->addAxisTable(axisName);
        EXPECT_TRUE(axis) << axisName.toStdString() << ": " << axes()->lastError().toStdString();
        return axis;
    }
    QString type(const QString& axisName) const
    {
        return axes()->axisTable(axisName)->property("AxisType");
    }
};

TEST_F(AxisModelTest, newAxesFillTheTypesInOrderUpToTheControllersLimit)
{
    open("NX5_1410MT"); // 2 pulse, 2 encoder, 4 virtual; 8 in all
    std::vector<QString> types;
    for (int i = 0; i < 8; ++i)
        types.push_back(add(QStringLiteral("Axis%1").arg(i))->property("AxisType"));
    EXPECT_EQ(types, (std::vector<QString>{"Axis_Pulse", "Axis_Pulse", "Axis_Encoder", "Axis_Encoder", "Axis_Virtual",
                                           "Axis_Virtual", "Axis_Virtual", "Axis_Virtual"}));
    EXPECT_EQ(axes()->addAxisTable("Axis8"), nullptr);
    EXPECT_EQ(axes()->lastError(), QStringLiteral("the controller allows 8 axes"));
    EXPECT_EQ(coreCount("HiddenAxisVar"), 8) << "a refused axis declares nothing";

    // A freed pulse channel is offered again before any other type.
    ASSERT_TRUE(axes()->removeAxisTable(axes()->axisTable("Axis1")));
    EXPECT_EQ(add("Again")->property("AxisType"), QStringLiteral("Axis_Pulse"));
}

TEST_F(AxisModelTest, withNoCapacityLeftForAnyTypeAnAxisStaysVirtual)
{
    // A controller that allows more axes in all than its types together.
    testsupport::HardwareFolder folder;
    ASSERT_TRUE(folder.copySamples());
    QFile file(folder.hardware("DeviceDescribe/VX7_1616MT.djson"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray text = file.readAll();
    file.close();
    ASSERT_TRUE(text.contains("MaxAxis : 32,"));
    ASSERT_TRUE(folder.write("DeviceDescribe/VX7_1616MT.djson", text.replace("MaxAxis : 32,", "MaxAxis : 34,")));
    host::DefaultApplication& host = testsupport::defaultHost();
    struct Restore
    {
        host::DefaultApplication& host;
        QString dir;
        ~Restore()
        {
            host.setApplicationDir(dir);
            DevDescription::instance()->reload(dir);
        }
    } restore{host, host.applicationDir()};
    host.setApplicationDir(folder.path());
    DevDescription::instance()->reload(folder.path());

    open("VX7_1616MT"); // 4 pulse, 4 encoder, 16 EtherCAT, 8 virtual
    std::map<QString, int> counts;
    for (int i = 0; i < 32; ++i)
        ++counts[add(QStringLiteral("A%1").arg(i))->property("AxisType")];
    EXPECT_EQ(counts, (std::map<QString, int>{{"Axis_Pulse", 4}, {"Axis_Encoder", 4}, {"Axis_EtherCAT", 16},
                                               {"Axis_Virtual", 8}}));
    EXPECT_EQ(add("Extra")->property("AxisType"), QStringLiteral("Axis_Virtual"));
    EXPECT_EQ(axes()->axisTable("Extra")->property("AxisNo"), QStringLiteral("32"));
    EXPECT_TRUE(add("Last"));
    EXPECT_EQ(axes()->addAxisTable("TooMany"), nullptr);
    EXPECT_EQ(axes()->lastError(), QStringLiteral("the controller allows 34 axes"));
}

TEST_F(AxisModelTest, numbersAreTheSmallestFreeAndDeviceIdsGoBack)
{
    open("VX7_1616MT");
    AxisModel::AxisTable* first = add("First");
    EXPECT_EQ(first->property("AxisNo"), QStringLiteral("0"));
    add("Second");
    AxisModel::AxisTable* third = add("Third");
    EXPECT_EQ(third->property("AxisNo"), QStringLiteral("2"));
    const QString secondDeviceId = axes()->axisTable("Second")->property("AxisID");
    ASSERT_TRUE(axes()->removeAxisTable(axes()->axisTable("Second")));
    // Axes numbered 0 and 2: the next gets 1, and the device id the removed axis held.
    AxisModel::AxisTable* next = add("Next");
    EXPECT_EQ(next->property("AxisNo"), QStringLiteral("1"));
    EXPECT_EQ(next->property("AxisID"), secondDeviceId);
    std::set<QString> ids;
    std::vector<AxisModel::AxisTable*> all;
    axes()->allAxisTables(all);
    for (AxisModel::AxisTable* axis : all) {
        EXPECT_NE(axis->property("AxisID").toUInt(), 0u);
        ids.insert(axis->property("AxisID"));
    }
    EXPECT_EQ(ids.size(), all.size()) << "device ids are unique";
}

TEST_F(AxisModelTest, aNewAxisHasEveryDefaultAndNamesMustBeFreeIdentifiers)
{
    open("VX7_1616MT");
    AxisModel::AxisTable* axis = add("Spindle");
    const auto properties = axis->propertys();
    ASSERT_EQ(properties.size(), AxisModel::defaultParameters().size());
    EXPECT_EQ(properties.size(), 63u);
    for (const auto& [key, value] : AxisModel::defaultParameters())
        if (key != "AxisID" && key != "AxisNo" && key != "AxisType") {
            EXPECT_EQ(axis->property(key), value) << key.toStdString();
        }
    EXPECT_EQ(axis->property("NegsLimitEnable"), QStringLiteral("FALSE"));
    EXPECT_EQ(axis->property("PosLimitPin"), QStringLiteral("%IX100.0"));
    EXPECT_EQ(coreType("HiddenAxisVar", "Spindle"), "AXIS_REF");

    for (const QString& bad : {QStringLiteral("spindle"), QStringLiteral("Axis'1"), QStringLiteral("1st"), QString()}) {
        EXPECT_EQ(axes()->addAxisTable(bad), nullptr) << bad.toStdString();
        EXPECT_FALSE(axes()->lastError().isEmpty());
    }
    std::vector<AxisModel::AxisTable*> all;
    axes()->allAxisTables(all);
    EXPECT_EQ(all.size(), 1u);
    EXPECT_EQ(coreCount("HiddenAxisVar"), 1);
}

TEST_F(AxisModelTest, japaneseStyleProjectsNameTheLimitPinsAsSoftComponents)
{
    open("VX7_1616MT", "JPStyle");
    AxisModel::AxisTable* axis = add("A");
    EXPECT_EQ(axis->property("PosLimitPin"), QStringLiteral("X1000"));
    EXPECT_EQ(axis->property("NegLimitPin"), QStringLiteral("X1001"));
    EXPECT_EQ(axis->property("OrgSignalPin"), QStringLiteral("X0"));
}

TEST_F(AxisModelTest, compareDataFollowsTheAxisType)
{
    open("VX7_1616MT");
    AxisModel::AxisTable* axis = add("A");
    const std::pair<const char*, int> sizes[] = {
        {"Axis_Encoder", 44}, {"Axis_Virtual", 43}, {"Axis_Pulse", 57}, {"Axis_EtherCAT", 0}, {"Other", 0}};
    for (const auto& [type, size] : sizes) {
        axis->setProperty("AxisType", type);
        const QMap<QString, QString> data = axis->getCompareData();
        EXPECT_EQ(data.size(), size) << type;
        if (size) {
            EXPECT_EQ(data.value("AxisType"), QLatin1String(type));
        }
    }
    EXPECT_TRUE(AxisModel::compareKeys("Axis_Encoder").contains("InputDevice"));
    EXPECT_FALSE(AxisModel::compareKeys("Axis_Virtual").contains("InputDevice"));
    QStringList pulse = AxisModel::compareKeys("Axis_Pulse");
    QStringList sorted = pulse;
    sorted.sort();
    EXPECT_EQ(pulse, sorted);
    EXPECT_TRUE(pulse.contains("NegsLimitEnable") && pulse.contains("OutputDevice") && !pulse.contains("InputDevice"));
}

TEST_F(AxisModelTest, octalPinsAndTheMapsOfTheDescription)
{
    open("NX5_2416MT"); // PinBase 8, inputs X0-X27
    axes()->updateDeviceAxisInfo();
    EXPECT_EQ(axes()->pinBase(), 8);
    QString role = "InputPoint";
    const QStringList inputs = axes()->getAxisBaseSettingList(role);
    ASSERT_EQ(inputs.size(), 24);
    EXPECT_EQ(inputs.mid(6, 3), QStringList({"X6", "X7", "X10"}));
    EXPECT_FALSE(inputs.contains("X8") || inputs.contains("X18"));
    EXPECT_EQ(axes()->getInputPointMap().value(8), QStringLiteral("X10"));
    EXPECT_EQ(axes()->getSignalSourceMap().value("X10"), 0xE0000008u);
    EXPECT_EQ(axes()->getSignalSourceMap().value("Y17"), 0xE000000Fu);
    role = "ProbelInputPoint";
    EXPECT_EQ(axes()->getAxisBaseSettingList(role), QStringList({"X10", "X11", "X12", "X13"}));

    EXPECT_EQ(axes()->getAxisTypeIDMap().value("Axis_Encoder"), 2);
    EXPECT_EQ(axes()->getMaxAxisNumber().value("MaxAxis"), 12);
    EXPECT_EQ(axes()->getMaxAxisNumber().value("Axis_Pulse"), 4);
    EXPECT_EQ(axes()->getProbeEnableMap().value("Axis_Pulse.TP1Mask"), 15u);
    EXPECT_TRUE(axes()->getProbeEnableMap().contains("Axis_Pulse.TP2Mask"));
    EXPECT_FALSE(axes()->getCompareOutEnable().contains("Axis_Virtual.CompareOutEnable"));
    role = "AxisType";
    EXPECT_EQ(axes()->getAxisBaseSettingList(role), QStringList({"Axis_Pulse", "Axis_Encoder", "Axis_Virtual"}));
    role = "AxisEncoderInputDev";
    EXPECT_EQ(axes()->getAxisBaseSettingList(role),
              QStringList({"undistributed", "high speed counter 1", "high speed counter 2", "high speed counter 3",
                           "high speed counter 4"}));
    role = "AxisPulseOutputPins";
    EXPECT_EQ(axes()->getAxisBaseSettingList(role).value(3), QStringLiteral("Y6-Pulse Y7-Direction"));

    const QMap<QString, quint8> homes = axes()->getHomeModelMap();
    EXPECT_EQ(homes.size(), 15);
    EXPECT_EQ(homes.value("home mode 35"), 35);
    EXPECT_FALSE(homes.contains("home mode 31") || homes.contains("home mode 34") || homes.contains("home mode 16"));
    EXPECT_EQ(axes()->getEncoderOutModeMap().value("Monophasic count"), 128);
    EXPECT_EQ(axes()->getEncoderInputSignalMap().value("Internal 1us"), 129);
    EXPECT_EQ(axes()->getPulseOutModeMap().value("CW/CCW"), 3);
    EXPECT_EQ(axes()->getAxisStateMap().value(AxisModel::SynchronizedMotion), QStringLiteral("SynchronizedMotion"));

    // The previous lists stay available after the next update.
    role = "InputPoint";
    axes()->updateDeviceAxisInfo();
    EXPECT_EQ(axes()->getPreAxisBaseSettingList(role), inputs);
}

TEST_F(AxisModelTest, decimalPinsOfTheOtherFamily)
{
    open("VX7_1616MT");
    axes()->updateDeviceAxisInfo();
    EXPECT_EQ(axes()->pinBase(), 10);
    EXPECT_EQ(axes()->getInputPointMap().value(10), QStringLiteral("X10"));
    EXPECT_EQ(axes()->getInputPointMap().size(), 16);
    EXPECT_EQ(axes()->getMaxAxisNumber().value("MaxAxis"), 32);
}

TEST_F(AxisModelTest, olderAxesAreMigratedOnLoad)
{
    open("VX7_1616MT");
    const std::string file = databaseFile(name);
    ASSERT_TRUE(project->save());
    {
        QSqlDatabase db = project->db();
        QSqlQuery insert(db);
        insert.prepare("INSERT INTO AxisTable (Id, Name, Properties) VALUES (?, ?, ?)");
        insert.addBindValue(7);
        insert.addBindValue("Old");
        insert.addBindValue(R"({"Version":"2","Preset":"X17","Probe1":"IN5","Probe2":"9","MaxVel":"12"})");
        ASSERT_TRUE(insert.exec());
        insert.addBindValue(8);
        insert.addBindValue("Dotted");
        insert.addBindValue(R"({"Version":"3.1","Preset":"x17"})");
        ASSERT_TRUE(insert.exec());
        insert.addBindValue(9);
        insert.addBindValue("Current");
        insert.addBindValue(R"({"Version":"3","Preset":"X17"})");
        ASSERT_TRUE(insert.exec());
    }
    ASSERT_TRUE(axes()->open());
    AxisModel::AxisTable* old = axes()->axisTable(7);
    ASSERT_TRUE(old);
    EXPECT_EQ(old->property("Version"), QStringLiteral("3"));
    EXPECT_EQ(old->property("Preset"), QStringLiteral("15"));
    EXPECT_EQ(old->property("Probe1"), QStringLiteral("5"));
    EXPECT_EQ(old->property("Probe2"), QStringLiteral("9"));
    EXPECT_EQ(old->property("MaxVel"), QStringLiteral("12"));
    EXPECT_FALSE(old->isModified());
    EXPECT_EQ(axes()->axisTable(8)->property("Version"), QStringLiteral("3"));
    EXPECT_EQ(axes()->axisTable(8)->property("Preset"), QStringLiteral("x17")) << "only an upper-case X is octal";
    EXPECT_EQ(axes()->axisTable(9)->property("Preset"), QStringLiteral("X17")) << "current axes stay as they are";
    EXPECT_EQ(axes()->storedVersion(), 3);
}

TEST_F(AxisModelTest, everyFieldSurvivesSaveAndReopen)
{
    open("VX7_1616MT");
    AxisModel::AxisTable* axis = add("Spindle");
    axis->setProperty("Comment", testsupport::QuoteText);
    axis->setProperty("Format", testsupport::PercentText);
    axis->setProperty(testsupport::ChineseText, testsupport::ChineseText);
    axis->setViewInfo("Geometry", "1,2");
    const auto before = axis->propertys();
    const unsigned int id = axis->id();
    reopen();
    AxisModel::AxisTable* back = axes()->axisTable(id);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->name(), "Spindle");
    EXPECT_EQ(back->propertys(), before);
    EXPECT_TRUE(back->viewinfos().empty()) << "view infos are not stored";
    EXPECT_FALSE(back->isModified());
    // The next axis still gets a fresh object id, number and device id, and the core learns
    // the stored variables with it.
    AxisModel::AxisTable* next = add("Feed");
    EXPECT_EQ(coreType("HiddenAxisVar", "Spindle"), "AXIS_REF");
    EXPECT_EQ(coreCount("HiddenAxisVar"), 2);
    EXPECT_NE(next->id(), id);
    EXPECT_EQ(next->property("AxisNo"), QStringLiteral("1"));
    EXPECT_NE(next->property("AxisID"), back->property("AxisID"));
}

TEST_F(AxisModelTest, removalsReachTheFileWithTheSave)
{
    open("VX7_1616MT");
    add("A");
    add("B");
    ASSERT_TRUE(project->save());
    ASSERT_EQ(fileRows("SELECT Name FROM AxisTable ORDER BY Id"), QStringList({"A", "B"}));
    ASSERT_TRUE(axes()->removeAxisTable(axes()->axisTable("A")));
    EXPECT_EQ(fileRows("SELECT Name FROM AxisTable ORDER BY Id"), QStringList({"A", "B"}))
        << "nothing is written before the save";
    ASSERT_TRUE(project->save());
    EXPECT_EQ(fileRows("SELECT Name FROM AxisTable ORDER BY Id"), QStringList({"B"}));
    const QStringList hidden = fileRows("SELECT LogicContext FROM GlobalVar WHERE Name = 'HiddenAxisVar'");
    ASSERT_EQ(hidden.size(), 1);
    EXPECT_TRUE(hidden.first().contains("B : AXIS_REF"));
    EXPECT_FALSE(hidden.first().contains("A : AXIS_REF"));
    // Saving with no axes deletes every row.
    ASSERT_TRUE(axes()->removeAxisTable(axes()->axisTable("B")));
    ASSERT_TRUE(project->save());
    EXPECT_TRUE(fileRows("SELECT Name FROM AxisTable").isEmpty());
}

TEST_F(AxisModelTest, signalsAndTheRecompilationMark)
{
    open("VX7_1616MT");
    AxisModel::AxisTable* axis = add("A");
    ASSERT_TRUE(project->save());
    project->subModel<PrjInfoModel>()->projectInfo()->setProperty("Compile", "true");
    QSignalSpy changed(axis, &ModelObject::dataChanged);
    axis->setProperty("MaxVel", "20");
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(1).toString(), QStringLiteral("AxisView"));
    EXPECT_EQ(changed.at(0).at(2).toString(), QStringLiteral("MaxVel"));
    EXPECT_EQ(compileFlag(), "false");
    EXPECT_TRUE(axis->isModified());

    // An axis with its status set leaves the project as it is.
    project->subModel<PrjInfoModel>()->projectInfo()->setProperty("Compile", "true");
    axis->setStatus(true);
    axis->setProperty("MaxVel", "30");
    EXPECT_EQ(compileFlag(), "true");
    axis->setStatus(false);

    QSignalSpy names(axes(), &AxisModel::changeAxisName);
    ASSERT_TRUE(axes()->renameAxisTable(axis->id(), "B"));
    EXPECT_FALSE(axes()->renameAxisTable(axis->id(), "2B")) << "no identifier";
    EXPECT_FALSE(axes()->renameAxisTable(12345, "C"));
    ASSERT_TRUE(axes()->removeAxisTable(axis));
    ASSERT_EQ(names.count(), 2);
    EXPECT_EQ(names.at(0), (QList<QVariant>{"A", "B"}));
    EXPECT_EQ(names.at(1), (QList<QVariant>{"B", QString()}));
    EXPECT_EQ(coreCount("HiddenAxisVar"), 0);
}

TEST_F(AxisModelTest, motionTaskCycleTimeLivesInTheProjectInformation)
{
    open("VX7_1616MT");
    QString time = "2000";
    axes()->setMotionTaskCfgCycleTime(time);
    EXPECT_EQ(axes()->getMotionTaskCfgCycleTime(), time);
    EXPECT_EQ(compileFlag(), "false");
    EXPECT_EQ(axes()->getDeviceName(), QStringLiteral("VX7_1616MT"));
}

} // namespace
