#pragma once

#include "datamodel/model/DatamodelExport.h"

#include <string>
#include <vector>

// The objects that the system creates for its own use in every user project: the POU
// "DevicePOU" and the global variable lists that the device and motion configuration fill.
// The host hides them from the user; users neither rename nor remove them, and their names,
// with the retired list "DeviceVars", are reserved: no user object of any kind may take one,
// compared without regard to case as names are looked up.
class DATAMODEL_EXPORT SystemObjects
{
public:
    // "DevicePOU", "IOMappingVars", "HiddenAxisVar", "HiddenAxisGroupVar", "EcamVars".
    static const std::vector<std::string>& hiddenNames();
    // The hidden names and "DeviceVars", the list that "IOMappingVars" replaced.
    static bool isReservedName(const std::string& name);
    // An object of the system: property "Hidden" "true", or one of the hidden names.
    static bool isHidden(const std::string& name, const std::string& hiddenProperty);
};
