#pragma once

#include "datamodel/model/DatamodelExport.h"

#include <QMap>
#include <QString>

#include <memory>

class DeviceTreeModel;
class DeviceTreeNode;

// Makes the concrete node of one device type. The host registers one per type id.
class DATAMODEL_EXPORT DeviceTreeNodeFactory
{
public:
    virtual ~DeviceTreeNodeFactory();
    // A new node (owned by the caller), or null.
    virtual DeviceTreeNode* create(unsigned int id, const QString& name, DeviceTreeModel* model) const = 0;
};

// The process-wide table: device type id -> factory, empty until the host fills it. The
// factories are not owned by the table; registerDeviceTreeNodeFactory keeps them alive.
DATAMODEL_EXPORT QMap<QString, DeviceTreeNodeFactory*>& deviceTreeNodeFactorys();

// Registers `factory` for `typeId` (replacing any earlier one) and keeps it for the life of
// the process. Used from the GUI thread at start-up.
DATAMODEL_EXPORT void registerDeviceTreeNodeFactory(const QString& typeId, std::unique_ptr<DeviceTreeNodeFactory> factory);
