#pragma once

class AbstractProjectModel;

// Creates the system's own objects of a user project (SystemObjects): the global variable
// lists that the device and motion configuration fill and the POU "DevicePOU". Their names
// are reserved, so they are made past the name rules of the models' add operations; objects
// of an existing project stay as they are, and a retired "DeviceVars" list goes.
class HiddenObjects
{
public:
    static void create(AbstractProjectModel& project);
};
