#pragma once
// A comm device on a terminal device node (a USB serial adapter, a UART, or a
// pseudo-terminal in tests): raw mode, non-blocking, and exclusive.
#include <memory>
#include <string>

#include "platform/comm_device.h"

// Opens the terminal at `path` for this process alone: a second open of the
// same device is refused, root's included. nullptr on failure, with the last
// error set (2: no such device; 32: in use; 5: not allowed).
std::unique_ptr<CommDevice> OpenTermiosDevice(const std::string& path);
