#pragma once

#include "datamodel/model/DatamodelExport.h"
#include "datamodel/model/ModelObject.h"

#include <QMap>
#include <QString>

#include <memory>
#include <vector>

class DeviceTreeModel;
class DeviceTreeNodePrivate;

// One node of a project's hardware configuration (controller, bus, protocol, module, slot,
// interface): an id, a name, text properties and an ordered list of children, which the node
// owns. The concrete classes come from the host through the node factories; getTypeID() names
// the device type. Every change is announced through dataChanged(this, change, detail):
//   "PropertyAboutToBeChanged" / "PropertyChanged" (key), "ChildInserted",
//   "ChildAboutToBeRemoved", "ChildRemoved" (position), "ChildSorted", "AboutToBeDestroyed".
class DATAMODEL_EXPORT DeviceTreeNode : public ModelObject
{
    Q_OBJECT
    friend class DeviceTreeModel;

public:
    DeviceTreeNode(unsigned int id, const QString& name, DeviceTreeModel* model);
    // Deletes the children. A node still listed by its parent leaves the parent's list first.
    ~DeviceTreeNode() override;

    unsigned int getID() const;
    unsigned int getParentID() const;
    QString getName() const;
    DeviceTreeModel* getModel() const;
    DeviceTreeNode* getParentNode() const;
    const std::vector<DeviceTreeNode*>& getChildNodes() const;
    // The first child with that id, or null.
    DeviceTreeNode* getChildNode(unsigned int id) const;
    const QMap<QString, QString>& getNodePropertys() const;
    QString getNodeProperty(const QString& key, const QString& defaultValue = QString()) const;
    bool containProperty(const QString& key) const;
    // Why the last appendChild was refused.
    QString getLastError() const;

    // Nothing happens when the key holds that value already.
    void setNodeProperty(const QString& key, const QString& value);

    // "Enable": "1" (the default) or "0".
    bool getEnable() const;
    // Sets "Enable" here and on every descendant.
    void setEnable(bool enable);

    // Checks the power budget ("MaxPower" against the children's "Power"), the child count
    // ("MaxChildCount") and the model's child types, in that order; a refusal leaves the tree
    // as it was and says why in getLastError(). An accepted child without "NodeIndex" gets
    // one more than the greatest among its siblings (0 for the first). Takes ownership.
    bool appendChild(DeviceTreeNode* child);
    // Deletes the child when `destroy`, otherwise hands ownership back to the caller.
    bool removeChild(DeviceTreeNode* child, bool destroy);
    // Without checks or signals, for moving children from one root to another.
    bool removeChildForSwitch(DeviceTreeNode* child);
    bool appendChildForSwitch(DeviceTreeNode* child);

    // Orders the children by "NodeIndex" (as an integer, missing = 0), ascending, and then
    // their children likewise; children with equal keys end in the reverse of their order.
    void sortChildNode();
    // Exchanges the "NodeIndex" of two children and sorts.
    void swapChildNode(DeviceTreeNode* a, DeviceTreeNode* b);

    virtual void loaded();
    virtual void created();
    virtual QString getTypeID() const = 0;

private:
    void setParentNode(DeviceTreeNode* parent);
    // The model goes before this node: no more calls into it.
    void detachFromModel();
    void clearProperty();
    // Detaches `child` (at `index`) from the child list; nothing else.
    void takeChildAt(std::size_t index);
    bool isAncestorOrSelf(const DeviceTreeNode* node) const;
    bool refuse(const QString& error);
    void emitChange(const char* change, const QString& detail);

    std::unique_ptr<DeviceTreeNodePrivate> d;
};
