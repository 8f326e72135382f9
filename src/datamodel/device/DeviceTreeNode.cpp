#include "datamodel/device/DeviceTreeNode.h"

#include "datamodel/device/DeviceTreeModel_p.h"

#include <algorithm>

class DeviceTreeNodePrivate
{
public:
    QString name;
    unsigned int id = 0;
    unsigned int parentId = 0;
    QMap<QString, QString> properties;
    std::vector<DeviceTreeNode*> children; // owned, in display order
    DeviceTreeNode* parent = nullptr;      // null for the root and for a detached node
    DeviceTreeModel* model = nullptr;      // not owned
    QString lastError;
};

namespace {

const QString NodeIndex = QStringLiteral("NodeIndex");

// "2.5W" -> 2.5: the text before the first "W"; missing or unreadable counts 0.
double power(const DeviceTreeNode* node)
{
    return node ? node->getNodeProperty(QStringLiteral("Power")).section('W', 0, 0).trimmed().toDouble() : 0.0;
}

int nodeIndex(const DeviceTreeNode* node)
{
    return node->getNodeProperty(NodeIndex).toInt();
}

} // namespace

DeviceTreeNode::DeviceTreeNode(unsigned int id, const QString& name, DeviceTreeModel* model)
    : ModelObject(model), d(std::make_unique<DeviceTreeNodePrivate>())
{
    d->id = id;
    d->name = name;
    d->model = model;
    setModified(true);
    if (model)
        model->d->adopt(this);
}

DeviceTreeNode::~DeviceTreeNode()
{
    emitChange("AboutToBeDestroyed", QString());
    // A parent must not keep a pointer to a node deleted behind its back.
    if (d->parent) {
        auto& siblings = d->parent->d->children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    }
    const std::vector<DeviceTreeNode*> children = std::move(d->children);
    for (DeviceTreeNode* child : children) {
        child->d->parent = nullptr;
        delete child;
    }
    if (d->model)
        d->model->d->forget(this);
}

void DeviceTreeNode::detachFromModel()
{
    if (d->model)
        QObject::disconnect(this, nullptr, d->model, nullptr);
    d->model = nullptr;
}

unsigned int DeviceTreeNode::getID() const { return d->id; }
unsigned int DeviceTreeNode::getParentID() const { return d->parentId; }
QString DeviceTreeNode::getName() const { return d->name; }
DeviceTreeModel* DeviceTreeNode::getModel() const { return d->model; }
DeviceTreeNode* DeviceTreeNode::getParentNode() const { return d->parent; }
const std::vector<DeviceTreeNode*>& DeviceTreeNode::getChildNodes() const { return d->children; }
const QMap<QString, QString>& DeviceTreeNode::getNodePropertys() const { return d->properties; }
QString DeviceTreeNode::getLastError() const { return d->lastError; }
void DeviceTreeNode::loaded() {}
void DeviceTreeNode::created() {}

DeviceTreeNode* DeviceTreeNode::getChildNode(unsigned int id) const
{
    for (DeviceTreeNode* child : d->children)
        if (child->getID() == id)
            return child;
    return nullptr;
}

QString DeviceTreeNode::getNodeProperty(const QString& key, const QString& defaultValue) const
{
    return d->properties.value(key, defaultValue);
}

bool DeviceTreeNode::containProperty(const QString& key) const
{
    return d->properties.contains(key);
}

void DeviceTreeNode::emitChange(const char* change, const QString& detail)
{
    emit dataChanged(this, QString::fromLatin1(change), detail);
}

void DeviceTreeNode::setNodeProperty(const QString& key, const QString& value)
{
    auto it = d->properties.constFind(key);
    if (it != d->properties.constEnd() && it.value() == value)
        return;
    setModified(true);
    emitChange("PropertyAboutToBeChanged", key);
    d->properties.insert(key, value);
    emitChange("PropertyChanged", key);
}

void DeviceTreeNode::clearProperty()
{
    d->properties.clear();
    setModified(true);
}

bool DeviceTreeNode::getEnable() const
{
    return getNodeProperty(QStringLiteral("Enable"), QStringLiteral("1")).toInt() != 0;
}

void DeviceTreeNode::setEnable(bool enable)
{
    setNodeProperty(QStringLiteral("Enable"), enable ? QStringLiteral("1") : QStringLiteral("0"));
    for (DeviceTreeNode* child : d->children)
        child->setEnable(enable);
}

bool DeviceTreeNode::refuse(const QString& error)
{
    d->lastError = error;
    return false;
}

bool DeviceTreeNode::isAncestorOrSelf(const DeviceTreeNode* node) const
{
    for (const DeviceTreeNode* at = this; at; at = at->d->parent)
        if (at == node)
            return true;
    return false;
}

bool DeviceTreeNode::appendChild(DeviceTreeNode* child)
{
    if (containProperty(QStringLiteral("MaxPower"))) {
        const int max = getNodeProperty(QStringLiteral("MaxPower")).toInt();
        double sum = power(child);
        for (const DeviceTreeNode* present : d->children)
            sum += power(present);
        if (sum > max)
            return refuse(tr("Child Power summation Out Of Limit : %1").arg(max));
    }
    if (containProperty(QStringLiteral("MaxChildCount"))) {
        const int count = static_cast<int>(d->children.size());
        if (count >= getNodeProperty(QStringLiteral("MaxChildCount")).toInt())
            return refuse(tr("Child Count Out Of Limit : %1").arg(count));
    }
    // A node cannot hold itself, its own ancestor (a loop) or a child twice (two owners).
    if (!d->model || !d->model->isValidChild(child, this) || isAncestorOrSelf(child)
        || std::find(d->children.begin(), d->children.end(), child) != d->children.end())
        return refuse(tr("Child: %1, Parent:%2").arg(child ? child->getTypeID() : QStringLiteral("Null"), getTypeID()));

    child->setParentNode(this);
    d->children.push_back(child);
    const int position = static_cast<int>(d->children.size()) - 1;
    if (!child->containProperty(NodeIndex)) {
        int next = 0;
        for (const DeviceTreeNode* sibling : d->children)
            if (sibling != child && sibling->containProperty(NodeIndex))
                next = std::max(next, nodeIndex(sibling) + 1);
        child->setNodeProperty(NodeIndex, QString::number(next));
    }
    emitChange("ChildInserted", QString::number(position));
    return true;
}

void DeviceTreeNode::takeChildAt(std::size_t index)
{
    DeviceTreeNode* child = d->children[index];
    d->children.erase(d->children.begin() + static_cast<std::ptrdiff_t>(index));
    // A child that went on to another parent (root conversion) keeps that one.
    if (child->d->parent == this)
        child->d->parent = nullptr;
}

bool DeviceTreeNode::removeChild(DeviceTreeNode* child, bool destroy)
{
    auto it = std::find(d->children.begin(), d->children.end(), child);
    if (!child || it == d->children.end())
        return false;
    const std::size_t index = static_cast<std::size_t>(it - d->children.begin());
    const QString position = QString::number(index);
    emitChange("ChildAboutToBeRemoved", position);
    takeChildAt(index);
    if (destroy)
        delete child;
    emitChange("ChildRemoved", position);
    return true;
}

bool DeviceTreeNode::removeChildForSwitch(DeviceTreeNode* child)
{
    auto it = std::find(d->children.begin(), d->children.end(), child);
    if (!child || it == d->children.end())
        return false;
    takeChildAt(static_cast<std::size_t>(it - d->children.begin()));
    return true;
}

bool DeviceTreeNode::appendChildForSwitch(DeviceTreeNode* child)
{
    // A node listed already, or one that would close a loop, is not appended a second time.
    if (!child || isAncestorOrSelf(child)
        || std::find(d->children.begin(), d->children.end(), child) != d->children.end())
        return false;
    child->d->parent = this;
    child->d->parentId = d->id;
    d->children.push_back(child);
    return true;
}

void DeviceTreeNode::setParentNode(DeviceTreeNode* parent)
{
    if (!parent)
        return;
    d->parent = parent;
    d->parentId = parent->getID();
    setModified(true);
}

void DeviceTreeNode::sortChildNode()
{
    if (d->children.empty())
        return;
    std::vector<DeviceTreeNode*> sorted(d->children.rbegin(), d->children.rend());
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const DeviceTreeNode* a, const DeviceTreeNode* b) { return nodeIndex(a) < nodeIndex(b); });
    d->children = std::move(sorted);
    for (DeviceTreeNode* child : d->children)
        child->sortChildNode();
    emitChange("ChildSorted", QString());
}

void DeviceTreeNode::swapChildNode(DeviceTreeNode* a, DeviceTreeNode* b)
{
    const auto& children = d->children;
    if (!a || !b || std::find(children.begin(), children.end(), a) == children.end()
        || std::find(children.begin(), children.end(), b) == children.end())
        return;
    const QString indexA = a->getNodeProperty(NodeIndex);
    const QString indexB = b->getNodeProperty(NodeIndex);
    a->setNodeProperty(NodeIndex, indexB);
    b->setNodeProperty(NodeIndex, indexA);
    sortChildNode();
}
