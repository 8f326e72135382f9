#pragma once

#include "accore/DeviceAreas.h"
#include "accore/HeapAddress.h"
#include "accore/JapanComponent.h"

#include <map>
#include <string>

namespace ac {

// The memory of the chosen controller: IEC direct addresses (%I, %Q, %M) and the soft
// components of the Japanese style, both checked against the device's sizes.
class DeviceMemory
{
public:
    void setAreas(const DeviceAreas& areas);
    const DeviceAreas& areas() const { return m_areas; }
    bool isConfigured() const { return m_configured; }

    // Soft-component layout: number of components per device letter ("X" -> 1024).
    // Letters not named here are refused by parseComponent once a layout was set.
    void resetJapanLayout(const std::map<std::string, unsigned long long>& counts);
    const std::map<std::string, unsigned long long>& japanLayout() const { return m_japan; }

    // "%IX0.7", "%QB3", "%MW10" (the number counts units of the size: %MW10 is byte 20).
    // `withPercent` false leaves the "%" out. Empty text for an invalid or out-of-range address.
    std::string iecAddress2String(const HeapAddress& address, bool withPercent = true) const;
    // The reverse; the "%" is required when `requirePercent` is true, optional otherwise.
    // False (and `address` untouched) for bad syntax or an address outside its area.
    bool string2IecAddress(const std::string& text, HeapAddress* address, bool requirePercent = true) const;

    JapanComponent parseComponent(const std::string& text) const;
    std::string componentToString(const JapanComponent& component) const;

    // Byte size of an area by its letter ('I', 'Q', 'M'); 0 when unknown.
    unsigned long long areaSize(char area) const;

private:
    bool fitsArea(const HeapAddress& address) const;

    DeviceAreas m_areas;
    bool m_configured = false;
    std::map<std::string, unsigned long long> m_japan;
};

} // namespace ac
