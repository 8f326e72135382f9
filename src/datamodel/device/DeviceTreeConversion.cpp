// DeviceTreeModel: converting the tree to another controller.
#include "datamodel/device/DeviceTreeModel_p.h"

#include "datamodel/device/DevDescription.h"
#include "datamodel/device/LANInterfaceNode.h"
#include "datamodel/model/HostServices.h"
#include "datamodel/model/SoftAssert_p.h"

#include <algorithm>

namespace {

QString at(const QString& type, const QString& key)
{
    return DevDescription::instance()->devProperty(type + '.' + key).toString();
}

bool differ(const QString& oldType, const QString& newType, const QString& key)
{
    return at(oldType, key) != at(newType, key);
}

QStringList interfacesOf(const QString& type)
{
    return DevDescription::instance()->devProperty(type + QStringLiteral(".Interfaces")).toMap().keys();
}

bool isNetworkName(const QString& name)
{
    return name == QLatin1String("EtherNet0") || name == QLatin1String("Ethernet");
}

// The network interface that a conversion replaces: an Ethernet port under its usual name.
DeviceTreeNode* networkInterface(DeviceTreeNode* root)
{
    for (DeviceTreeNode* child : root->getChildNodes())
        if (dynamic_cast<LANInterfaceNode*>(child) && isNetworkName(child->getName()))
            return child;
    return nullptr;
}

double power(const QMap<QString, QString>& properties)
{
    return properties.value(QStringLiteral("Power")).section('W', 0, 0).trimmed().toDouble();
}

QString describe(const DeviceTreeNode* node)
{
    return QStringLiteral("%1 (%2, id %3)").arg(node->getName(), node->getTypeID()).arg(node->getID());
}

// What a conversion would make of the tree, worked out before anything changes.
class ConversionPlan
{
public:
    ConversionPlan(const QMap<QString, QStringList>& table, const QString& newRoot)
        : m_table(table), m_newRoot(newRoot)
    {
    }

    // Checks `node` (and its subtree) as a child of a node of type `parentType` whose
    // description path is `parentPath`.
    void check(const DeviceTreeNode* node, const QString& parentType, const QString& parentPath)
    {
        if (!DeviceTreeModelPrivate::isValidChild(m_table, node->getTypeID(), parentType)) {
            misfits << QStringLiteral("%1 cannot stand under %2").arg(describe(node), parentType);
            return;
        }
        const QString path = DeviceTreeModelPrivate::pathUnder(parentPath, node);
        checkChildren(node, node->getChildNodes(), node->getTypeID(), path,
                      DeviceTreeModelPrivate::refreshed(node->getNodePropertys(), node->getTypeID(), path));
    }

    // Checks `children` as the children of a node of type `type` with the properties
    // `properties`: their types, the node's child count and power budget, and their subtrees.
    void checkChildren(const DeviceTreeNode* owner, const std::vector<DeviceTreeNode*>& children, const QString& type,
                       const QString& path, const QMap<QString, QString>& properties)
    {
        double sum = 0;
        for (const DeviceTreeNode* child : children) {
            const QString childPath = DeviceTreeModelPrivate::pathUnder(path, child);
            sum += power(DeviceTreeModelPrivate::refreshed(child->getNodePropertys(), child->getTypeID(), childPath));
            check(child, type, path);
        }
        const QString name = owner ? describe(owner) : m_newRoot;
        if (properties.contains(QStringLiteral("MaxChildCount"))
            && static_cast<int>(children.size()) > properties.value(QStringLiteral("MaxChildCount")).toInt())
            misfits << QStringLiteral("%1 would hold %2 devices, more than %3")
                           .arg(name)
                           .arg(children.size())
                           .arg(properties.value(QStringLiteral("MaxChildCount")));
        if (properties.contains(QStringLiteral("MaxPower"))
            && sum > properties.value(QStringLiteral("MaxPower")).toInt())
            misfits << QStringLiteral("%1 would supply %2W, more than %3W")
                           .arg(name)
                           .arg(sum)
                           .arg(properties.value(QStringLiteral("MaxPower")));
    }

    QStringList misfits;

private:
    const QMap<QString, QStringList>& m_table;
    const QString m_newRoot;
};

} // namespace

QMap<QString, QString> DeviceTreeModel::typeDiffCompare(const QString& oldType, const QString& newType) const
{
    QMap<QString, QString> topics;
    if (differ(oldType, newType, QStringLiteral("InputPin")) || differ(oldType, newType, QStringLiteral("OutputPin")))
        topics.insert(QStringLiteral("IOMap"), tr("Project conversion will change the relevant configuration of IO mapping"));
    if (differ(oldType, newType, QStringLiteral("Task")))
        topics.insert(QStringLiteral("Task"), tr("Project conversion will change the relevant configuration of Task"));
    if (differ(oldType, newType, QStringLiteral("Motion.MaxAxis"))
        || differ(oldType, newType, QStringLiteral("Motion.Axis_Virtual.MaxAxis"))
        || differ(oldType, newType, QStringLiteral("Motion.Axis_Pulse.MaxAxis"))
        || differ(oldType, newType, QStringLiteral("Motion.Axis_Encoder.MaxAxis")))
        topics.insert(QStringLiteral("Axis"), tr("Project conversion will change the relevant configuration of Axis"));
    QStringList lost;
    const QStringList kept = interfacesOf(newType);
    for (const QString& name : interfacesOf(oldType)) {
        if (kept.contains(name) || isNetworkName(name) || !d->root)
            continue;
        for (const DeviceTreeNode* child : d->root->getChildNodes())
            if (child->getName() == name && !lost.contains(name))
                lost << name;
    }
    if (!lost.isEmpty())
        topics.insert(QStringLiteral("NetDev"),
                      tr("Project conversion will delete the relevant configuration of %1").arg(lost.join(QStringLiteral(", "))));
    if (differ(oldType, newType, QStringLiteral("LocalBus.MaxChildCount"))
        || differ(oldType, newType, QStringLiteral("LocalBus.MaxPower")))
        topics.insert(QStringLiteral("Hardware"), tr("Project conversion will delete the relevant configuration of Hardware"));
    return topics;
}

void DeviceTreeModel::getRemoveDevString(DeviceTreeNode* node, QMap<QString, QString>& map) const
{
    if (!node)
        return;
    for (const DeviceTreeNode* child : node->getChildNodes()) {
        if (child->getChildNodes().empty())
            continue;
        if (child->getTypeID() == QLatin1String("LocalBusProtocolNode"))
            map.insert(QStringLiteral("Hardware"), tr("Project conversion will delete the relevant configuration of Hardware"));
        else if (child->getTypeID() == QLatin1String("BDSlotDeviceNode"))
            map.insert(QStringLiteral("BDMoudle"), tr("Project conversion will change the relevant configuration of BDMoudle"));
    }
}

bool DeviceTreeModel::updateRoot(const QString& newRootName)
{
    d->log(QStringLiteral("updateRoot updateRootName %1").arg(newRootName));
    const QVariantMap description = DevDescription::instance()->devDescribe(newRootName);
    const QString rootType = description.value(QStringLiteral("TypeID")).toString();
    if (!d->root || rootType.isEmpty()) {
        d->lastError = d->root ? QStringLiteral("updateRoot: no controller is described as %1").arg(newRootName)
                               : QStringLiteral("updateRoot: the project has no device tree");
        d->log(d->lastError);
        return false;
    }
    const QMap<QString, QStringList> table = DeviceTreeModelPrivate::childTypesOf(description);
    DeviceTreeNode* oldRoot = d->root.get();
    const QString netName = newRootName.section('_', 0, 0) == QLatin1String("VX7") ? QStringLiteral("EtherNet0")
                                                                                  : QStringLiteral("Ethernet");
    const QString netPath = newRootName + QStringLiteral(".Interfaces.") + netName;
    const QVariantMap netDescription = DevDescription::instance()->devProperty(netPath).toMap();
    DeviceTreeNode* oldNet = netDescription.contains(QStringLiteral("TypeID")) ? networkInterface(oldRoot) : nullptr;

    // Whatever the user configured must find a place in the new tree; only the empty
    // structural children of the old controller (a board slot the new one lacks) may go.
    QStringList oldEssentials;
    for (const auto& entry :
         DeviceTreeModelPrivate::essentialEntries(
             oldRoot->getName(), DevDescription::instance()->devDescribe(oldRoot->getName())))
        oldEssentials << entry.first.section('.', -1);
    ConversionPlan plan(table, newRootName);
    std::vector<DeviceTreeNode*> moved, dropped;
    for (DeviceTreeNode* child : oldRoot->getChildNodes()) {
        if (child == oldNet) {
            const QString netType = netDescription.value(QStringLiteral("TypeID")).toString();
            plan.checkChildren(nullptr, child->getChildNodes(), netType, netPath,
                               DeviceTreeModelPrivate::refreshed({}, netType, netPath));
        } else if (!DeviceTreeModelPrivate::isValidChild(table, child->getTypeID(), rootType)
                   && child->getChildNodes().empty() && oldEssentials.contains(child->getName())) {
            dropped.push_back(child);
        } else {
            moved.push_back(child);
        }
    }
    plan.checkChildren(nullptr, moved, rootType, newRootName,
                       DeviceTreeModelPrivate::refreshed({}, rootType, newRootName));
    if (!plan.misfits.isEmpty()) {
        d->lastError = QStringLiteral("updateRoot %1 refused, the tree is unchanged: %2")
                           .arg(newRootName, plan.misfits.join(QStringLiteral("; ")));
        d->log(d->lastError);
        return false;
    }

    emit rootAboutToBeUpdated();
    d->childTypes = table;
    d->releaseDisplayName(oldRoot); // the new controller may bear the same name
    DeviceTreeNode* newRoot = d->buildNode(newRootName, description, 1);
    if (!newRoot) {
        d->prepareDescription(oldRoot->getName());
        d->registerDisplayName(oldRoot);
        return false;
    }
    if (oldRoot->containProperty(QStringLiteral("ModbusConfig")))
        newRoot->setNodeProperty(QStringLiteral("ModbusConfig"), oldRoot->getNodeProperty(QStringLiteral("ModbusConfig")));
    QStringList interfaces = interfacesOf(newRootName);
    auto dropNamed = [&](const QString& name) {
        interfaces.removeAll(name);
        for (DeviceTreeNode* child : std::vector<DeviceTreeNode*>(newRoot->getChildNodes()))
            if (child->getName() == name)
                newRoot->removeChild(child, true);
    };
    for (DeviceTreeNode* child : std::vector<DeviceTreeNode*>(oldRoot->getChildNodes())) {
        if (std::find(dropped.begin(), dropped.end(), child) != dropped.end()) {
            d->log(QStringLiteral("updateRoot drops the empty %1").arg(describe(child)));
            continue;
        }
        dropNamed(child->getName());
        if (child != oldNet) {
            d->moveForSwitch(child, oldRoot, newRoot);
            continue;
        }
        dropNamed(netName);
        DeviceTreeNode* net = d->buildNode(netPath, netDescription, IDDistributor::INVALID_ID);
        if (!net)
            continue;
        // The port's settings, position and state carry over; what describes the hardware
        // comes from the new controller's description.
        for (const QString& key : net->getNodePropertys().keys() + QStringList{"Enable", "NodeIndex"})
            if (child->containProperty(key) && (DeviceTreeModelPrivate::isUserSetting(key) || !net->containProperty(key)))
                net->setNodeProperty(key, child->getNodeProperty(key));
        for (DeviceTreeNode* below : std::vector<DeviceTreeNode*>(child->getChildNodes())) {
            d->moveForSwitch(below, child, net);
        }
        const QString displayName = child->getNodeProperty(QStringLiteral("DisplayName"));
        oldRoot->removeChildForSwitch(child);
        delete child; // gives its display name back first
        if (!displayName.isEmpty())
            net->setNodeProperty(QStringLiteral("DisplayName"), displayName);
        d->registerDisplayName(net);
        newRoot->appendChild(net);
    }
    if (HostServices::cookie(QStringLiteral("Program.Style")).toInt() == 1) {
        for (const QString& name : interfaces) {
            DeviceTreeNode* node = createDescriptionNode(newRootName + QStringLiteral(".Interfaces.") + name);
            if (node && !newRoot->appendChild(node))
                delete node;
        }
    }
    newRoot->setNodeProperty(QStringLiteral("OccupiedID"), oldRoot->getNodeProperty(QStringLiteral("OccupiedID")));
    std::unique_ptr<DeviceTreeNode> old = std::move(d->root);
    d->root.reset(newRoot);
    old.reset(); // with the dropped children
    newRoot->sortChildNode();
    d->refreshTree();
    emit dataChanged(newRoot, QStringLiteral("UpdateRootNode"), newRootName);
    emit rootUpdated();
    return true;
}
