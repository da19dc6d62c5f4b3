#pragma once
// Opens the comm device that a port name stands for.
#include <memory>
#include <string_view>

#include "platform/comm_device.h"

// "\\.\COMn" or "COMn" through the COM numbers of the registry stand-in
// (com_port_names.h) to a terminal device. nullptr on failure with the last
// error set: 2 when the name is no COM name, no device is registered for it or
// the device is missing; 32 when the device is in use; 5 when it is not allowed.
std::unique_ptr<CommDevice> OpenComDevice(std::string_view comName);
