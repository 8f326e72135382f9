// The nodes of a device tree: what a parent accepts (power budget, child count, child types, in
// that order), positions among siblings, sorting and swapping, removal, and the signals that
// announce each change.
#include "DeviceTreeSupport.h"

#include "datamodel/device/BusProtocolNode.h"
#include "datamodel/device/DevDescription.h"
#include "datamodel/device/DeviceTreeNodeFactory.h"
#include "datamodel/device/LANInterfaceNode.h"
#include "datamodel/device/PhysicalInterfaceNode.h"

#include <QSet>
#include <QSignalSpy>

#include <gtest/gtest.h>

using testsupport::DeviceTreeTest;

namespace {

class DeviceTreeNodeTest : public DeviceTreeTest
{
protected:
    void SetUp() override
    {
        DeviceTreeTest::SetUp();
        project = create("Nodes", "VX7_1616MT");
        model = tree(project.get());
        root = model->getRootNode();
        ASSERT_TRUE(root);
        bus = child(root, "LocalBus");
        ASSERT_TRUE(bus);
    }

    // A detached node of `type` from its factory (owned by the caller until appended).
    DeviceTreeNode* make(const QString& type, const QString& name, const QString& power = QString())
    {
        DeviceTreeNodeFactory* factory = deviceTreeNodeFactorys().value(type);
        EXPECT_TRUE(factory) << type.toStdString();
        DeviceTreeNode* node = factory->create(nextId++, name, model);
        if (!power.isNull())
            node->setNodeProperty("Power", power);
        return node;
    }

    // A child appended or deleted: the test never leaks a refused node.
    bool append(DeviceTreeNode* parent, DeviceTreeNode* node)
    {
        if (parent->appendChild(node))
            return true;
        delete node;
        return false;
    }

    static std::vector<std::pair<QString, QString>> changes(const QSignalSpy& spy)
    {
        std::vector<std::pair<QString, QString>> out;
        for (const QList<QVariant>& call : spy)
            out.emplace_back(call.at(1).toString(), call.at(2).toString());
        return out;
    }

    std::unique_ptr<PlcProjectModel> project;
    DeviceTreeModel* model = nullptr;
    DeviceTreeNode* root = nullptr;
    DeviceTreeNode* bus = nullptr;
    unsigned int nextId = 4000;
};

TEST_F(DeviceTreeNodeTest, childCountLimitRefusesWithThePresentCount)
{
    bus->setNodeProperty("MaxChildCount", "2");
    bus->setNodeProperty("MaxPower", "100");
    ASSERT_TRUE(append(bus, make("VX7IOModuleNode", "A", "1W")));
    ASSERT_TRUE(append(bus, make("VX7IOModuleNode", "B", "1W")));
    QSignalSpy spy(bus, &ModelObject::dataChanged);
    DeviceTreeNode* third = make("VX7IOModuleNode", "C", "1W");
    EXPECT_FALSE(bus->appendChild(third));
    EXPECT_EQ(bus->getLastError(), QStringLiteral("Child Count Out Of Limit : 2"));
    EXPECT_EQ(childNames(bus), QStringList({"A", "B"}));
    EXPECT_EQ(spy.count(), 0) << "a refusal changes nothing";
    EXPECT_EQ(third->getParentNode(), nullptr);
    delete third;
}

TEST_F(DeviceTreeNodeTest, powerBudgetCountsEveryChildAndAllowsTheExactSum)
{
    bus->setNodeProperty("MaxPower", "10");
    ASSERT_TRUE(append(bus, make("VX7IOModuleNode", "A", "4W")));
    ASSERT_TRUE(append(bus, make("VX7IOModuleNode", "B", "5W")));
    EXPECT_FALSE(append(bus, make("VX7IOModuleNode", "C", "2W")));
    EXPECT_EQ(bus->getLastError(), QStringLiteral("Child Power summation Out Of Limit : 10"));
    EXPECT_TRUE(append(bus, make("VX7IOModuleNode", "D", "1W"))) << "4 + 5 + 1 = 10 is within the budget";
    EXPECT_TRUE(append(bus, make("VX7IOModuleNode", "E", ""))) << "no power drawn counts 0";
    EXPECT_FALSE(append(bus, make("VX7IOModuleNode", "F", "0.5W")));

    // The budget is checked before the count: a child too many and too hungry names the budget.
    bus->setNodeProperty("MaxChildCount", "4");
    EXPECT_FALSE(append(bus, make("VX7IOModuleNode", "G", "3W")));
    EXPECT_EQ(bus->getLastError(), QStringLiteral("Child Power summation Out Of Limit : 10"));
    EXPECT_FALSE(append(bus, make("VX7IOModuleNode", "H", "0W")));
    EXPECT_EQ(bus->getLastError(), QStringLiteral("Child Count Out Of Limit : 4"));
    EXPECT_EQ(childNames(bus), QStringList({"A", "B", "D", "E"}));
}

TEST_F(DeviceTreeNodeTest, childTypesComeFromTheControllerAndLoopsAreRefused)
{
    EXPECT_FALSE(append(bus, make("NX5IOModuleNode", "Foreign")));
    EXPECT_EQ(bus->getLastError(), QStringLiteral("Child: NX5IOModuleNode, Parent:LocalBusProtocolNode"));
    EXPECT_FALSE(bus->appendChild(nullptr));
    EXPECT_EQ(bus->getLastError(), QStringLiteral("Child: Null, Parent:LocalBusProtocolNode"));
    EXPECT_FALSE(append(root, make("VX7IOModuleNode", "NotOnTheRoot")));
    EXPECT_EQ(root->getLastError(), QStringLiteral("Child: VX7IOModuleNode, Parent:PLCDeviceNode"));

    // A node cannot become its own descendant, nor be listed twice.
    DeviceTreeNode* port = make("SerialInterfaceNode", "COM1");
    ASSERT_TRUE(append(root, port));
    EXPECT_FALSE(port->appendChild(port));
    EXPECT_FALSE(root->appendChild(port));
    EXPECT_EQ(std::count(root->getChildNodes().begin(), root->getChildNodes().end(), port), 1);
    EXPECT_FALSE(root->appendChildForSwitch(port));
}

TEST_F(DeviceTreeNodeTest, positionsFollowTheGreatestSiblingAndAreKeptWhenGiven)
{
    DeviceTreeNode* a = make("VX7IOModuleNode", "A");
    QSignalSpy spy(bus, &ModelObject::dataChanged);
    ASSERT_TRUE(append(bus, a));
    EXPECT_EQ(a->getNodeProperty("NodeIndex"), QStringLiteral("0"));
    EXPECT_EQ(changes(spy), (std::vector<std::pair<QString, QString>>{{"ChildInserted", "0"}}));
    EXPECT_EQ(a->getParentNode(), bus);
    EXPECT_EQ(a->getParentID(), bus->getID());

    DeviceTreeNode* b = make("VX7IOModuleNode", "B");
    b->setNodeProperty("NodeIndex", "7");
    ASSERT_TRUE(append(bus, b));
    EXPECT_EQ(b->getNodeProperty("NodeIndex"), QStringLiteral("7")) << "a given position stays";
    DeviceTreeNode* c = make("VX7IOModuleNode", "C");
    ASSERT_TRUE(append(bus, c));
    EXPECT_EQ(c->getNodeProperty("NodeIndex"), QStringLiteral("8"));
}

TEST_F(DeviceTreeNodeTest, settingAnEqualValueIsNoChange)
{
    DeviceTreeNode* a = make("VX7IOModuleNode", "A");
    a->setNodeProperty("Channels", "4");
    a->setModified(false);
    QSignalSpy spy(a, &ModelObject::dataChanged);
    a->setNodeProperty("Channels", "4");
    EXPECT_EQ(spy.count(), 0);
    EXPECT_FALSE(a->isModified());
    a->setNodeProperty("Channels", "8");
    EXPECT_EQ(changes(spy), (std::vector<std::pair<QString, QString>>{{"PropertyAboutToBeChanged", "Channels"},
                                                                      {"PropertyChanged", "Channels"}}));
    EXPECT_TRUE(a->isModified());
    EXPECT_TRUE(a->containProperty("Channels"));
    EXPECT_EQ(a->getNodeProperty("Missing", "fallback"), QStringLiteral("fallback"));
    delete a;
}

TEST_F(DeviceTreeNodeTest, removingTellsThePositionAndForeignNodesAreRefused)
{
    ASSERT_TRUE(append(bus, make("VX7IOModuleNode", "A")));
    DeviceTreeNode* b = make("VX7IOModuleNode", "B");
    ASSERT_TRUE(append(bus, b));
    DeviceTreeNode* stranger = make("VX7IOModuleNode", "Stranger");
    QSignalSpy spy(bus, &ModelObject::dataChanged);
    EXPECT_FALSE(bus->removeChild(stranger, true));
    EXPECT_FALSE(bus->removeChild(nullptr, false));
    EXPECT_EQ(spy.count(), 0);
    delete stranger;

    EXPECT_TRUE(bus->removeChild(b, false));
    EXPECT_EQ(changes(spy), (std::vector<std::pair<QString, QString>>{{"ChildAboutToBeRemoved", "1"}, {"ChildRemoved", "1"}}));
    EXPECT_EQ(b->getParentNode(), nullptr) << "a node handed back keeps no pointer to its old parent";
    delete b;

    // A child deleted directly leaves its parent's list: no dangling pointer stays behind.
    DeviceTreeNode* a = child(bus, "A");
    delete a;
    EXPECT_TRUE(bus->getChildNodes().empty());
}

TEST_F(DeviceTreeNodeTest, sortingPutsEqualKeysInReverseAndSwappingExchangesPositions)
{
    for (const char* name : {"P", "Q", "R", "S"})
        ASSERT_TRUE(append(bus, make("VX7IOModuleNode", name)));
    child(bus, "P")->setNodeProperty("NodeIndex", "5");
    child(bus, "Q")->setNodeProperty("NodeIndex", "2");
    child(bus, "R")->setNodeProperty("NodeIndex", "5");
    child(bus, "S")->setNodeProperty("NodeIndex", "x"); // not a number: 0
    QSignalSpy spy(bus, &ModelObject::dataChanged);
    bus->sortChildNode();
    EXPECT_EQ(childNames(bus), QStringList({"S", "Q", "R", "P"})) << "P and R (both 5) swap places";
    EXPECT_EQ(changes(spy), (std::vector<std::pair<QString, QString>>{{"ChildSorted", ""}}));

    DeviceTreeNode* q = child(bus, "Q");
    DeviceTreeNode* p = child(bus, "P");
    q->setNodeProperty("NodeIndex", "1");
    p->setNodeProperty("NodeIndex", "3");
    spy.clear();
    bus->swapChildNode(q, p);
    EXPECT_EQ(q->getNodeProperty("NodeIndex"), QStringLiteral("3"));
    EXPECT_EQ(p->getNodeProperty("NodeIndex"), QStringLiteral("1"));
    EXPECT_EQ(childNames(bus).indexOf("P") < childNames(bus).indexOf("Q"), true);
    EXPECT_EQ(changes(spy).back(), std::make_pair(QString("ChildSorted"), QString()));
    QSignalSpy qSpy(q, &ModelObject::dataChanged);
    bus->swapChildNode(q, root); // the root is no child of the bus
    EXPECT_EQ(qSpy.count(), 0);
}

TEST_F(DeviceTreeNodeTest, enablingReachesEveryDescendant)
{
    DeviceTreeNode* a = make("VX7IOModuleNode", "A");
    ASSERT_TRUE(append(bus, a));
    EXPECT_TRUE(a->getEnable()) << "enabled by default";
    bus->setEnable(false);
    EXPECT_EQ(bus->getNodeProperty("Enable"), QStringLiteral("0"));
    EXPECT_EQ(a->getNodeProperty("Enable"), QStringLiteral("0"));
    EXPECT_FALSE(a->getEnable());
    root->setEnable(true);
    EXPECT_TRUE(a->getEnable());
    EXPECT_EQ(child(root, "EtherNet0")->getNodeProperty("Enable"), QStringLiteral("1"));
}

TEST_F(DeviceTreeNodeTest, everySampleTypeHasAFactoryOfTheRightKind)
{
    QSet<QString> types;
    std::vector<QVariantMap> pending;
    for (const QString& name : DevDescription::instance()->names())
        pending.push_back(DevDescription::instance()->devDescribe(name));
    while (!pending.empty()) {
        const QVariantMap map = pending.back();
        pending.pop_back();
        bool numeric = false;
        const QString type = map.value("TypeID").toString();
        type.toInt(&numeric);
        if (!type.isEmpty() && !numeric && !map.contains("ErrorCodes"))
            types << type;
        for (const QString& child : map.value("ChildTypeID").toString().split(',', Qt::SkipEmptyParts))
            types << child.trimmed();
        for (const QVariant& value : map)
            if (value.type() == QVariant::Map)
                pending.push_back(value.toMap());
    }
    ASSERT_GT(types.size(), 15);
    for (const QString& type : types) {
        SCOPED_TRACE(type.toStdString());
        DeviceTreeNode* node = make(type, "probe");
        ASSERT_TRUE(node);
        EXPECT_EQ(node->getTypeID(), type);
        EXPECT_EQ(bool(dynamic_cast<PhysicalInterfaceNode*>(node)), type.endsWith("InterfaceNode"));
        EXPECT_EQ(bool(dynamic_cast<LANInterfaceNode*>(node)), type == "LANInterfaceNode");
        EXPECT_EQ(bool(dynamic_cast<BusProtocolNode*>(node)),
                  type.endsWith("ProtocolNode") && type != "LocalBusProtocolNode");
        delete node;
    }
}

} // namespace
