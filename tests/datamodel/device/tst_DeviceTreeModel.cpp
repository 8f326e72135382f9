// The device tree of a user project: built from the controller's description,
// stored in the table DEVICETREE and read back, ids for motion objects, unique
// display names, the refresh from the descriptions, change forwarding and the
// conversion to another controller.
#include "DeviceTreeSupport.h"

#include "datamodel/device/DevDescription.h"
#include "datamodel/model/PrjInfoModel.h"
#include "host/CookieStore.h"
#include "host/LogService.h"

#include "accore/ACCore.h"
#include "accore/DeviceMemory.h"
#include "accore/SafeAccore.h"

#include <QSignalSpy>
#include <QSqlQuery>

#include <gtest/gtest.h>

#include <set>

using testsupport::defaultHost;
using testsupport::DeviceTreeTest;

namespace {

class DeviceTreeModelTest : public DeviceTreeTest
{
protected:
    static bool exec(AbstractProjectModel* project, const QString& sql)
    {
        QSqlQuery query(project->db());
        return query.exec(sql);
    }

    // Every node depth first as "id parent type name {properties}".
    static QStringList dump(const DeviceTreeModel* model)
    {
        QStringList out;
        std::vector<const DeviceTreeNode*> pending{model->getRootNode()};
        while (!pending.empty()) {
            const DeviceTreeNode* node = pending.back();
            pending.pop_back();
            QStringList properties;
            for (auto it = node->getNodePropertys().begin(); it != node->getNodePropertys().end(); ++it)
                properties << it.key() + '=' + it.value();
            out << QStringLiteral("%1 %2 %3 %4 {%5}")
                       .arg(node->getID())
                       .arg(node->getParentID())
                       .arg(node->getTypeID(), node->getName(), properties.join(';'));
            for (auto it = node->getChildNodes().rbegin(); it != node->getChildNodes().rend(); ++it)
                pending.push_back(*it);
        }
        return out;
    }
};

TEST_F(DeviceTreeModelTest, aNewProjectGetsTheControllersTreeAndItsMemoryLayout)
{
    auto project = create("Fresh", "NX5_2416MT");
    DeviceTreeModel* model = tree(project.get());
    DeviceTreeNode* root = model->getRootNode();
    ASSERT_TRUE(root);
    EXPECT_EQ(root->getID(), 1u);
    EXPECT_EQ(model->getRootName(), QStringLiteral("NX5_2416MT"));
    EXPECT_EQ(root->getNodeProperty("DisplayName"), QStringLiteral("NX5-2416MT compact controller"));
    EXPECT_EQ(root->getNodeProperty("PinBase"), QStringLiteral("8"));
    EXPECT_FALSE(root->containProperty("IECMem")) << "a nested map that is no language map is no property";
    QStringList names = childNames(root);
    names.sort();
    EXPECT_EQ(names, QStringList({"BDSlot", "Ethernet", "LocalBus"})) << "the essential entries, no other interface";
    EXPECT_EQ(child(root, "LocalBus")->getNodeProperty("MaxPower"), QStringLiteral("20"));
    EXPECT_EQ(child(root, "Ethernet")->getNodeProperty("IPAddress"), QStringLiteral("192.168.1.30"));
    EXPECT_EQ(model->getDescriptionPath(child(root, "Ethernet")), QStringLiteral("NX5_2416MT.Interfaces.Ethernet"));
    EXPECT_EQ(model->getDescriptionPath(child(root, "BDSlot")), QStringLiteral("NX5_2416MT.BDSlot"));
    EXPECT_TRUE(model->getChildTypeID(root).contains("CANInterfaceNode"));
    // Both serial ports describe SerialInterfaceNode; the first lists N:N, the
    // second does not.
    DeviceTreeNode* com2 = model->addNode(root, "SerialInterfaceNode", "COM2");
    ASSERT_TRUE(com2);
    EXPECT_EQ(com2->getNodeProperty("Standard"), QStringLiteral("RS232"));
    EXPECT_TRUE(model->addNode(com2, "NNLinkProtocolNode", "NNLink")) << "what either port accepts";
    EXPECT_EQ(model->getDescriptionPath(com2->getChildNodes().front()),
              QStringLiteral("NX5_2416MT.Interfaces.COM2.Protocols.NNLink"));

    EXPECT_EQ(rows(databaseFile("Fresh"), "SELECT Name FROM DeviceTree WHERE Id > 0 ORDER BY Id"),
              QStringList({"NX5_2416MT", "BDSlot", "Ethernet", "LocalBus"}))
        << "the new tree is stored at once (the port added since is not saved "
           "yet)";
    ac::SafeAccore core("Fresh");
    ASSERT_TRUE(core.getAccore());
    EXPECT_EQ(core.getAccore()->deviceMemory()->areas().input, 2048u);
    EXPECT_EQ(core.getAccore()->deviceMemory()->areas().retian, 65536u);
    EXPECT_EQ(core.getAccore()->deviceMemory()->japanLayout().at("D"), 8000u);
}

TEST_F(DeviceTreeModelTest, creatingWithoutAControllerFails)
{
    auto project = std::make_unique<PlcProjectModel>("NoDevice", temp.path().toStdString(), databaseFile("NoDevice"));
    auto p = params("NoDevice");
    p.erase("deviceType");
    EXPECT_FALSE(project->create(p));
    EXPECT_EQ(tree(project.get())->getRootNode(), nullptr);
    EXPECT_TRUE(logged("create needs the option deviceType"));
}

TEST_F(DeviceTreeModelTest, everyPropertySurvivesSaveAndReopen)
{
    const QString awkward[] = {"it's", "%1 and %2", QStringLiteral(u"包装线 Förderband"), "", "a\"b\\c", "x\ny"};
    std::string file = databaseFile("Round");
    QStringList before;
    {
        auto project = create("Round", "VX7_1616MT");
        DeviceTreeModel* model = tree(project.get());
        DeviceTreeNode* bus = child(model->getRootNode(), "LocalBus");
        DeviceTreeNode* input = model->addNode(bus, "VX7IOModuleNode", "VX7_16EX");
        DeviceTreeNode* custom = model->addNode(bus, "VX7IOModuleNode", "Custom it's");
        ASSERT_TRUE(input && custom);
        int n = 0;
        for (const QString& value : awkward)
            custom->setNodeProperty(QStringLiteral("Key%1 '").arg(n++), value);
        custom->setNodeProperty("CompileData", "compiled");
        DeviceTreeNode* port = model->addNode(model->getRootNode(), "SerialInterfaceNode", "COM1");
        ASSERT_TRUE(port && model->addNode(port, "ModbusRtuProtocolNode", "ModbusRtu"));
        port->setNodeProperty("BaudRate", "19200");
        port->setEnable(false);
        model->takeID();
        ASSERT_TRUE(project->save());
        before = dump(model);
        EXPECT_EQ(rows(file, "SELECT CompileData FROM DeviceTree WHERE Name = 'Custom it''s'"),
                  QStringList({"compiled"}));
    }
    auto project = openProject("Round");
    ASSERT_TRUE(project);
    DeviceTreeModel* model = tree(project.get());
    EXPECT_EQ(dump(model), before);
    EXPECT_EQ(model->getNodeCount(), before.size());

    // Nothing changed: a second save writes no row.
    defaultHost().logs()->clear();
    ASSERT_TRUE(project->save());
    EXPECT_EQ(defaultHost().logs()->find("saveNode result").size(), 0u);
    EXPECT_TRUE(logged(QStringLiteral("save: 0 node(s) written, %1 unchanged").arg(before.size()).toStdString()));
}

TEST_F(DeviceTreeModelTest, anEmptyTableOpensNoTree)
{
    {
        auto project = create("Empty", "VX7_1616MT");
        ASSERT_TRUE(exec(project.get(), "DELETE FROM DeviceTree WHERE Id > 0"));
    }
    defaultHost().logs()->clear();
    auto project = openProject("Empty");
    ASSERT_TRUE(project);
    EXPECT_EQ(tree(project.get())->getRootNode(), nullptr);
    EXPECT_TRUE(logged("open root null"));
    EXPECT_FALSE(tree(project.get())->save());
    EXPECT_TRUE(logged("save root null return false"));
    EXPECT_EQ(tree(project.get())->takeID(), 0u);
}

TEST_F(DeviceTreeModelTest, rowsTheTreeCannotHoldAreKeptAndReported)
{
    unsigned int refused = 0, orphan = 0;
    {
        auto project = create("Kept", "VX7_1616MT");
        DeviceTreeModel* model = tree(project.get());
        DeviceTreeNode* bus = child(model->getRootNode(), "LocalBus");
        for (const char* name : {"VX7_16EX", "VX7_16EYT", "VX7_4AD"})
            ASSERT_TRUE(model->addNode(bus, "VX7IOModuleNode", name));
        refused = bus->getChildNodes().back()->getID();
        DeviceTreeNode* port = model->addNode(model->getRootNode(), "SerialInterfaceNode", "COM1");
        ASSERT_TRUE(port && model->addNode(port, "ModbusRtuProtocolNode", "ModbusRtu"));
        ASSERT_TRUE(project->save());
        // A description update lowered the bus to two modules, and the serial
        // port's type lost its node class.
        ASSERT_TRUE(exec(project.get(),
                         QStringLiteral("UPDATE DeviceTree SET Properties = replace(Properties, "
                                        "'\"MaxChildCount\":\"16\"', '\"MaxChildCount\":\"2\"') "
                                        "WHERE Name = 'LocalBus'")));
        ASSERT_TRUE(exec(project.get(),
                         "UPDATE DeviceTree SET TypeId = "
                         "'RetiredPortNode' WHERE Name = 'COM1'"));
        orphan = port->getID();
    }
    defaultHost().logs()->clear();
    auto project = openProject("Kept");
    ASSERT_TRUE(project);
    DeviceTreeModel* model = tree(project.get());
    DeviceTreeNode* bus = child(model->getRootNode(), "LocalBus");
    EXPECT_EQ(bus->getChildNodes().size(), 2u);
    EXPECT_EQ(model->nodeById(refused), nullptr);
    EXPECT_EQ(model->nodeById(orphan), nullptr);
    EXPECT_TRUE(logged("openNode cannot append  VX7_4AD to LocalBus"));
    EXPECT_TRUE(model->getLastError().contains("VX7_4AD")) << model->getLastError().toStdString();
    EXPECT_TRUE(model->getLastError().contains("COM1"));
    EXPECT_EQ(bus->getNodeProperty("MaxChildCount"), QStringLiteral("16")) << "the refresh restores the description";

    // No id of a kept row is handed out, and saving (after a removal, so that the
    // sweep runs) leaves the kept rows where they are.
    std::set<unsigned int> taken;
    for (int i = 0; i < 20; ++i)
        taken.insert(model->takeID());
    EXPECT_EQ(taken.count(refused) + taken.count(orphan) + taken.count(orphan + 1), 0u);
    ASSERT_TRUE(bus->removeChild(bus->getChildNodes().front(), true));
    ASSERT_TRUE(project->save());
    EXPECT_EQ(rows(databaseFile("Kept"),
                   "SELECT Name FROM DeviceTree WHERE TypeId = 'RetiredPortNode' "
                   "OR Name = 'VX7_4AD' "
                   "OR Name = 'ModbusRtu' ORDER BY Name"),
              QStringList({"COM1", "ModbusRtu", "VX7_4AD"}));
}

TEST_F(DeviceTreeModelTest, aHostileTableDoesNotLoopOrOverflow)
{
    {
        auto project = create("Hostile", "VX7_1616MT");
        // A row that is its own parent, a cycle below the root, and a chain deeper
        // than any device tree.
        ASSERT_TRUE(exec(project.get(), "UPDATE DeviceTree SET ParentId = 1 WHERE Id = 1"));
        QStringList values;
        unsigned int parent = 1;
        for (unsigned int id = 100; id < 300; ++id) {
            values << QStringLiteral("(%1, 'SerialInterfaceNode', 'Deep%1', %2, '{}')").arg(id).arg(parent);
            parent = id;
        }
        ASSERT_TRUE(exec(project.get(),
                         "INSERT INTO DeviceTree (Id, TypeId, Name, "
                         "ParentId, Properties) VALUES "
                             + values.join(',')));
    }
    auto project = openProject("Hostile");
    ASSERT_TRUE(project);
    DeviceTreeModel* model = tree(project.get());
    ASSERT_TRUE(model->getRootNode());
    EXPECT_EQ(model->nodeById(100)->getParentNode(), model->getRootNode());
    EXPECT_EQ(model->nodeById(101), nullptr) << "a port under a port is refused, the rest of the chain kept";
    ASSERT_TRUE(project->save());
    EXPECT_EQ(rows(databaseFile("Hostile"), "SELECT count(*) FROM DeviceTree WHERE Id >= 100"), QStringList({"200"}));
}

TEST_F(DeviceTreeModelTest, idsForMotionObjectsAreNeverHandedOutTwice)
{
    std::set<unsigned int> handedOut;
    {
        auto project = create("Ids", "VX7_1616MT");
        DeviceTreeModel* model = tree(project.get());
        for (int i = 0; i < 3; ++i)
            handedOut.insert(model->takeID());
        EXPECT_EQ(handedOut.size(), 3u);
        for (unsigned int id : handedOut) {
            EXPECT_GT(id, 3u) << "no node's id";
            EXPECT_TRUE(model->getRootNode()->getNodeProperty("OccupiedID").contains(QString::number(id) + '.'));
        }
        EXPECT_FALSE(model->backID(2)) << "a node's id was not handed out";
        EXPECT_NE(model->getRootNode()->getChildNode(2), nullptr);
        EXPECT_FALSE(model->backID(4999));
        DeviceTreeNode* port = model->addNode(model->getRootNode(), "SerialInterfaceNode", "COM1");
        ASSERT_TRUE(port);
        EXPECT_EQ(handedOut.count(port->getID()), 0u);
        ASSERT_TRUE(project->save());
    }
    auto project = openProject("Ids");
    DeviceTreeModel* model = tree(project.get());
    std::set<unsigned int> nodes;
    for (unsigned int id = 0; id < 20; ++id)
        if (model->nodeById(id))
            nodes.insert(id);
    for (int i = 0; i < 10; ++i) {
        const unsigned int id = model->takeID();
        EXPECT_EQ(handedOut.count(id) + nodes.count(id), 0u) << id;
        handedOut.insert(id);
    }
    // A given-back id is handed out again, once.
    const unsigned int back = *handedOut.begin();
    EXPECT_TRUE(model->backID(back));
    EXPECT_FALSE(model->backID(back));
    EXPECT_FALSE(model->getRootNode()->getNodeProperty("OccupiedID").split('.').contains(QString::number(back)));
    EXPECT_EQ(model->takeID(), back);
}

TEST_F(DeviceTreeModelTest, displayNamesAreUniqueWithinTheTree)
{
    unsigned int second = 0;
    {
        auto project = create("Names", "VX7_1616MT");
        DeviceTreeModel* model = tree(project.get());
        DeviceTreeNode* bus = child(model->getRootNode(), "LocalBus");
        DeviceTreeNode* a = model->addNode(bus, "VX7IOModuleNode", "VX7_16EX");
        DeviceTreeNode* b = model->addNode(bus, "VX7IOModuleNode", "VX7_16EX");
        ASSERT_TRUE(a && b);
        EXPECT_EQ(a->getNodeProperty("DisplayName"), QStringLiteral("16-point digital input module"));
        EXPECT_EQ(b->getNodeProperty("DisplayName"), QStringLiteral("16-point digital input module_1"));
        a->setNodeProperty("DisplayName", "Motor");
        b->setNodeProperty("DisplayName", "Motor");
        EXPECT_EQ(b->getNodeProperty("DisplayName"), QStringLiteral("Motor_1"));
        second = b->getID();
        ASSERT_TRUE(project->save());
        // Both rows say Motor, as a file written elsewhere may.
        ASSERT_TRUE(exec(project.get(),
                         QStringLiteral("UPDATE DeviceTree SET Properties = replace(Properties, "
                                        "'Motor_1', 'Motor') WHERE Id = %1")
                             .arg(second)));
    }
    auto project = openProject("Names");
    DeviceTreeModel* model = tree(project.get());
    DeviceTreeNode* bus = child(model->getRootNode(), "LocalBus");
    QStringList names;
    for (const DeviceTreeNode* node : bus->getChildNodes())
        names << node->getNodeProperty("DisplayName");
    names.sort();
    EXPECT_EQ(names, QStringList({"Motor", "Motor_1"}));
    for (const DeviceTreeNode* node : bus->getChildNodes())
        EXPECT_EQ(node->isModified(), node->getNodeProperty("DisplayName") == "Motor_1")
            << "only the renamed node differs from its row";

    // A removed node gives its name back.
    DeviceTreeNode* motor = nullptr;
    for (DeviceTreeNode* node : bus->getChildNodes())
        if (node->getNodeProperty("DisplayName") == "Motor")
            motor = node;
    ASSERT_TRUE(bus->removeChild(motor, true));
    DeviceTreeNode* next = model->addNode(bus, "VX7IOModuleNode", "Spare");
    ASSERT_TRUE(next);
    next->setNodeProperty("DisplayName", "Motor");
    EXPECT_EQ(next->getNodeProperty("DisplayName"), QStringLiteral("Motor"));
}

TEST_F(DeviceTreeModelTest, openingRefreshesHardwareKeysKeepsSettingsAndAddsTheVx7Essentials)
{
    {
        auto project = create("Refresh", "VX7_1616MT");
        DeviceTreeModel* model = tree(project.get());
        DeviceTreeNode* net = child(model->getRootNode(), "EtherNet0");
        net->setNodeProperty("IPAddress", "10.1.2.3");
        net->setNodeProperty("MaxChildCount", "999");
        ASSERT_TRUE(project->save());
        ASSERT_TRUE(exec(project.get(), "DELETE FROM DeviceTree WHERE Name = 'LocalBus'"));
    }
    auto project = openProject("Refresh");
    DeviceTreeModel* model = tree(project.get());
    DeviceTreeNode* net = child(model->getRootNode(), "EtherNet0");
    EXPECT_EQ(net->getNodeProperty("IPAddress"), QStringLiteral("10.1.2.3")) << "the user's address stays";
    EXPECT_FALSE(net->containProperty("MaxChildCount") && net->getNodeProperty("MaxChildCount") != "999")
        << "a key the description does not give stays as it is";
    EXPECT_EQ(net->getNodeProperty("ChildTypeID"), QStringLiteral("ModbusTcpProtocolNode"));
    DeviceTreeNode* bus = child(model->getRootNode(), "LocalBus");
    ASSERT_TRUE(bus) << "the essential local bus of a VX7 controller comes back";
    EXPECT_EQ(bus->getNodeProperty("MaxPower"), QStringLiteral("24"));
    EXPECT_EQ(bus->getNodeProperty("DisplayName"), QStringLiteral("Local bus"));
    EXPECT_TRUE(bus->isModified());
}

TEST_F(DeviceTreeModelTest, changesAreForwardedAndMarkTheProjectForCompilation)
{
    auto project = create("Forward", "VX7_1616MT");
    DeviceTreeModel* model = tree(project.get());
    auto* info = project->subModel<PrjInfoModel>()->projectInfo();
    info->setProperty("Compile", "true");
    QSignalSpy spy(model, &DeviceTreeModel::dataChanged);
    DeviceTreeNode* net = child(model->getRootNode(), "EtherNet0");
    net->setNodeProperty("Gateway", "10.0.0.1");
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(spy.at(1).at(0).value<DeviceTreeNode*>(), net);
    EXPECT_EQ(spy.at(1).at(1).toString(), QStringLiteral("PropertyChanged"));
    EXPECT_EQ(spy.at(1).at(2).toString(), QStringLiteral("Gateway"));
    EXPECT_EQ(info->property("Compile", ""), "false");

    info->setProperty("Compile", "true");
    net->setStatus(true); // a node that is being set up marks nothing
    net->setNodeProperty("Gateway", "10.0.0.2");
    EXPECT_EQ(info->property("Compile", ""), "true");
    EXPECT_EQ(spy.count(), 4);
}

TEST_F(DeviceTreeModelTest, conversionTopicsBetweenTheFamilies)
{
    auto project = create("Topics", "VX7_1616MT");
    DeviceTreeModel* model = tree(project.get());
    QMap<QString, QString> topics = model->typeDiffCompare("VX7_1616MT", "NX5_2416MT");
    EXPECT_EQ(topics.keys(), QStringList({"Axis", "Hardware", "IOMap", "Task"}));
    EXPECT_EQ(topics.value("IOMap"),
              QStringLiteral("Project conversion will change the relevant "
                             "configuration of IO mapping"));
    EXPECT_TRUE(model->typeDiffCompare("VX7_1616MT", "VX7_1616MT").isEmpty());

    // An interface the new controller lacks counts once it is in the tree.
    ASSERT_TRUE(model->addNode(model->getRootNode(), "EtherCATInterfaceNode", "EtherCAT"));
    topics = model->typeDiffCompare("VX7_1616MT", "NX5_2416MT");
    EXPECT_EQ(topics.value("NetDev"),
              QStringLiteral("Project conversion will delete the relevant "
                             "configuration of EtherCAT"));

    QMap<QString, QString> removed;
    model->getRemoveDevString(model->getRootNode(), removed);
    EXPECT_TRUE(removed.isEmpty()) << "an empty bus removes nothing";
    ASSERT_TRUE(model->addNode(child(model->getRootNode(), "LocalBus"), "VX7IOModuleNode", "VX7_16EX"));
    model->getRemoveDevString(model->getRootNode(), removed);
    EXPECT_EQ(removed.keys(), QStringList({"Hardware"}));

    auto other = create("Topics2", "NX5_2416MT");
    DeviceTreeModel* nx = tree(other.get());
    ASSERT_TRUE(nx->addNode(child(nx->getRootNode(), "BDSlot"), "NX5BDModuleNode", "NX5_485BD"));
    QMap<QString, QString> board;
    nx->getRemoveDevString(nx->getRootNode(), board);
    EXPECT_EQ(board.value("BDMoudle"),
              QStringLiteral("Project conversion will change the relevant "
                             "configuration of BDMoudle"));
}

TEST_F(DeviceTreeModelTest, conversionWithinAFamilyKeepsEveryDevice)
{
    unsigned int moduleId = 0;
    {
        auto project = create("Convert", "VX7_1616MT");
        DeviceTreeModel* model = tree(project.get());
        DeviceTreeNode* bus = child(model->getRootNode(), "LocalBus");
        DeviceTreeNode* module = model->addNode(bus, "VX7IOModuleNode", "VX7_8EX8EYR");
        DeviceTreeNode* port = model->addNode(model->getRootNode(), "SerialInterfaceNode", "COM1");
        ASSERT_TRUE(module && port);
        DeviceTreeNode* net = child(model->getRootNode(), "EtherNet0");
        ASSERT_TRUE(model->addNode(net, "ModbusTcpProtocolNode", "ModbusTcp"));
        net->setNodeProperty("IPAddress", "172.16.0.5");
        net->setNodeProperty("DisplayName", "Line network");
        const unsigned int taken = model->takeID();
        const QString occupied = model->getRootNode()->getNodeProperty("OccupiedID");

        QSignalSpy updated(model, &DeviceTreeModel::rootUpdated);
        QSignalSpy about(model, &DeviceTreeModel::rootAboutToBeUpdated);
        ASSERT_TRUE(model->updateRoot("VX7_3232MT")) << model->getLastError().toStdString();
        EXPECT_EQ(updated.count(), 1);
        EXPECT_EQ(about.count(), 1);
        DeviceTreeNode* root = model->getRootNode();
        EXPECT_EQ(root->getName(), QStringLiteral("VX7_3232MT"));
        EXPECT_EQ(root->getID(), 1u);
        EXPECT_EQ(root->getNodeProperty("OccupiedID"), occupied);
        EXPECT_EQ(model->nodeById(module->getID()), module) << "the module moved with its bus";
        EXPECT_EQ(child(root, "LocalBus")->getNodeProperty("MaxPower"), QStringLiteral("40"));
        EXPECT_EQ(model->nodeById(port->getID()), port);
        DeviceTreeNode* newNet = child(root, "EtherNet0");
        ASSERT_TRUE(newNet);
        EXPECT_EQ(newNet->getNodeProperty("IPAddress"), QStringLiteral("172.16.0.5"));
        EXPECT_EQ(newNet->getNodeProperty("DisplayName"), QStringLiteral("Line network"));
        EXPECT_EQ(childNames(newNet), QStringList({"ModbusTcp"}));
        EXPECT_NE(model->takeID(), taken);
        for (const DeviceTreeNode* node : {root, child(root, "LocalBus"), module})
            for (const DeviceTreeNode* c : node->getChildNodes())
                EXPECT_TRUE(model->isValidChild(const_cast<DeviceTreeNode*>(c), const_cast<DeviceTreeNode*>(node)));
        moduleId = module->getID();
        ASSERT_TRUE(project->save());
    }
    auto project = openProject("Convert");
    ASSERT_TRUE(project);
    DeviceTreeModel* model = tree(project.get());
    EXPECT_EQ(model->getRootName(), QStringLiteral("VX7_3232MT"));
    ASSERT_TRUE(model->nodeById(moduleId));
    EXPECT_EQ(model->nodeById(moduleId)->getParentNode()->getName(), QStringLiteral("LocalBus"));
    ac::SafeAccore core("Convert");
    ASSERT_TRUE(core.getAccore());
    EXPECT_EQ(core.getAccore()->deviceMemory()->areas().input,
              DevDescription::instance()->devProperty("VX7_3232MT.IECMem.input").toString().toULongLong())
        << "the reopened project hands the new controller's layout to the core";
}

TEST_F(DeviceTreeModelTest, aConversionThatWouldLoseDevicesIsRefusedAndChangesNothing)
{
    auto project = create("Refuse", "VX7_1616MT");
    DeviceTreeModel* model = tree(project.get());
    DeviceTreeNode* bus = child(model->getRootNode(), "LocalBus");
    DeviceTreeNode* module = model->addNode(bus, "VX7IOModuleNode", "VX7_16EX");
    ASSERT_TRUE(module && model->addNode(model->getRootNode(), "EtherCATInterfaceNode", "EtherCAT"));
    DeviceTreeNode* root = model->getRootNode();
    const QStringList before = dump(model);
    QSignalSpy about(model, &DeviceTreeModel::rootAboutToBeUpdated);
    EXPECT_FALSE(model->updateRoot("NX5_2416MT"));
    EXPECT_EQ(about.count(), 0);
    EXPECT_EQ(model->getRootNode(), root);
    EXPECT_EQ(dump(model), before);
    EXPECT_TRUE(model->getLastError().contains("VX7_16EX")) << model->getLastError().toStdString();
    EXPECT_TRUE(model->getLastError().contains("EtherCAT"));
    EXPECT_FALSE(model->updateRoot("NoSuchController"));
    EXPECT_EQ(dump(model), before);

    // With the devices gone the conversion goes through; the empty bus moves
    // over.
    ASSERT_TRUE(bus->removeChild(module, true));
    ASSERT_TRUE(root->removeChild(child(root, "EtherCAT"), true));
    ASSERT_TRUE(model->updateRoot("NX5_2416MT")) << model->getLastError().toStdString();
    QStringList names = childNames(model->getRootNode());
    names.sort();
    EXPECT_EQ(names, QStringList({"BDSlot", "Ethernet", "LocalBus"}));
    EXPECT_EQ(child(model->getRootNode(), "LocalBus"), bus);
    EXPECT_EQ(bus->getNodeProperty("ChildTypeID"), QStringLiteral("NX5IOModuleNode"));

    // Back to VX7: an empty board slot goes, a populated one stops the
    // conversion.
    DeviceTreeNode* slot = child(model->getRootNode(), "BDSlot");
    DeviceTreeNode* board = model->addNode(slot, "NX5BDModuleNode", "NX5_485BD");
    ASSERT_TRUE(board);
    EXPECT_FALSE(model->updateRoot("VX7_1616MT"));
    EXPECT_TRUE(model->getLastError().contains("BDSlot"));
    ASSERT_TRUE(slot->removeChild(board, true));
    ASSERT_TRUE(model->updateRoot("VX7_1616MT")) << model->getLastError().toStdString();
    EXPECT_EQ(child(model->getRootNode(), "BDSlot"), nullptr);
    ASSERT_TRUE(project->save());
    EXPECT_EQ(rows(databaseFile("Refuse"), "SELECT count(*) FROM DeviceTree WHERE Name = 'BDSlot'"),
              QStringList({"0"}));
}

TEST_F(DeviceTreeModelTest, flagsAreClearedOnlyOnceTheSaveIsCommitted)
{
    auto project = create("Commit", "VX7_1616MT");
    DeviceTreeModel* model = tree(project.get());
    DeviceTreeNode* port = model->addNode(model->getRootNode(), "SerialInterfaceNode", "COM1");
    ASSERT_TRUE(port && port->isModified());
    // Every node's type breaks the table's foreign key; checked at the commit,
    // the save fails.
    ASSERT_TRUE(exec(project.get(), "PRAGMA foreign_keys = ON"));
    ASSERT_TRUE(exec(project.get(), "PRAGMA defer_foreign_keys = ON"));
    EXPECT_FALSE(model->save());
    EXPECT_TRUE(port->isModified()) << "nothing reached the file";
    EXPECT_EQ(rows(databaseFile("Commit"), "SELECT count(*) FROM DeviceTree WHERE Name = 'COM1'"), QStringList({"0"}));
    ASSERT_TRUE(exec(project.get(), "PRAGMA foreign_keys = OFF"));
    EXPECT_TRUE(model->save());
    EXPECT_FALSE(port->isModified());
    EXPECT_EQ(rows(databaseFile("Commit"), "SELECT count(*) FROM DeviceTree WHERE Name = 'COM1'"), QStringList({"1"}));

    // An automatic save into another file leaves the flags for the real save.
    port->setNodeProperty("BaudRate", "38400");
    ASSERT_TRUE(model->saveAs(false));
    EXPECT_TRUE(model->save());
    EXPECT_TRUE(port->isModified());
    ASSERT_TRUE(model->saveAs(true));
}

TEST_F(DeviceTreeModelTest, fourThousandNodesSaveReopenAndSaveAgain)
{
    const int ports = 4000 - 3; // the root, its network port and its bus
    {
        auto project = create("Large", "VX7_1616MT");
        DeviceTreeModel* model = tree(project.get());
        for (int i = 0; i < ports; ++i)
            ASSERT_TRUE(model->addNode(model->getRootNode(), "SerialInterfaceNode", QStringLiteral("P%1").arg(i)));
        EXPECT_EQ(model->getNodeCount(), 4000);
        ASSERT_TRUE(project->save());
    }
    {
        auto project = openProject("Large");
        DeviceTreeModel* model = tree(project.get());
        ASSERT_EQ(model->getNodeCount(), 4000);
        DeviceTreeNode* root = model->getRootNode();
        ASSERT_TRUE(root->removeChild(child(root, "P1234"), true));
        ASSERT_TRUE(project->save()) << "the deletion of one row among thousands";
    }
    EXPECT_EQ(rows(databaseFile("Large"), "SELECT count(*) FROM DeviceTree WHERE Id > 0"), QStringList({"3999"}));
    auto project = openProject("Large");
    EXPECT_EQ(tree(project.get())->getNodeCount(), 3999);
    EXPECT_EQ(child(tree(project.get())->getRootNode(), "P1234"), nullptr);
}

} // namespace
