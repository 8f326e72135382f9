#pragma once

#include "datamodel/device/BaseDeviceNode.h"

// A controller, the root of a device tree.
class DATAMODEL_EXPORT PLCDeviceBaseNode : public BaseDeviceNode
{
public:
    PLCDeviceBaseNode(unsigned int id, const QString& name, DeviceTreeModel* model) : BaseDeviceNode(id, name, model) {}
};
