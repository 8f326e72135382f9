// The sample hardware shipped with the library: every file parses, and the values that the
// device tree, the motion models, the memory image and the soft components read are there and
// agree with each other.
#include "HardwareFolder.h"
#include "ModelTestSupport.h"

#include "datamodel/device/DevDescription.h"
#include "host/DefaultApplication.h"
#include "host/LogService.h"

#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

namespace {

// The pins of a list such as "X0-X7,X10": a range covers every number between its ends,
// numbers written in `base`. Empty when an item does not read.
QStringList pins(const QString& list, int base)
{
    static const QRegularExpression pin(QStringLiteral("^([A-Z]+)(\\d+)$"));
    QStringList out;
    for (const QString& item : list.split(',', Qt::SkipEmptyParts)) {
        const QStringList ends = item.split('-');
        const auto first = pin.match(ends.first());
        const auto last = pin.match(ends.last());
        bool ok1 = false, ok2 = false;
        const int from = first.captured(2).toInt(&ok1, base);
        const int to = last.captured(2).toInt(&ok2, base);
        if (ends.size() > 2 || !ok1 || !ok2 || from > to || first.captured(1) != last.captured(1))
            return {};
        for (int n = from; n <= to; ++n)
            out << first.captured(1) + QString::number(n, base);
    }
    return out;
}

bool isUnsigned(const QVariant& value)
{
    bool ok = false;
    value.toString().toULongLong(&ok);
    return ok;
}

bool hasBothLanguages(const QVariant& texts)
{
    const QVariantMap map = texts.toMap();
    return !map.value("zh_CN").toString().isEmpty() && !map.value("en_US").toString().isEmpty();
}

class HardwareSamples : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testsupport::defaultHost().logs()->clear();
        ASSERT_TRUE(folder.copySamples());
        catalogue = std::make_unique<DevDescription>(QString());
        ASSERT_TRUE(catalogue->reload(folder.path())) << "every sample file parses and the cache is written";
    }

    QVariant at(const QString& path) const { return catalogue->devProperty(path); }

    testsupport::HardwareFolder folder;
    std::unique_ptr<DevDescription> catalogue;
};

TEST_F(HardwareSamples, controllersOfTwoFamilies)
{
    const QStringList controllers = catalogue->describeList("PLCDeviceNode");
    EXPECT_EQ(controllers, QStringList({"NX5_1410MT", "NX5_2416MT", "VX7_1616MT", "VX7_3232MT"}));
    QSet<QString> bases;
    for (const QString& c : controllers) {
        SCOPED_TRACE(c.toStdString());
        const bool vx7 = c.section('_', 0, 0) == "VX7";
        const int base = at(c + ".PinBase").toInt();
        bases << QString::number(base);
        EXPECT_TRUE(hasBothLanguages(at(c + ".DisplayName")));
        EXPECT_GT(at(c + ".Task").toInt(), 0);

        // On-board pins read in the controller's radix; the special pins are among them.
        const QStringList inputs = pins(at(c + ".InputPin").toString(), base);
        const QStringList outputs = pins(at(c + ".OutputPin").toString(), base);
        const QStringList counters = pins(at(c + ".HightSpeedCountInputPin").toString(), base);
        const QStringList pulses = pins(at(c + ".HightSpeedPlusOutputPin").toString(), base);
        const QStringList probes = pins(at(c + ".ProbePin").toString(), base);
        ASSERT_FALSE(inputs.isEmpty());
        ASSERT_FALSE(outputs.isEmpty());
        for (const QStringList* special : {&counters, &probes})
            for (const QString& p : *special)
                EXPECT_TRUE(inputs.contains(p)) << p.toStdString();
        for (const QString& p : pulses)
            EXPECT_TRUE(outputs.contains(p)) << p.toStdString();
        EXPECT_EQ(c.mid(4, 2).toInt(), inputs.size()) << "the model name counts the inputs";

        // Axes: every offered type has its limits, the limits add up to at most the total,
        // pulse and encoder channels have a pair of pins each.
        const QStringList types = at(c + ".Motion.AxisType").toString().split(',');
        EXPECT_EQ(types.contains("Axis_EtherCAT"), vx7);
        int sum = 0;
        for (const QString& t : types) {
            const QString type = c + ".Motion." + t;
            EXPECT_TRUE(isUnsigned(at(type + ".TypeID"))) << t.toStdString();
            EXPECT_TRUE(hasBothLanguages(at(type + ".DisplayName"))) << t.toStdString();
            sum += at(type + ".MaxAxis").toInt();
        }
        EXPECT_LE(sum, at(c + ".Motion.MaxAxis").toInt());
        EXPECT_LE(2 * at(c + ".Motion.Axis_Pulse.MaxAxis").toInt(), pulses.size());
        EXPECT_LE(2 * at(c + ".Motion.Axis_Encoder.MaxAxis").toInt(), counters.size());
        for (const char* key : {"Motion.Axis_Pulse.MaxVelocity", "Motion.Axis_Pulse.TP1Mask", "Motion.Axis_Pulse.TP2Mask",
                                "Motion.Axis_Pulse.CompareOutEnable", "Motion.Axis_Pulse.PresetEnable",
                                "Motion.Axis_Group.TypeID", "Motion.ECAM.TypeID", "Ecam.TableMax"})
            EXPECT_TRUE(isUnsigned(at(c + "." + key))) << key;
        EXPECT_FALSE(at(c + ".Motion.Axis_Virtual.TP1Mask").isValid()) << "virtual axes have no probes";

        // Memory handed to the compiler core.
        for (const char* key : {"input", "output", "memory", "general", "retian", "code", "stack", "movable"})
            EXPECT_GT(at(c + ".IECMem." + key).toString().toULongLong(), 0u) << key;
        for (const char* letter : {"X", "Y", "M", "S", "B", "D", "R", "W"})
            EXPECT_GT(at(c + ".JapanMem.memory." + letter).toInt(), 0) << letter;

        // The network interface a conversion replaces, and the essential local bus.
        const QString lan = c + ".Interfaces." + (vx7 ? "EtherNet0" : "Ethernet");
        EXPECT_EQ(at(lan + ".TypeID").toString(), "LANInterfaceNode");
        EXPECT_EQ(at(lan + ".Protocols.ModbusTcp.TypeID").toString(), "ModbusTcpProtocolNode");
        EXPECT_EQ(at(c + ".LocalBus.Flags").toString(), "Essential");
        EXPECT_GT(at(c + ".LocalBus.MaxChildCount").toInt(), 0);
        EXPECT_GT(at(c + ".LocalBus.MaxPower").toInt(), 0);
        EXPECT_TRUE(at(c + ".ChildTypeID").toString().split(',').contains(at(c + ".LocalBus.TypeID").toString()));
        const QStringList interfaces = at(c + ".Interfaces").toMap().keys();
        EXPECT_TRUE(interfaces.contains("COM1"));
        for (const QString& name : interfaces) {
            const QString typeId = at(c + ".Interfaces." + name + ".TypeID").toString();
            EXPECT_TRUE(at(c + ".ChildTypeID").toString().split(',').contains(typeId)) << name.toStdString();
        }
    }
    EXPECT_EQ(bases, QSet<QString>({"8", "10"}));
}

TEST_F(HardwareSamples, modulesFitTheirBusses)
{
    for (const QString& c : catalogue->describeList("PLCDeviceNode")) {
        SCOPED_TRACE(c.toStdString());
        const QString moduleType = at(c + ".LocalBus.ChildTypeID").toString();
        const QStringList modules = catalogue->describeList(moduleType);
        ASSERT_GE(modules.size(), 2) << moduleType.toStdString();
        for (const QString& m : modules) {
            const QString power = at(m + ".Power").toString();
            bool ok = false;
            const float watts = power.section('W', 0, 0).toFloat(&ok);
            EXPECT_TRUE(ok && power.endsWith('W') && watts > 0) << m.toStdString() << " " << power.toStdString();
            EXPECT_LE(watts, at(c + ".LocalBus.MaxPower").toFloat()) << "one module alone fits the budget";
            EXPECT_TRUE(hasBothLanguages(at(m + ".DisplayName"))) << m.toStdString();
            EXPECT_EQ(m.section('_', 0, 0), c.section('_', 0, 0)) << "modules of the controller's family";
        }
    }
    EXPECT_EQ(catalogue->describeList("NX5BDModuleNode").size(), 2);
    EXPECT_EQ(at("NX5_1410MT.BDSlot.ChildTypeID").toString(), "NX5BDModuleNode");
    EXPECT_EQ(catalogue->describeList("EtherCATSlaveNode"), QStringList({"EC_16EX16EYT", "SD7_EC"}));
    for (const char* letter : {"X", "Y", "M", "S", "B", "D", "R", "W"})
        EXPECT_TRUE(hasBothLanguages(at(QStringLiteral("SoftComponent.") + letter))) << letter;
}

} // namespace
