#include "server/modem_search.h"

#include <algorithm>
#include <exception>
#include <vector>

#include "platform/com_port_names.h"
#include "platform/stderr_lines.h"
#include "server/find_modem_port.h"
#include "server/modem/modem_worker.h"
#include "server/open_modem_port.h"
#include "server/server_core.h"

std::optional<std::string> ModemSearch::Look() {
  std::optional<std::string> failure;
  try {
    LookForModem();
    lastFailure_.clear();
  } catch (const std::exception& e) {
    if (e.what() != lastFailure_) failure = lastFailure_ = e.what();
  }
  SayPort();
  return failure;
}

void ModemSearch::LookForModem() {
  ModemWorker* modem = core_.Modem();
  if (modem == nullptr) {
    FindModemPort(core_, [this](int comNumber) { return OpenModemPort(core_, comNumber); });
    return;
  }
  const auto failingSince = modem->PortFailingSince();
  if (!failingSince || ModemDialogue::Clock::now() - *failingSince < goneFor_) return;
  std::vector<int> found;
  FindModemPort(core_, [&](int comNumber) {
    found.push_back(comNumber);
    return true;
  });
  // Where the modem still is, its port fails for another reason: it stays there.
  if (!found.empty() && std::find(found.begin(), found.end(), modem->PortNumber()) == found.end())
    modem->UsePort(found.front());
}

void ModemSearch::SayPort() {
  const ModemWorker* modem = core_.Modem();
  const int port = modem != nullptr ? modem->PortNumber() : 0;
  if (port == 0 || port == saidPort_) return;
  saidPort_ = port;
  std::string said = "trelmsrv: the modem is on COM" + std::to_string(port);
  if (const std::optional<std::string> device = ComDevicePath(port, core_.FilePath(kRegistryFile)))
    said += " (" + *device + ")";
  StderrPrintf("%s\n", said.c_str());
}
