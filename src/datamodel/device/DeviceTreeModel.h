#pragma once

#include "datamodel/model/DatamodelExport.h"
#include "datamodel/model/SubModel.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <map>
#include <memory>
#include <string>

class DeviceTreeNode;
class DeviceTreeModelPrivate;

// The hardware configuration of a project: one tree of DeviceTreeNode objects stored in the
// table DEVICETREE (ID, TYPEID, NAME, PARENTID, PROPERTIES as compact JSON, COMPILEDATA), the
// root with id 1. It hands out node ids and the ids of motion objects ("OccupiedID" on the
// root), builds nodes from the hardware descriptions, knows which child types each type
// accepts (from the root controller's description), converts the tree to another controller
// and forwards every node change as dataChanged.
//
// Rows that the tree could not hold when it was loaded (a child its parent refused, a type
// without node factory) stay in the file untouched: a save never deletes them.
class DATAMODEL_EXPORT DeviceTreeModel : public SubModel
{
    Q_OBJECT
public:
    DeviceTreeModel(const std::string& name, AbstractProjectModel* project);
    ~DeviceTreeModel() override;

    DeviceTreeNode* getRootNode() const;
    QString getRootName() const;
    // The node named by an object path (ids from the root down, joined by the separator).
    DeviceTreeNode* getNode(const QString& path) const;
    // The node of the tree with that id, or null.
    DeviceTreeNode* nodeById(unsigned int id) const;
    int getNodeCount() const;
    QString getLastError() const;

    // Hands out an id that no node and no other caller holds, recorded in the root's
    // "OccupiedID"; 0 without a root or when every id is taken.
    unsigned int takeID();
    // Gives back an id of takeID(); false for an id it did not hand out.
    bool backID(unsigned int id);

    // A node built from the description at `path` (description name and nested keys joined
    // by "."), named by the path's last part, with its essential children; null when the
    // path names no description with a "TypeID" or its type has no factory. Owned by the caller.
    DeviceTreeNode* createDescriptionNode(const QString& path);
    QString getDescriptionPath(DeviceTreeNode* node) const;
    // Adds a node of `typeId` named `name` under `parent`, filled from its description when
    // one of that type lies where the node would stand. Null, with getLastError() saying why
    // (the parent's refusal, an unknown type), when it is not added.
    DeviceTreeNode* addNode(DeviceTreeNode* parent, const QString& typeId, const QString& name);

    QStringList getChildTypeID(DeviceTreeNode* node) const;
    bool isValidChild(DeviceTreeNode* child, DeviceTreeNode* parent) const;

    // What converting the tree from controller `oldType` to `newType` changes: topic ("IOMap",
    // "Task", "Axis", "NetDev", "Hardware") -> message.
    QMap<QString, QString> typeDiffCompare(const QString& oldType, const QString& newType) const;
    // Adds "Hardware" and "BDMoudle" for populated local buses and board slots below `node`.
    void getRemoveDevString(DeviceTreeNode* node, QMap<QString, QString>& map) const;
    // Converts the tree to the controller `newRootName`. Refused, with the tree unchanged and
    // getLastError() naming the nodes, when a node the user configured would not fit.
    bool updateRoot(const QString& newRootName);

    // The language the description texts are taken in (setting "General/Language").
    static QString interfaceLanguage();

public slots:
    bool open() override;
    // Needs "deviceType": the controller the new tree is built for.
    bool create(const std::map<std::string, std::string>& params) override;
    bool save() override;
    bool saveAs(bool flag) override;
    bool insertObject(const QString& path, const QString& data) override;
    bool removeObject(const QString& path, QString& data) override;
    // `to` is the node's new "NodeIndex".
    bool moveObject(const QString& path, const QString& to) override;
    bool changeProperty(const QString& path, const QString& key, const QString& from, const QString& to) override;
    QString getObjPath(ModelObject* obj) override;
    QString getObjIndex(ModelObject* obj) override;
    // A JSON array: the node, then its descendants depth first.
    QString objToData(ModelObject* obj) override;
    bool restoreObj(ModelObject* obj, const QString& data) override;
    void onDataChanged(ModelObject* object, const QString& name, const QString& value);

signals:
    void dataChanged(DeviceTreeNode* node, const QString& name, const QString& value);
    void rootCreated();
    void rootAboutToBeUpdated();
    void rootUpdated();

private slots:
    bool saveObject(ModelObject* obj) override;
    bool loadObject(ModelObject* obj) override;

private:
    friend class DeviceTreeModelPrivate;
    friend class DeviceTreeNode; // announces its construction and destruction
    void writeLog(int type, const QString& text) const;

    std::unique_ptr<DeviceTreeModelPrivate> d;
};
