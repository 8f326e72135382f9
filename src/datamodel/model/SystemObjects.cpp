#include "datamodel/model/SystemObjects.h"

#include "datamodel/model/NameIndex_p.h"

#include <algorithm>

const std::vector<std::string>& SystemObjects::hiddenNames()
{
    static const std::vector<std::string> names = {"DevicePOU", "IOMappingVars", "HiddenAxisVar",
                                                   "HiddenAxisGroupVar", "EcamVars"};
    return names;
}

bool SystemObjects::isReservedName(const std::string& name)
{
    const std::string key = NameIndex::key(name);
    const std::vector<std::string>& hidden = hiddenNames();
    return key == NameIndex::key("DeviceVars")
           || std::any_of(hidden.begin(), hidden.end(),
                          [&key](const std::string& reserved) { return NameIndex::key(reserved) == key; });
}

bool SystemObjects::isHidden(const std::string& name, const std::string& hiddenProperty)
{
    const std::vector<std::string>& hidden = hiddenNames();
    return hiddenProperty == "true" || std::find(hidden.begin(), hidden.end(), name) != hidden.end();
}
