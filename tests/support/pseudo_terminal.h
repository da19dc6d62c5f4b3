#pragma once
// A pseudo-terminal standing in for a serial device: the serial layer opens
// its device path, the test plays the far end on the other side.
#include <string>
#include <string_view>

class PseudoTerminal {
 public:
  PseudoTerminal();
  ~PseudoTerminal();
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  const std::string& DevicePath() const { return path_; }

  // The far end writes, reads (waiting up to 10 s for `count` bytes) and hangs up.
  void Send(std::string_view bytes);
  std::string Receive(std::size_t count);
  void HangUp();

 private:
  int far_ = -1;
  std::string path_;
};

// Declares `devicePath` as COM `number` in the registry file.
void RegisterComPort(const std::string& registryFile, int number, const std::string& devicePath);
