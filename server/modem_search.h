#pragma once
// Looking for the modem while the server runs: two seconds after start, then
// every few seconds. A server without a modem looks for it, so a modem plugged
// in after the start is used; one whose modem's port has failed to open for a
// while (unplugged, or back under another name) looks for it by its ids too,
// and has the worker open the port it is found at now.
#include <chrono>
#include <optional>
#include <string>

class ServerCore;

class ModemSearch {
 public:
  // goneFor: how long the modem's port fails to open before it is looked for elsewhere.
  explicit ModemSearch(ServerCore& core, std::chrono::milliseconds goneFor = std::chrono::seconds(10))
      : core_(core), goneFor_(goneFor) {}

  // One look. Says on standard error which port the modem is on whenever that
  // changes. What failed (a port that cannot be opened, a port name that is no
  // COM name and a number) is given back for the operator once: the same
  // failure at the looks after it is not given again. None when nothing new failed.
  std::optional<std::string> Look();

 private:
  void LookForModem();
  void SayPort();

  ServerCore& core_;
  const std::chrono::milliseconds goneFor_;
  std::string lastFailure_;
  int saidPort_ = 0;
};
