#pragma once
// COM numbers and device paths. The serial layer opens ports by name
// ("\\.\COM5", or "COM5"); the device behind a number is found under
// \HARDWARE\DEVICEMAP\SERIALCOMM in the registry stand-in, where each value's
// data is a COM name and the value's name is the device path:
//   [HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM]
//   "/dev/ttyUSB0"="COM5"
#include <optional>
#include <string>
#include <string_view>

inline constexpr std::string_view kSerialCommKey = "\\HARDWARE\\DEVICEMAP\\SERIALCOMM";

// The number in "\\.\COMn" or "COMn" (any letter case); 0 for anything else.
int ComNumberFromName(std::string_view name);

// The device path registered for COM `number` in the registry file; none when
// no value names it.
std::optional<std::string> ComDevicePath(int number, const std::string& registryFile);

// The registry file the serial layer resolves COM numbers in: registry.reg
// beside the program unless a program or test names another (an empty name
// goes back to that).
void SetComRegistryFile(std::string path);
std::string ComRegistryFile();
