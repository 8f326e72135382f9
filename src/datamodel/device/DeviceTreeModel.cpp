#include "datamodel/device/DeviceTreeModel_p.h"

#include "datamodel/device/BaseDeviceNode.h"
#include "datamodel/device/BusProtocolNode.h"
#include "datamodel/device/DevDescription.h"
#include "datamodel/device/DeviceTreeNodeFactory.h"
#include "datamodel/device/PhysicalInterfaceNode.h"
#include "datamodel/model/AbstractProjectModel.h"
#include "datamodel/model/HostServices.h"
#include "datamodel/model/ObjectPath.h"
#include "datamodel/model/SoftAssert_p.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

#include <algorithm>

const QString DeviceTreeModelPrivate::Table = QStringLiteral("DEVICETREE");

namespace {

const QString DisplayName = QStringLiteral("DisplayName");
const QString TypeID = QStringLiteral("TypeID");
const QString NodeIndex = QStringLiteral("NodeIndex");
const QString OccupiedID = QStringLiteral("OccupiedID");

// Keys that a description gives as a default for the user to change (addresses, port
// settings): the refresh from the descriptions fills them in when they are missing but never
// overwrites what the user set. Every other key describes the hardware and follows its
// description.
const QSet<QString>& userSettings()
{
    static const QSet<QString> keys = {"IPAddress", "SubnetMask", "Gateway",  "BaudRate", "DataBits",
                                       "Parity",    "StopBits",   "Port",     "CycleTime"};
    return keys;
}

} // namespace

bool DeviceTreeModelPrivate::isUserSetting(const QString& key)
{
    return userSettings().contains(key);
}

namespace {

bool isEssential(const QVariantMap& map)
{
    return map.value(QStringLiteral("Flags")).toString() == QLatin1String("Essential")
        && !map.value(TypeID).toString().isEmpty();
}

} // namespace

// ---- private --------------------------------------------------------------------------------

DeviceTreeModelPrivate::DeviceTreeModelPrivate(DeviceTreeModel* q)
    : q(q), ids(MaxNodeId), rows(Table),
      writer(Table, {QStringLiteral("TYPEID"), QStringLiteral("NAME"), QStringLiteral("PARENTID"),
                     QStringLiteral("PROPERTIES"), QStringLiteral("COMPILEDATA")})
{
    ids.setUsed(0, true);
}

void DeviceTreeModelPrivate::log(const QString& text) const
{
    q->writeLog(HostServices::LogInfo, text);
}

void DeviceTreeModelPrivate::adopt(DeviceTreeNode* node)
{
    live.insert(node);
    byId[node->getID()] = node;
    ids.setUsed(node->getID(), true);
    QObject::connect(node, &ModelObject::dataChanged, q, &DeviceTreeModel::onDataChanged);
}

void DeviceTreeModelPrivate::forget(DeviceTreeNode* node)
{
    live.erase(node);
    releaseDisplayName(node);
    auto it = byId.find(node->getID());
    // Another node may hold the id by now (the new root during a conversion).
    if (it == byId.end() || it->second != node)
        return;
    byId.erase(it);
    if (!closing)
        ids.setUsed(node->getID(), false);
}

bool DeviceTreeModelPrivate::isLive(const ModelObject* object) const
{
    return object && live.count(object) != 0;
}

bool DeviceTreeModelPrivate::inTree(const DeviceTreeNode* node) const
{
    if (!node || !isLive(node))
        return false;
    while (node->getParentNode())
        node = node->getParentNode();
    return node == root.get();
}

DeviceTreeNode* DeviceTreeModelPrivate::createNode(const QString& typeId, unsigned int id, const QString& name)
{
    DeviceTreeNodeFactory* factory = deviceTreeNodeFactorys().value(typeId);
    if (!factory) {
        lastError = QStringLiteral("createNode factory not exit type id %1").arg(typeId);
        log(lastError);
        return nullptr;
    }
    if (id == IDDistributor::INVALID_ID) {
        lastError = QStringLiteral("createNode %1: every node id is taken").arg(name);
        log(lastError);
        return nullptr;
    }
    DeviceTreeNode* node = factory->create(id, name, q);
    // The node announced itself to this model in its constructor; anything else is a factory
    // that made a node for another model.
    DATAMODEL_ASSERT(isLive(node), {
        delete node;
        lastError = QStringLiteral("createNode factory of %1 made no node of this model").arg(typeId);
        return nullptr;
    });
    return node;
}

void DeviceTreeModelPrivate::deleteTree()
{
    std::unique_ptr<DeviceTreeNode> old = std::move(root);
    old.reset();
}

void DeviceTreeModelPrivate::resetIds()
{
    ids.reset(MaxNodeId);
    ids.setUsed(0, true);
    for (const auto& entry : byId)
        ids.setUsed(entry.first, true); // nodes held outside the tree keep theirs
}

QMap<QString, QStringList> DeviceTreeModelPrivate::childTypesOf(const QVariantMap& description)
{
    QMap<QString, QStringList> table;
    std::vector<QVariantMap> pending{description};
    while (!pending.empty()) {
        const QVariantMap map = std::move(pending.back());
        pending.pop_back();
        const QString typeId = map.value(TypeID).toString();
        if (!typeId.isEmpty()) {
            // A type described in several places (two serial ports) accepts what any of them lists.
            QStringList& accepted = table[typeId];
            for (const QString& child : map.value(QStringLiteral("ChildTypeID")).toString().split(',')) {
                const QString type = child.trimmed();
                if (!type.isEmpty() && !accepted.contains(type))
                    accepted << type;
            }
        }
        for (const QVariant& value : map)
            if (value.type() == QVariant::Map)
                pending.push_back(value.toMap());
    }
    return table;
}

void DeviceTreeModelPrivate::prepareDescription(const QString& rootName)
{
    childTypes = childTypesOf(DevDescription::instance()->devDescribe(rootName));
}

bool DeviceTreeModelPrivate::isValidChild(const QMap<QString, QStringList>& table, const QString& child,
                                          const QString& parent)
{
    auto it = table.constFind(parent);
    return it != table.constEnd() && it->contains(child);
}

QString DeviceTreeModelPrivate::propertyText(const QVariant& value)
{
    if (value.type() == QVariant::String)
        return value.toString().isNull() ? QStringLiteral("") : value.toString();
    if (value.type() != QVariant::Map)
        return QString();
    const QString language = DeviceTreeModel::interfaceLanguage();
    const QVariantMap texts = value.toMap();
    for (auto it = texts.begin(); it != texts.end(); ++it)
        if (it.key().compare(language, Qt::CaseInsensitive) == 0 && it.value().type() == QVariant::String)
            return it.value().toString().isNull() ? QStringLiteral("") : it.value().toString();
    return QString();
}

void DeviceTreeModelPrivate::fillProperties(DeviceTreeNode* node, const QVariantMap& map, bool withDisplayName)
{
    for (auto it = map.begin(); it != map.end(); ++it) {
        if (!withDisplayName && it.key() == DisplayName)
            continue;
        const QString text = propertyText(it.value());
        if (!text.isNull())
            node->setNodeProperty(it.key(), text);
    }
}

std::vector<std::pair<QString, QVariantMap>> DeviceTreeModelPrivate::essentialEntries(const QString& path, const QVariantMap& map)
{
    std::vector<std::pair<QString, QVariantMap>> out;
    for (auto it = map.begin(); it != map.end(); ++it) {
        if (it.value().type() != QVariant::Map)
            continue;
        const QVariantMap entry = it.value().toMap();
        if (isEssential(entry)) {
            out.emplace_back(path + '.' + it.key(), entry);
        } else if (!entry.contains(TypeID)) {
            for (auto sub = entry.begin(); sub != entry.end(); ++sub)
                if (sub.value().type() == QVariant::Map && isEssential(sub.value().toMap()))
                    out.emplace_back(path + '.' + it.key() + '.' + sub.key(), sub.value().toMap());
        }
    }
    return out;
}

DeviceTreeNode* DeviceTreeModelPrivate::buildNode(const QString& path, const QVariantMap& map, unsigned int id)
{
    const QString typeId = map.value(TypeID).toString();
    if (typeId.isEmpty()) {
        lastError = QStringLiteral("createDescriptionNode %1: no description with a TypeID").arg(path);
        log(lastError);
        return nullptr;
    }
    DeviceTreeNode* node =
        createNode(typeId, id == IDDistributor::INVALID_ID ? ids.fistUnusd() : id, path.section('.', -1));
    if (!node)
        return nullptr;
    fillProperties(node, map, true);
    registerDisplayName(node);
    for (const auto& [childPath, childMap] : essentialEntries(path, map)) {
        DeviceTreeNode* child = buildNode(childPath, childMap, IDDistributor::INVALID_ID);
        if (!child)
            continue;
        if (!node->appendChild(child)) {
            log(QStringLiteral("createDescriptionNode cannot append %1 to %2: %3")
                    .arg(child->getName(), node->getName(), node->getLastError()));
            delete child;
            continue;
        }
        child->created();
    }
    return node;
}

QString DeviceTreeModelPrivate::pathUnder(const QString& parentPath, const DeviceTreeNode* node)
{
    const QString name = node->getName();
    if (!DevDescription::instance()->devDescribe(name).isEmpty())
        return name;
    if (parentPath.isEmpty())
        return QString();
    if (dynamic_cast<const PhysicalInterfaceNode*>(node))
        return parentPath + QStringLiteral(".Interfaces.") + name;
    if (dynamic_cast<const BusProtocolNode*>(node))
        return parentPath + QStringLiteral(".Protocols.") + name;
    if (dynamic_cast<const BaseDeviceNode*>(node))
        return parentPath + '.' + name;
    return QString();
}

QString DeviceTreeModelPrivate::descriptionPath(const DeviceTreeNode* node) const
{
    std::vector<const DeviceTreeNode*> chain;
    for (const DeviceTreeNode* at = node; at; at = at->getParentNode())
        chain.push_back(at);
    QString path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        path = pathUnder(path, *it);
    return path;
}

QMap<QString, QString> DeviceTreeModelPrivate::refreshed(const QMap<QString, QString>& properties,
                                                         const QString& typeId, const QString& path)
{
    if (path.isEmpty())
        return properties;
    const QVariantMap description = DevDescription::instance()->devProperty(path).toMap();
    if (description.value(TypeID).toString() != typeId)
        return properties;
    QMap<QString, QString> out = properties;
    for (auto it = description.begin(); it != description.end(); ++it) {
        if (it.key() == DisplayName || (isUserSetting(it.key()) && out.contains(it.key())))
            continue;
        const QString text = propertyText(it.value());
        if (!text.isNull())
            out.insert(it.key(), text);
    }
    return out;
}

void DeviceTreeModelPrivate::refreshTree()
{
    log(QStringLiteral("updateProperty"));
    if (!root)
        return;
    std::vector<std::pair<DeviceTreeNode*, QString>> pending{{root.get(), QString()}};
    while (!pending.empty()) {
        auto [node, parentPath] = std::move(pending.back());
        pending.pop_back();
        const QString path = pathUnder(parentPath, node);
        const QMap<QString, QString> next = refreshed(node->getNodePropertys(), node->getTypeID(), path);
        for (auto it = next.begin(); it != next.end(); ++it)
            node->setNodeProperty(it.key(), it.value());
        for (DeviceTreeNode* child : node->getChildNodes())
            pending.emplace_back(child, path);
    }
}

void DeviceTreeModelPrivate::moveForSwitch(DeviceTreeNode* node, DeviceTreeNode* from, DeviceTreeNode* to)
{
    // The conversion checked every move beforehand; should a node be refused all the same, it
    // is kept without the checks rather than lost with the old tree.
    if (!to->appendChild(node)) {
        DATAMODEL_ASSERT(false, (void)0);
        log(QStringLiteral("updateRoot keeps %1 under %2 against: %3").arg(node->getName(), to->getName(), to->getLastError()));
        to->appendChildForSwitch(node);
    }
    from->removeChildForSwitch(node);
}

void DeviceTreeModelPrivate::registerDisplayName(DeviceTreeNode* node)
{
    const QString name = node->getNodeProperty(DisplayName);
    if (name.isEmpty())
        return;
    const DeviceTreeNode* holder = displayNames.value(name);
    if (holder == node)
        return;
    releaseDisplayName(node);
    if (!holder) {
        displayNames.insert(name, node);
        heldNames.insert(node, name);
        return;
    }
    QString candidate;
    for (int n = 1;; ++n) {
        candidate = name + '_' + QString::number(n);
        if (!displayNames.contains(candidate))
            break;
    }
    // Held before the change is announced, so that the announcement finds it taken by this node.
    displayNames.insert(candidate, node);
    heldNames.insert(node, candidate);
    node->setNodeProperty(DisplayName, candidate);
}

void DeviceTreeModelPrivate::releaseDisplayName(const DeviceTreeNode* node)
{
    auto it = heldNames.find(node);
    if (it == heldNames.end())
        return;
    if (displayNames.value(it.value()) == node)
        displayNames.remove(it.value());
    heldNames.erase(it);
}

std::vector<DeviceTreeNode*> DeviceTreeModelPrivate::preorder(DeviceTreeNode* top)
{
    std::vector<DeviceTreeNode*> out;
    std::vector<DeviceTreeNode*> pending;
    if (top)
        pending.push_back(top);
    while (!pending.empty()) {
        DeviceTreeNode* node = pending.back();
        pending.pop_back();
        out.push_back(node);
        const auto& children = node->getChildNodes();
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            pending.push_back(*it);
    }
    return out;
}

std::set<unsigned int> DeviceTreeModelPrivate::occupiedIds() const
{
    std::set<unsigned int> out;
    if (!root)
        return out;
    for (const QString& item : root->getNodeProperty(OccupiedID).split('.', Qt::SkipEmptyParts)) {
        bool ok = false;
        const unsigned int id = item.toUInt(&ok);
        if (ok)
            out.insert(id);
    }
    return out;
}

void DeviceTreeModelPrivate::setOccupiedIds(const std::set<unsigned int>& taken)
{
    QString text;
    for (unsigned int id : taken)
        text += QString::number(id) + '.';
    root->setNodeProperty(OccupiedID, text);
}

DeviceTreeNode* DeviceTreeModelPrivate::liveNode(ModelObject* object) const
{
    return isLive(object) ? static_cast<DeviceTreeNode*>(object) : nullptr; // only nodes are live
}

QJsonObject DeviceTreeModelPrivate::toJson(const DeviceTreeNode* node)
{
    return QJsonObject{
        {QStringLiteral("ID"), QString::number(node->getID())},
        {QStringLiteral("PARENTID"), QString::number(node->getParentID())},
        {QStringLiteral("TYPEID"), node->getTypeID()},
        {QStringLiteral("NAME"), node->getName()},
        {QStringLiteral("PROPERTIES"), propertiesText(node)},
    };
}

QString DeviceTreeModelPrivate::propertiesText(const DeviceTreeNode* node)
{
    QJsonObject properties;
    const auto& map = node->getNodePropertys();
    for (auto it = map.begin(); it != map.end(); ++it)
        properties.insert(it.key(), it.value());
    return QString::fromUtf8(QJsonDocument(properties).toJson(QJsonDocument::Compact));
}

QMap<QString, QString> DeviceTreeModelPrivate::parseProperties(const QString& json)
{
    QMap<QString, QString> out;
    const QJsonDocument document = QJsonDocument::fromJson(json.toUtf8());
    const QJsonObject object = document.object();
    for (auto it = object.begin(); it != object.end(); ++it)
        out.insert(it.key(), it.value().isString() ? it.value().toString() : QStringLiteral(""));
    return out;
}

void DeviceTreeModelPrivate::setProperties(DeviceTreeNode* node, const QMap<QString, QString>& properties)
{
    for (auto it = properties.begin(); it != properties.end(); ++it)
        node->setNodeProperty(it.key(), it.value());
}

// ---- the model ------------------------------------------------------------------------------

DeviceTreeModel::DeviceTreeModel(const std::string& name, AbstractProjectModel* project)
    : SubModel(name, project), d(std::make_unique<DeviceTreeModelPrivate>(this))
{
    qRegisterMetaType<DeviceTreeNode*>("DeviceTreeNode*"); // the argument of dataChanged
}

DeviceTreeModel::~DeviceTreeModel()
{
    d->closing = true;
    d->deleteTree();
    // Nodes still held elsewhere outlive the model: they must not call back into it.
    for (const ModelObject* object : std::vector<const ModelObject*>(d->live.begin(), d->live.end()))
        const_cast<DeviceTreeNode*>(static_cast<const DeviceTreeNode*>(object))->detachFromModel();
}

void DeviceTreeModel::writeLog(int type, const QString& text) const
{
    SubModel::writeLog(type, text.toStdString());
}

QString DeviceTreeModel::interfaceLanguage()
{
    return HostServices::setting(QStringLiteral("General/Language"), QLocale::system().name()).toString();
}

DeviceTreeNode* DeviceTreeModel::getRootNode() const
{
    return d->root.get();
}

QString DeviceTreeModel::getRootName() const
{
    return d->root ? d->root->getName() : QString();
}

QString DeviceTreeModel::getLastError() const
{
    return d->lastError;
}

DeviceTreeNode* DeviceTreeModel::getNode(const QString& path) const
{
    DeviceTreeNode* node = nullptr;
    for (const QString& piece : path.split(ObjectPath::Separator)) {
        unsigned int id = 0;
        if (!ObjectPath::toId(piece, id))
            return nullptr;
        node = node ? node->getChildNode(id) : (d->root && d->root->getID() == id ? d->root.get() : nullptr);
        if (!node)
            return nullptr;
    }
    return node;
}

DeviceTreeNode* DeviceTreeModel::nodeById(unsigned int id) const
{
    auto it = d->byId.find(id);
    return it != d->byId.end() && d->inTree(it->second) ? it->second : nullptr;
}

int DeviceTreeModel::getNodeCount() const
{
    return static_cast<int>(DeviceTreeModelPrivate::preorder(d->root.get()).size());
}

unsigned int DeviceTreeModel::takeID()
{
    d->log(QStringLiteral("takeID"));
    if (!d->root)
        return 0;
    const unsigned int id = d->ids.takenId();
    if (id == IDDistributor::INVALID_ID) {
        d->lastError = QStringLiteral("takeID: every id is taken");
        d->log(d->lastError);
        return 0;
    }
    std::set<unsigned int> taken = d->occupiedIds();
    taken.insert(id);
    d->setOccupiedIds(taken);
    return id;
}

bool DeviceTreeModel::backID(unsigned int id)
{
    d->log(QStringLiteral("backID"));
    std::set<unsigned int> taken = d->occupiedIds();
    // Only an id handed out by takeID comes back: releasing a node's id would hand it out twice.
    if (!d->root || taken.erase(id) == 0) {
        d->log(QStringLiteral("backID %1 was not handed out").arg(id));
        return false;
    }
    d->setOccupiedIds(taken);
    if (!d->byId.count(id))
        d->ids.setUsed(id, false);
    return true;
}

DeviceTreeNode* DeviceTreeModel::createDescriptionNode(const QString& path)
{
    d->log(QStringLiteral("createDescriptionNode path:%1").arg(path));
    return d->buildNode(path, DevDescription::instance()->devProperty(path).toMap(), IDDistributor::INVALID_ID);
}

QString DeviceTreeModel::getDescriptionPath(DeviceTreeNode* node) const
{
    return node ? d->descriptionPath(node) : QString();
}

DeviceTreeNode* DeviceTreeModel::addNode(DeviceTreeNode* parent, const QString& typeId, const QString& name)
{
    if (!d->inTree(parent)) {
        d->lastError = QStringLiteral("addNode %1: the parent is no node of the tree").arg(name);
        return nullptr;
    }
    DeviceTreeNode* node = d->createNode(typeId, d->ids.fistUnusd(), name);
    if (!node)
        return nullptr;
    // Filled from the description of its type that lies where it is to stand, if any.
    const QString path = DeviceTreeModelPrivate::pathUnder(d->descriptionPath(parent), node);
    const QVariantMap description = path.isEmpty() ? QVariantMap() : DevDescription::instance()->devProperty(path).toMap();
    if (description.value(TypeID).toString() == typeId) {
        delete node;
        node = d->buildNode(path, description, IDDistributor::INVALID_ID);
        if (!node)
            return nullptr;
    }
    if (!parent->appendChild(node)) {
        d->lastError = parent->getLastError();
        d->log(QStringLiteral("addNode %1 to %2 refused: %3").arg(name, parent->getName(), d->lastError));
        delete node;
        return nullptr;
    }
    d->registerDisplayName(node);
    node->created();
    return node;
}

QStringList DeviceTreeModel::getChildTypeID(DeviceTreeNode* node) const
{
    return node ? d->childTypes.value(node->getTypeID()) : QStringList();
}

bool DeviceTreeModel::isValidChild(DeviceTreeNode* child, DeviceTreeNode* parent) const
{
    return child && parent && DeviceTreeModelPrivate::isValidChild(d->childTypes, child->getTypeID(), parent->getTypeID());
}

void DeviceTreeModel::onDataChanged(ModelObject* object, const QString& name, const QString& value)
{
    DeviceTreeNode* node = d->closing ? nullptr : d->liveNode(object);
    if (!node)
        return;
    // Display names follow their nodes whatever the model is doing.
    if (name == QLatin1String("AboutToBeDestroyed"))
        d->releaseDisplayName(node);
    else if (name == QLatin1String("PropertyChanged") && value == DisplayName)
        d->registerDisplayName(node);
    if (d->opening)
        return;
    d->log(QStringLiteral("onDataChanged node:%1 type:%2 param:%3").arg(node->getName(), name, value));
    if (name == QLatin1String("AboutToBeDestroyed"))
        return;
    emit dataChanged(node, name, value);
    AbstractProjectModel* project = projectModel();
    if (project && project->type() == AbstractProjectModel::Project && !node->status()) {
        d->log(QStringLiteral("DeviceTreeModel::setProperty, Compile false"));
        markProjectModified(true);
        d->log(QStringLiteral("DeviceTreeModel::setProjectModify."));
    }
}

// ---- undo and redo --------------------------------------------------------------------------

QString DeviceTreeModel::getObjPath(ModelObject* obj)
{
    DeviceTreeNode* node = d->liveNode(obj);
    DATAMODEL_ASSERT(node && d->inTree(node), return QString());
    QStringList ids;
    for (const DeviceTreeNode* at = node; at; at = at->getParentNode())
        ids.prepend(QString::number(at->getID()));
    return ObjectPath::join(ids);
}

QString DeviceTreeModel::getObjIndex(ModelObject* obj)
{
    DeviceTreeNode* node = d->liveNode(obj);
    DATAMODEL_ASSERT(node, return QString());
    return node->getNodeProperty(NodeIndex);
}

QString DeviceTreeModel::objToData(ModelObject* obj)
{
    DeviceTreeNode* node = d->liveNode(obj);
    DATAMODEL_ASSERT(node, return QString());
    QJsonArray array;
    for (const DeviceTreeNode* at : DeviceTreeModelPrivate::preorder(node))
        array.append(DeviceTreeModelPrivate::toJson(at));
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

bool DeviceTreeModel::restoreObj(ModelObject* obj, const QString& data)
{
    DeviceTreeNode* node = d->liveNode(obj);
    DATAMODEL_ASSERT(node, return false);
    const QJsonArray array = QJsonDocument::fromJson(data.toUtf8()).array();
    if (array.isEmpty() || !array.first().isObject())
        return false;
    node->clearProperty();
    DeviceTreeModelPrivate::setProperties(
        node, DeviceTreeModelPrivate::parseProperties(array.first().toObject().value(QStringLiteral("PROPERTIES")).toString()));
    return true;
}

bool DeviceTreeModel::insertObject(const QString& path, const QString& data)
{
    std::vector<DeviceTreeModelPrivate::NodeData> nodes;
    QString why;
    DeviceTreeNode* parent = nullptr;
    if (!d->readNodeData(path, data, nodes, parent, &why)) {
        d->lastError = QStringLiteral("insertObject %1 refused: %2").arg(path, why);
        d->log(d->lastError);
        return false;
    }
    std::unique_ptr<DeviceTreeNode> top;
    std::unordered_map<unsigned int, DeviceTreeNode*> made;
    for (const auto& item : nodes) {
        DeviceTreeNode* node = d->createNode(item.typeId, item.id, item.name);
        if (!node)
            return false; // `top` deletes what was made
        DeviceTreeModelPrivate::setProperties(node, DeviceTreeModelPrivate::parseProperties(item.properties));
        made[item.id] = node;
        if (!top) {
            top.reset(node);
        } else if (!made[item.parentId]->appendChild(node)) {
            d->lastError = made[item.parentId]->getLastError();
            delete node;
            return false;
        }
    }
    if (!parent->appendChild(top.get())) {
        d->lastError = parent->getLastError();
        d->log(QStringLiteral("insertObject %1 refused: %2").arg(path, d->lastError));
        return false;
    }
    DeviceTreeNode* inserted = top.release(); // owned by its parent now
    for (DeviceTreeNode* node : DeviceTreeModelPrivate::preorder(inserted))
        d->registerDisplayName(node);
    parent->sortChildNode();
    return true;
}

bool DeviceTreeModel::removeObject(const QString& path, QString& data)
{
    DeviceTreeNode* node = getNode(path);
    if (!node || node == d->root.get())
        return false;
    const QString removed = objToData(node);
    if (!node->getParentNode()->removeChild(node, true))
        return false;
    data = removed;
    return true;
}

bool DeviceTreeModel::moveObject(const QString& path, const QString& to)
{
    DeviceTreeNode* node = getNode(path);
    bool ok = false;
    to.toInt(&ok);
    if (!node || node == d->root.get() || !ok)
        return false;
    node->setNodeProperty(NodeIndex, to);
    node->getParentNode()->sortChildNode();
    return true;
}

bool DeviceTreeModel::changeProperty(const QString& path, const QString& key, const QString&, const QString& to)
{
    DeviceTreeNode* node = getNode(path);
    if (!node || key.isEmpty())
        return false;
    node->setNodeProperty(key, to);
    return true;
}
