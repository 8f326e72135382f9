#pragma once

#include "datamodel/device/BaseDeviceNode.h"

// A bus of the controller itself (the local expansion bus).
class DATAMODEL_EXPORT ProtocolDeviceNode : public BaseDeviceNode
{
public:
    ProtocolDeviceNode(unsigned int id, const QString& name, DeviceTreeModel* model) : BaseDeviceNode(id, name, model) {}
};
