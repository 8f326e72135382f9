#pragma once

namespace ac {

// Sizes in bytes of the controller's memory areas, as the device description gives them
// under "IECMem". Until a device is set no address is range-checked; after that every
// address must lie inside its area (an area of size 0 holds no address).
struct DeviceAreas
{
    unsigned long long input = 0;   // %I
    unsigned long long output = 0;  // %Q
    unsigned long long memory = 0;  // %M
    unsigned long long general = 0;
    unsigned long long retian = 0;  // retain area (the description's key spelling)
    unsigned long long code = 0;
    unsigned long long stack = 0;
};

} // namespace ac
