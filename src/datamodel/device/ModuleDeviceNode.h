#pragma once

#include "datamodel/device/BaseDeviceNode.h"

// A module on a bus (an I/O module, an expansion board, a bus slave).
class DATAMODEL_EXPORT ModuleDeviceNode : public BaseDeviceNode
{
public:
    ModuleDeviceNode(unsigned int id, const QString& name, DeviceTreeModel* model) : BaseDeviceNode(id, name, model) {}
};
