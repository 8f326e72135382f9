#pragma once

#include "datamodel/device/DeviceTreeNode.h"

// A device: its description lies below its parent's, under its own name.
class DATAMODEL_EXPORT BaseDeviceNode : public DeviceTreeNode
{
public:
    BaseDeviceNode(unsigned int id, const QString& name, DeviceTreeModel* model) : DeviceTreeNode(id, name, model) {}
};
