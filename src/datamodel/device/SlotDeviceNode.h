#pragma once

#include "datamodel/device/BaseDeviceNode.h"

// A slot that holds one expansion board.
class DATAMODEL_EXPORT SlotDeviceNode : public BaseDeviceNode
{
public:
    SlotDeviceNode(unsigned int id, const QString& name, DeviceTreeModel* model) : BaseDeviceNode(id, name, model) {}
};
