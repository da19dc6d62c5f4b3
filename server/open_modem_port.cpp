#include "server/open_modem_port.h"

#include <exception>
#include <memory>

#include "platform/com_port_names.h"
#include "serial/port/com_port.h"
#include "server/server_core.h"

bool OpenModemPort(ServerCore& core, int comNumber) {
  if (core.ModemPortCount() != 0) return false;
  auto port = std::make_unique<TDevaComPort>(nullptr);
  // Only the worker opens the port again (after a failure); one that opened by
  // itself on use could open under the worker's stop.
  port->AutoOpen = false;
  port->SetComNumber(static_cast<std::uint16_t>(comNumber));
  port->SetHWFlowOptions(
      THWFlowOptionSet::FromBits(port->HWFlowOptions().Bits() | THWFlowOptionSet{hwfUseDTR, hwfUseRTS}.Bits()));
  port->SetBaud(115200);
  // The port's number names the device that the search found in the same registry.
  SetComRegistryFile(core.FilePath(kRegistryFile));
  try {
    port->SetOpen(true);
  } catch (const std::exception& e) {
    core.port_open_report().Failed(comNumber, e);
    throw;
  }
  core.port_open_report().Opened();
  core.AddModemPort(std::move(port));
  return true;
}
