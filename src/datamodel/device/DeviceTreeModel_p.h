#pragma once

// The state of a DeviceTreeModel, shared by its sources (the model, its storage and its
// controller conversion).

#include "datamodel/device/DeviceTreeModel.h"
#include "datamodel/device/DeviceTreeNode.h"
#include "datamodel/model/IDDistributor.h"
#include "datamodel/model/RowWriter_p.h"
#include "datamodel/model/StoredRows_p.h"

#include <QHash>
#include <QJsonObject>
#include <QMap>
#include <QSet>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <set>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class DeviceTreeModelPrivate
{
public:
    static constexpr unsigned int MaxNodeId = 5000;
    static const QString Table;

    explicit DeviceTreeModelPrivate(DeviceTreeModel* q);

    // Nodes announce themselves: every node made for this model is tracked from its
    // construction to its destruction, so a pointer handed to the model is checked against
    // the living nodes before it is touched.
    void adopt(DeviceTreeNode* node);
    void forget(DeviceTreeNode* node);
    bool isLive(const ModelObject* object) const;
    bool inTree(const DeviceTreeNode* node) const;

    // A node from the factory of `typeId`; null, with the last error set and logged, when
    // the type has none.
    DeviceTreeNode* createNode(const QString& typeId, unsigned int id, const QString& name);
    void deleteTree();
    void resetIds();

    // The child type table of the controller `rootName`.
    void prepareDescription(const QString& rootName);
    static QMap<QString, QStringList> childTypesOf(const QVariantMap& description);
    static bool isValidChild(const QMap<QString, QStringList>& table, const QString& child, const QString& parent);

    // A node built from the description `map` found at `path`, with its essential children;
    // `id` INVALID_ID takes the first free id.
    DeviceTreeNode* buildNode(const QString& path, const QVariantMap& map, unsigned int id);
    // String values as they are, language maps as the interface language's entry.
    static void fillProperties(DeviceTreeNode* node, const QVariantMap& map, bool withDisplayName);
    // The text a description value gives a property: a text, or a language map's entry;
    // null for anything else.
    static QString propertyText(const QVariant& value);
    // The description path of `node` if it stood under a parent whose path is `parentPath`.
    static QString pathUnder(const QString& parentPath, const DeviceTreeNode* node);
    QString descriptionPath(const DeviceTreeNode* node) const;
    // Writes the keys of the node's description (except "DisplayName") into its properties.
    // `properties` of a node of `typeId` as the description at `path` has them: its hardware
    // keys overwritten, its settings filled in where missing.
    // Keys that a description gives as a default for the user to change (addresses, port
    // settings): filled in from the description when missing, never overwritten.
    static bool isUserSetting(const QString& key);
    // The essential entries of a description at `path`: its own entries flagged "Essential"
    // and those of its groups (maps without a type, such as "Interfaces"), with their paths.
    static std::vector<std::pair<QString, QVariantMap>> essentialEntries(const QString& path, const QVariantMap& map);
    // Moves a child from one root to another during a conversion.
    void moveForSwitch(DeviceTreeNode* node, DeviceTreeNode* from, DeviceTreeNode* to);
    static QMap<QString, QString> refreshed(const QMap<QString, QString>& properties, const QString& typeId,
                                            const QString& path);
    void refreshTree();

    void registerDisplayName(DeviceTreeNode* node);
    void releaseDisplayName(const DeviceTreeNode* node);

    static std::vector<DeviceTreeNode*> preorder(DeviceTreeNode* top);
    std::set<unsigned int> occupiedIds() const;
    void setOccupiedIds(const std::set<unsigned int>& ids);

    void log(const QString& text) const;
    // open(): the rows into the tree; false when there is no root.
    bool load();
    // The essential entries of a VX7 controller that the loaded tree lacks.
    void addEssentialChildren();
    // Update or insert the node's row inside the caller's transaction.
    bool writeNode(DeviceTreeNode* node, QString* error);
    DeviceTreeNode* liveNode(ModelObject* object) const;

    // Object data: one element of the JSON array per node.
    struct NodeData
    {
        unsigned int id = 0;
        unsigned int parentId = 0;
        QString typeId;
        QString name;
        QString properties;
    };
    static QJsonObject toJson(const DeviceTreeNode* node);
    static QString propertiesText(const DeviceTreeNode* node);
    // A compact JSON object of texts; a member that is not a text reads as empty text, and
    // anything but an object as no property.
    static QMap<QString, QString> parseProperties(const QString& json);
    static void setProperties(DeviceTreeNode* node, const QMap<QString, QString>& properties);
    // Reads and checks object data for insertion under `path`: the first node is the one the
    // path names, every other one's parent comes before it, every id is free and every type
    // has a factory. False, with `why`, otherwise.
    bool readNodeData(const QString& path, const QString& data, std::vector<NodeData>& nodes,
                      DeviceTreeNode*& parent, QString* why) const;

    DeviceTreeModel* const q;
    IDDistributor ids;
    std::unique_ptr<DeviceTreeNode> root;
    QMap<QString, QStringList> childTypes; // device type id -> the type ids it accepts
    QHash<QString, const DeviceTreeNode*> displayNames; // "DisplayName" -> the node holding it
    QHash<const DeviceTreeNode*, QString> heldNames;     // the reverse
    std::unordered_set<const ModelObject*> live;
    std::unordered_map<unsigned int, DeviceTreeNode*> byId;
    QString lastError;
    bool opening = false;
    bool closing = false;
    bool clearAfterSave = true;

    StoredRows rows;
    const RowWriter writer;
    // Rows of the file that the tree could not hold when it was loaded; never deleted.
    std::set<unsigned int> keptRows;
};
