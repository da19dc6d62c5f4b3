#include "server/modem/port_open_report.h"

#include <string>

#include "platform/com_port_names.h"
#include "serial/base/deva_exceptions.h"
#include "serial/base/result_codes.h"

namespace {

std::string Reason(const std::exception& failure) {
  switch (XlatException(failure)) {
    case ecBadId: return "no such device";
    case ecAlreadyOpen: return "in use by another program";
    case ecAccessDenied: return "permission denied";
    default: return failure.what();
  }
}

}  // namespace

void PortOpenReport::Failed(int comNumber, const std::exception& failure) {
  // The device the port layer looked for: the same registry file names it.
  const auto device = ComDevicePath(comNumber, ComRegistryFile());
  said_.Say("trelmsrv: cannot open COM" + std::to_string(comNumber) + " (" +
            (device ? *device : std::string("no device registered")) + "): " + Reason(failure));
}
