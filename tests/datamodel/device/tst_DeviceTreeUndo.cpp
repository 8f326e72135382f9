// Undo and redo of device tree edits through the project's command stack: a node is inserted,
// removed and moved through its object path (ancestor ids) and its object data (a JSON array of
// the node and its descendants), and is looked up again at every step.
#include "DeviceTreeSupport.h"

#include "datamodel/model/ObjectPath.h"
#include "datamodel/model/ProjectModelManager.h"
#include "datamodel/undo/ModelCommand.h"
#include "datamodel/undo/ProjectModelStack.h"
#include "host/CookieStore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>

#include <gtest/gtest.h>

using testsupport::DeviceTreeTest;

namespace {

class DeviceTreeUndo : public DeviceTreeTest
{
protected:
    void SetUp() override
    {
        DeviceTreeTest::SetUp();
        project = create("UndoDevices", "VX7_1616MT").release();
        ASSERT_EQ(ProjectModelManager::instance()->addProjectModel("UndoDevices", project), ProjectModelManager::Success);
        testsupport::defaultHost().cookies()->setValue("Project.Name", "UndoDevices");
        model = tree(project);
        bus = child(model->getRootNode(), "LocalBus");
        spy = std::make_unique<QSignalSpy>(&stack, &ProjectModelStack::commandExecuted);
    }
    void TearDown() override
    {
        stack.clear();
        ProjectModelManager::instance()->removeProjectModel("UndoDevices");
        testsupport::defaultHost().cookies()->remove("Project.Name");
    }

    // A port with a protocol and a slave below it: three nodes of object data.
    DeviceTreeNode* portWithProtocol()
    {
        DeviceTreeNode* port = model->addNode(model->getRootNode(), "SerialInterfaceNode", "COM1");
        DeviceTreeNode* protocol = port ? model->addNode(port, "ModbusRtuProtocolNode", "ModbusRtu") : nullptr;
        EXPECT_TRUE(protocol && model->addNode(protocol, "ModbusRtuSlaveNode", "Drive 'A' %1"));
        port->setNodeProperty("BaudRate", "57600");
        return port;
    }

    AbstractProjectModel* project = nullptr; // owned by the registry
    DeviceTreeModel* model = nullptr;
    DeviceTreeNode* bus = nullptr;
    ProjectModelStack stack;
    std::unique_ptr<QSignalSpy> spy;
};

TEST_F(DeviceTreeUndo, objectDataHoldsTheNodeAndItsDescendantsDepthFirst)
{
    DeviceTreeNode* port = portWithProtocol();
    const QString path = model->getObjPath(port);
    EXPECT_EQ(path, QStringLiteral("1") + ObjectPath::Separator + QString::number(port->getID()));
    EXPECT_EQ(model->getNode(path), port);
    const QJsonArray data = QJsonDocument::fromJson(model->objToData(port).toUtf8()).array();
    ASSERT_EQ(data.size(), 3);
    QStringList names;
    for (const QJsonValue& value : data)
        names << value.toObject().value("NAME").toString();
    EXPECT_EQ(names, QStringList({"COM1", "ModbusRtu", "Drive 'A' %1"}));
    const QJsonObject first = data.first().toObject();
    EXPECT_EQ(first.value("ID").toString(), QString::number(port->getID()));
    EXPECT_EQ(first.value("PARENTID").toString(), QStringLiteral("1"));
    EXPECT_EQ(first.value("TYPEID").toString(), QStringLiteral("SerialInterfaceNode"));
    const QJsonObject properties = QJsonDocument::fromJson(first.value("PROPERTIES").toString().toUtf8()).object();
    EXPECT_EQ(properties.value("BaudRate").toString(), QStringLiteral("57600"));
    EXPECT_EQ(data.at(1).toObject().value("PARENTID").toString(), QString::number(port->getID()));
    EXPECT_EQ(model->getObjIndex(port), port->getNodeProperty("NodeIndex"));
}

TEST_F(DeviceTreeUndo, insertAndRemoveRecreateTheWholeSubtreeUnderItsIds)
{
    DeviceTreeNode* port = portWithProtocol();
    const unsigned int id = port->getID();
    const QString path = model->getObjPath(port);
    const QString data = model->objToData(port);
    ASSERT_TRUE(stack.pushCommand(new ModelInsertCommand(port, model)));
    EXPECT_EQ(spy->count(), 0);

    stack.undo();
    EXPECT_EQ(model->nodeById(id), nullptr);
    EXPECT_EQ(model->getNodeCount(), 3);
    ASSERT_EQ(spy->count(), 1);
    EXPECT_EQ(spy->last().at(0).toString(), QStringLiteral("PROJECT_MODEL_STACK_REMOVE"));
    EXPECT_EQ(spy->last().at(3).toString(), data);

    stack.redo();
    DeviceTreeNode* back = model->nodeById(id);
    ASSERT_TRUE(back);
    EXPECT_EQ(model->objToData(back), data) << "ids, parents, types, names and properties as they were";
    EXPECT_EQ(spy->last().at(0).toString(), QStringLiteral("PROJECT_MODEL_STACK_INSERT"));
    EXPECT_EQ(model->getNodeCount(), 6);

    // The same through a removal, with the project saved in between.
    auto* command = new ModelRemoveCommand(back, model);
    QString removed;
    ASSERT_TRUE(model->removeObject(path, removed));
    ASSERT_TRUE(stack.pushCommand(command));
    ASSERT_TRUE(project->save());
    stack.undo();
    ASSERT_TRUE(model->nodeById(id));
    EXPECT_EQ(model->objToData(model->nodeById(id)), data);
    ASSERT_TRUE(project->save());
    EXPECT_EQ(rows(databaseFile("UndoDevices"), QStringLiteral("SELECT count(*) FROM DeviceTree WHERE Id >= %1").arg(id)),
              QStringList({"3"}));
}

TEST_F(DeviceTreeUndo, insertionIsRefusedWhereItWouldBreakTheTree)
{
    DeviceTreeNode* port = portWithProtocol();
    const unsigned int portId = port->getID();
    const QString path = model->getObjPath(port);
    const QString data = model->objToData(port);
    EXPECT_FALSE(model->insertObject(path, data)) << "the ids are taken";
    QString removed;
    ASSERT_TRUE(model->removeObject(path, removed));
    EXPECT_FALSE(model->insertObject(path, "not json"));
    EXPECT_FALSE(model->insertObject(path, "[]"));
    EXPECT_FALSE(model->insertObject("1" + ObjectPath::Separator + "999", data)) << "the path names another node";
    EXPECT_FALSE(model->insertObject(QString::number(bus->getID()), data));
    QString wrongParent = data;
    wrongParent.replace("\"PARENTID\":\"1\"", QStringLiteral("\"PARENTID\":\"%1\"").arg(bus->getID()));
    EXPECT_FALSE(model->insertObject(path, wrongParent));
    EXPECT_EQ(model->getNodeCount(), 3) << "nothing half inserted";

    // A motion object took the port's id meanwhile: the data cannot come back under it.
    EXPECT_EQ(model->takeID(), portId);
    EXPECT_FALSE(model->insertObject(path, removed));
    EXPECT_EQ(model->getNodeCount(), 3);
}

TEST_F(DeviceTreeUndo, aFullBusRefusesTheUndoneRemovalAndStaysValid)
{
    DeviceTreeNode* first = model->addNode(bus, "VX7IOModuleNode", "VX7_16EX");
    ASSERT_TRUE(first && model->addNode(bus, "VX7IOModuleNode", "VX7_16EYT"));
    auto* command = new ModelRemoveCommand(first, model);
    QString data;
    ASSERT_TRUE(model->removeObject(model->getObjPath(first), data));
    ASSERT_TRUE(stack.pushCommand(command));
    bus->setNodeProperty("MaxChildCount", "1"); // a smaller bus since
    const int before = spy->count();
    stack.undo();
    EXPECT_EQ(spy->count(), before) << "a refused step emits nothing";
    EXPECT_EQ(bus->getChildNodes().size(), 1u);
    EXPECT_EQ(model->getLastError(), QStringLiteral("Child Count Out Of Limit : 1"));
}

TEST_F(DeviceTreeUndo, movesAndPropertyChangesAreReplayed)
{
    DeviceTreeNode* a = model->addNode(bus, "VX7IOModuleNode", "VX7_16EX");
    DeviceTreeNode* b = model->addNode(bus, "VX7IOModuleNode", "VX7_16EYT");
    DeviceTreeNode* c = model->addNode(bus, "VX7IOModuleNode", "VX7_4AD");
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(childNames(bus), QStringList({"VX7_16EX", "VX7_16EYT", "VX7_4AD"}));
    const QString fromA = model->getObjIndex(a), fromC = model->getObjIndex(c);
    bus->swapChildNode(a, c);
    stack.beginGroup();
    stack.pushCommand(new ModelMoveCommand(a, model, fromA, model->getObjIndex(a)));
    stack.pushCommand(new ModelMoveCommand(c, model, fromC, model->getObjIndex(c)));
    stack.endGroup();
    EXPECT_EQ(childNames(bus), QStringList({"VX7_4AD", "VX7_16EYT", "VX7_16EX"}));
    stack.undo();
    EXPECT_EQ(childNames(bus), QStringList({"VX7_16EX", "VX7_16EYT", "VX7_4AD"}));
    EXPECT_EQ(spy->last().at(0).toString(), QStringLiteral("PROJECT_MODEL_STACK_MOVE"));
    stack.redo();
    EXPECT_EQ(childNames(bus), QStringList({"VX7_4AD", "VX7_16EYT", "VX7_16EX"}));
    EXPECT_FALSE(model->moveObject(model->getObjPath(a), "first")) << "a position is a number";
    EXPECT_FALSE(model->moveObject("1", "3")) << "the controller has no position";

    b->setNodeProperty("Channels", "2");
    stack.pushCommand(new ModelModifyCommand(b, model, "Channels", "", "2"));
    stack.undo();
    EXPECT_EQ(b->getNodeProperty("Channels", "none"), QStringLiteral(""));
    stack.redo();
    EXPECT_EQ(b->getNodeProperty("Channels"), QStringLiteral("2"));

    // A command outlives its node: after the node is gone the step finds nothing and does nothing.
    stack.pushCommand(new ModelModifyCommand(b, model, "Channels", "2", "3"));
    ASSERT_TRUE(bus->removeChild(b, true));
    const int before = spy->count();
    stack.undo();
    EXPECT_EQ(spy->count(), before);
}

} // namespace
