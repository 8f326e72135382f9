// DeviceTreeModel: the table DEVICETREE, read into the tree and written back.
#include "datamodel/device/DeviceTreeModel_p.h"

#include "datamodel/device/DevDescription.h"
#include "datamodel/device/DeviceTreeNodeFactory.h"
#include "datamodel/model/AbstractProjectModel.h"
#include "datamodel/model/ObjectPath.h"
#include "datamodel/model/ScopedTransaction_p.h"
#include "datamodel/model/SoftAssert_p.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlError>
#include <QSqlQuery>

#include <limits>

namespace {

// Device trees are a few levels deep; a deeper chain in a file is damage, not configuration,
// and is kept in the file instead of being walked.
constexpr int MaxDepth = 64;

struct Row
{
    QString typeId;
    QString name;
    QString properties;
};

// The rows of the table by id and the children of each id in table order.
struct Rows
{
    QHash<qint64, Row> byId;
    QHash<qint64, QVector<qint64>> children;

    // `id` and every row below it, each once.
    std::vector<qint64> subtree(qint64 id) const
    {
        std::vector<qint64> out;
        QSet<qint64> seen{id};
        std::vector<qint64> pending{id};
        while (!pending.empty()) {
            const qint64 at = pending.back();
            pending.pop_back();
            out.push_back(at);
            for (qint64 child : children.value(at))
                if (!seen.contains(child)) {
                    seen.insert(child);
                    pending.push_back(child);
                }
        }
        return out;
    }
};

bool fitsId(qint64 id)
{
    return id >= 0 && id <= std::numeric_limits<unsigned int>::max();
}

} // namespace

bool DeviceTreeModelPrivate::readNodeData(const QString& path, const QString& data, std::vector<NodeData>& nodes,
                                          DeviceTreeNode*& parent, QString* why) const
{
    const QJsonDocument document = QJsonDocument::fromJson(data.toUtf8());
    const QJsonArray array = document.array();
    if (!document.isArray() || array.isEmpty()) {
        *why = QStringLiteral("the data is no JSON array of nodes");
        return false;
    }
    std::set<unsigned int> seen;
    for (const QJsonValue& value : array) {
        const QJsonObject object = value.toObject();
        NodeData item;
        bool idOk = false, parentOk = false;
        item.id = object.value(QStringLiteral("ID")).toString().toUInt(&idOk);
        item.parentId = object.value(QStringLiteral("PARENTID")).toString().toUInt(&parentOk);
        item.typeId = object.value(QStringLiteral("TYPEID")).toString();
        item.name = object.value(QStringLiteral("NAME")).toString();
        item.properties = object.value(QStringLiteral("PROPERTIES")).toString();
        if (!idOk || !parentOk || item.typeId.isEmpty()) {
            *why = QStringLiteral("a node without ID, PARENTID or TYPEID");
            return false;
        }
        if (ids.isUsed(item.id) || byId.count(item.id) || keptRows.count(item.id) || !seen.insert(item.id).second) {
            *why = QStringLiteral("the id %1 is taken").arg(item.id);
            return false;
        }
        if (!nodes.empty() && !seen.count(item.parentId)) {
            *why = QStringLiteral("the parent %1 of node %2 is not before it").arg(item.parentId).arg(item.id);
            return false;
        }
        if (!deviceTreeNodeFactorys().contains(item.typeId)) {
            *why = QStringLiteral("no node factory for type %1").arg(item.typeId);
            return false;
        }
        nodes.push_back(item);
    }
    QStringList pieces = path.split(ObjectPath::Separator);
    unsigned int last = 0;
    if (!ObjectPath::toId(pieces.takeLast(), last) || last != nodes.front().id || pieces.isEmpty()) {
        *why = QStringLiteral("the path does not name the first node under a parent");
        return false;
    }
    parent = q->getNode(ObjectPath::join(pieces));
    if (!parent || parent->getID() != nodes.front().parentId) {
        *why = QStringLiteral("the parent %1 is not in the tree").arg(nodes.front().parentId);
        return false;
    }
    return true;
}

bool DeviceTreeModel::open()
{
    d->log(QStringLiteral("open"));
    d->opening = true;
    d->deleteTree();
    d->resetIds();
    d->keptRows.clear();
    d->rows.clear();
    d->childTypes.clear();
    d->lastError.clear();
    const bool ok = d->load();
    d->opening = false;
    if (!ok)
        return false;
    emit rootCreated();
    return true;
}

bool DeviceTreeModelPrivate::load()
{
    Rows table;
    QSqlQuery query(q->database());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT ID, TYPEID, NAME, PARENTID, PROPERTIES FROM DEVICETREE ORDER BY ID"))) {
        lastError = QStringLiteral("open: reading DEVICETREE failed: %1").arg(query.lastError().text());
        log(lastError);
        return false;
    }
    while (query.next()) {
        const qint64 id = query.value(0).toLongLong();
        table.byId.insert(id, Row{query.value(1).toString(), query.value(2).toString(), query.value(4).toString()});
        table.children[query.value(3).toLongLong()].append(id);
        if (fitsId(id))
            rows.add(static_cast<unsigned int>(id));
    }
    if (!q->readToTheEnd(query, "DeviceTree")) {
        lastError = QStringLiteral("open: reading DEVICETREE failed: %1").arg(query.lastError().text());
        return false;
    }
    if (!table.byId.contains(1)) {
        log(QStringLiteral("open root null"));
        return false;
    }
    prepareDescription(table.byId.value(1).name);
    lastError.clear();

    QHash<const DeviceTreeNode*, QMap<QString, QString>> stored; // the properties as the rows hold them
    auto make = [&](qint64 id) -> DeviceTreeNode* {
        const Row row = table.byId.value(id);
        DeviceTreeNode* node = createNode(row.typeId, static_cast<unsigned int>(id), row.name);
        if (!node)
            return nullptr;
        // The row's own values: a display name made unique while they are applied is a change.
        const QMap<QString, QString> properties = parseProperties(row.properties);
        stored.insert(node, properties);
        setProperties(node, properties);
        registerDisplayName(node);
        return node;
    };
    root.reset(make(1));
    if (!root) {
        log(QStringLiteral("open lastError %1, clear root").arg(lastError));
        log(QStringLiteral("open root null"));
        return false;
    }

    QStringList unloaded;
    auto keep = [&](qint64 id, const QString& why) {
        unloaded << QStringLiteral("%1 (%2)").arg(table.byId.value(id).name, why);
        for (qint64 below : table.subtree(id))
            if (fitsId(below))
                keptRows.insert(static_cast<unsigned int>(below));
    };
    struct Frame
    {
        DeviceTreeNode* node;
        QVector<qint64> children;
        int next;
        int depth;
    };
    QSet<qint64> visited{1};
    std::vector<Frame> pending{{root.get(), table.children.value(1), 0, 0}};
    while (!pending.empty()) {
        Frame& frame = pending.back();
        if (frame.next >= frame.children.size()) {
            pending.pop_back();
            continue;
        }
        const qint64 id = frame.children[frame.next++];
        DeviceTreeNode* parent = frame.node;
        const int depth = frame.depth + 1;
        if (visited.contains(id) || !fitsId(id))
            continue;
        visited.insert(id);
        if (depth > MaxDepth) {
            keep(id, QStringLiteral("deeper than %1 levels").arg(MaxDepth));
            continue;
        }
        DeviceTreeNode* child = make(id);
        if (!child) {
            keep(id, lastError);
            continue;
        }
        if (!parent->appendChild(child)) {
            log(QStringLiteral("openNode cannot append  %1 to %2").arg(child->getName(), parent->getName()));
            keep(id, parent->getLastError());
            delete child;
            continue;
        }
        pending.push_back({child, table.children.value(id), 0, depth}); // `frame` is invalid from here
    }

    // A node is modified when it differs from its row: a display name made unique, a position
    // given to a child that had none.
    for (DeviceTreeNode* node : preorder(root.get()))
        node->setModified(node->getNodePropertys() != stored.value(node));
    root->sortChildNode();
    for (unsigned int id : occupiedIds())
        ids.setUsed(id, true);
    for (unsigned int id : keptRows)
        ids.setUsed(id, true);
    refreshTree();
    addEssentialChildren();
    lastError.clear();
    if (!unloaded.isEmpty()) {
        lastError = QStringLiteral("open kept %1 device(s) in the file that the tree cannot hold: %2")
                        .arg(unloaded.size())
                        .arg(unloaded.join(QStringLiteral("; ")));
        log(lastError);
    }
    for (DeviceTreeNode* node : preorder(root.get()))
        node->loaded();
    return true;
}

void DeviceTreeModelPrivate::addEssentialChildren()
{
    if (root->getName().section('_', 0, 0) != QLatin1String("VX7"))
        return;
    QSet<QString> present;
    for (const DeviceTreeNode* child : root->getChildNodes())
        present.insert(child->getTypeID());
    const QVariantMap description = DevDescription::instance()->devDescribe(root->getName());
    for (auto it = description.begin(); it != description.end(); ++it) {
        const QVariantMap entry = it.value().toMap();
        const QString typeId = entry.value(QStringLiteral("TypeID")).toString();
        if (entry.value(QStringLiteral("Flags")).toString() != QLatin1String("Essential") || typeId.isEmpty()
            || present.contains(typeId))
            continue;
        DeviceTreeNode* node = createNode(typeId, ids.fistUnusd(), it.key());
        if (!node)
            continue;
        fillProperties(node, entry, true);
        if (!root->appendChild(node)) {
            log(QStringLiteral("open cannot add the essential %1: %2").arg(it.key(), root->getLastError()));
            delete node;
            continue;
        }
        present.insert(typeId);
        registerDisplayName(node);
        node->created();
    }
}

bool DeviceTreeModel::create(const std::map<std::string, std::string>& params)
{
    auto it = params.find("deviceType");
    const QString deviceType = it == params.end() ? QString() : QString::fromStdString(it->second);
    if (deviceType.isEmpty()) {
        d->lastError = QStringLiteral("create needs the option deviceType");
        d->log(d->lastError);
        return false;
    }
    d->deleteTree();
    d->resetIds();
    d->keptRows.clear();
    d->rows.clear();
    d->lastError.clear();
    d->prepareDescription(deviceType);
    d->root.reset(d->buildNode(deviceType, DevDescription::instance()->devDescribe(deviceType), 1));
    if (!d->root) {
        d->log(QStringLiteral("create %1 failed: %2").arg(deviceType, d->lastError));
        return false;
    }
    d->root->sortChildNode();
    bool ok = true;
    for (DeviceTreeNode* node : DeviceTreeModelPrivate::preorder(d->root.get()))
        ok = saveObject(node) && ok;
    if (ok)
        emit rootCreated();
    return ok;
}

bool DeviceTreeModelPrivate::writeNode(DeviceTreeNode* node, QString* error)
{
    const QVector<QVariant> values = {node->getTypeID(), node->getName(),
                                      static_cast<qlonglong>(node->getParentID()), propertiesText(node),
                                      node->getNodeProperty(QStringLiteral("CompileData"), QStringLiteral(""))};
    return writer.write(q->projectModel(), node->getID(), values, rows.contains(node->getID()), error);
}

bool DeviceTreeModel::save()
{
    if (!d->root) {
        d->log(QStringLiteral("save root null return false"));
        return false;
    }
    QSqlDatabase db = database();
    ScopedTransaction transaction(db);
    if (!transaction.isActive()) {
        d->log(QStringLiteral("save %1").arg(transaction.errorText()));
        return false;
    }
    const std::vector<DeviceTreeNode*> nodes = DeviceTreeModelPrivate::preorder(d->root.get());
    std::unordered_set<unsigned int> present;
    for (const DeviceTreeNode* node : nodes)
        present.insert(node->getID());
    QString error;
    // Rows of removed nodes go; rows the tree could not hold when loaded stay.
    if (!d->rows.sweep(db, [&](unsigned int id) { return present.count(id) != 0 || d->keptRows.count(id) != 0; },
                       &error)) {
        logFailure("save: deleting removed devices failed: " + error.toStdString());
        return false;
    }
    std::vector<DeviceTreeNode*> written;
    // Only the nodes that are written get their lines: a line per unchanged node made the log
    // the main cost of saving a large tree.
    int unchanged = 0;
    for (DeviceTreeNode* node : nodes) {
        if (!node->isModified()) {
            ++unchanged;
            continue;
        }
        d->log(QStringLiteral("saveNode %1 isModified %2").arg(node->getName()).arg(node->isModified()));
        if (!d->writeNode(node, &error)) {
            // The first failure ends the save: it is rolled back as a whole.
            logFailure("saveNode " + node->getName().toStdString() + " failed: " + error.toStdString());
            return false;
        }
        written.push_back(node);
        d->rows.add(node->getID());
    }
    d->log(QStringLiteral("save: %1 node(s) written, %2 unchanged").arg(written.size()).arg(unchanged));
    // Only what reached the file counts as saved: the flags change after the commit.
    const std::vector<unsigned int> gone = d->rows.swept();
    afterSave([this, gone, written] {
        d->rows.forget(gone);
        for (DeviceTreeNode* node : written)
            if (d->liveNode(node) && d->clearAfterSave)
                node->setModified(false);
    });
    if (!transaction.commit()) {
        logFailure("save of the device tree failed: " + transaction.errorText().toStdString());
        return false;
    }
    return true;
}

bool DeviceTreeModel::saveAs(bool flag)
{
    d->clearAfterSave = flag;
    d->writer.learnStoredRows(database(), d->rows);
    return true;
}

bool DeviceTreeModel::saveObject(ModelObject* obj)
{
    DeviceTreeNode* node = d->liveNode(obj);
    DATAMODEL_ASSERT(node, return false);
    QString error;
    if (!d->writeNode(node, &error)) {
        d->log(QStringLiteral("saveNode %1 failed: %2").arg(node->getName(), error));
        return false;
    }
    d->rows.add(node->getID());
    afterSave([this, node] {
        if (d->liveNode(node) && d->clearAfterSave)
            node->setModified(false);
    });
    return true;
}

bool DeviceTreeModel::loadObject(ModelObject* obj)
{
    DeviceTreeNode* node = d->liveNode(obj);
    DATAMODEL_ASSERT(node, return false);
    QSqlQuery query(database());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT PROPERTIES FROM DEVICETREE WHERE ID = ?"));
    query.addBindValue(static_cast<qlonglong>(node->getID()));
    if (!query.exec() || !query.next()) {
        d->log(QStringLiteral("loadNode %1 failed: %2").arg(node->getName(), query.lastError().text()));
        return false;
    }
    node->clearProperty();
    DeviceTreeModelPrivate::setProperties(node, DeviceTreeModelPrivate::parseProperties(query.value(0).toString()));
    node->setModified(false);
    return true;
}
