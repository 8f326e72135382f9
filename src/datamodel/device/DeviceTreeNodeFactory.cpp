#include "datamodel/device/DeviceTreeNodeFactory.h"

#include <vector>

DeviceTreeNodeFactory::~DeviceTreeNodeFactory() = default;

QMap<QString, DeviceTreeNodeFactory*>& deviceTreeNodeFactorys()
{
    static QMap<QString, DeviceTreeNodeFactory*> table;
    return table;
}

void registerDeviceTreeNodeFactory(const QString& typeId, std::unique_ptr<DeviceTreeNodeFactory> factory)
{
    // A replaced factory stays alive: a caller may still hold the pointer it looked up.
    static std::vector<std::unique_ptr<DeviceTreeNodeFactory>> keep;
    if (!factory)
        return;
    deviceTreeNodeFactorys().insert(typeId, factory.get());
    keep.push_back(std::move(factory));
}
