#include "server/find_modem_port.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/ini_file.h"
#include "platform/message_window.h"
#include "platform/registry.h"
#include "server/server_core.h"

namespace {

constexpr const char* kModemDeviceKeys[] = {
    "\\SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_c251&Pid_b6e4",
    "\\SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_ffff&Pid_b6e4",
};
constexpr const char* kSerialCommKey = "\\HARDWARE\\DEVICEMAP\\SERIALCOMM";
constexpr const char* kDeviceMapSection = "DEVICEMAP";

// The port names of every instance of the modem's USB devices, in registry order.
std::vector<std::string> ModemPortNames(TRegistry& reg) {
  std::vector<std::string> candidates;
  for (const char* deviceKey : kModemDeviceKeys) {
    if (!reg.OpenKeyReadOnly(deviceKey)) continue;
    const std::vector<std::string> instances = reg.GetKeyNames();
    reg.CloseKey();
    for (const auto& instance : instances) {
      if (!reg.OpenKeyReadOnly(std::string(deviceKey) + "\\" + instance + "\\Device Parameters")) continue;
      if (reg.GetDataType("PortName") == RegDataType::String) candidates.push_back(reg.ReadString("PortName"));
      reg.CloseKey();
    }
  }
  return candidates;
}

// "COM12" gives 12. Anything after the first three characters that is not a
// decimal port number is refused rather than cut down to a different port.
int PortNumber(const std::string& portName) {
  const std::string digits = portName.size() > 3 ? portName.substr(3) : "";
  const bool decimal = !digits.empty() && digits.size() <= 5 &&
                       std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
  const long number = decimal ? std::stol(digits) : -1;
  if (number < 0 || number > 0xFFFF) throw std::invalid_argument("'" + portName + "' is not COM and a port number");
  return static_cast<int>(number);
}

}  // namespace

void FindModemPort(ServerCore& core, const OpenModemPortFn& openModemPort) {
  TRegistry reg(core.FilePath(kRegistryFile));
  const IniFile config(core.FilePath(kConfigFile));
  std::vector<std::string> candidates = ModemPortNames(reg);

  if (!reg.OpenKey(kSerialCommKey, false)) return;
  for (const auto& name : reg.GetValueNames()) {
    const std::string portName = reg.ReadString(name);
    // Each candidate answers one serial port: a port name found twice among the
    // modems matches two ports of that name, not one port twice.
    const auto match = std::find(candidates.begin(), candidates.end(), portName);
    if (match != candidates.end()) {
      candidates.erase(match);
      if (!config.ReadString(kDeviceMapSection, portName, "").empty()) openModemPort(PortNumber(portName));
    }
    ProcessWindowMessages();
  }
}
