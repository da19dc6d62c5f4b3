#include "tests/support/pseudo_terminal.h"

#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

#include "platform/com_port_names.h"
#include "platform/registry.h"

PseudoTerminal::PseudoTerminal() {
  int device = -1;
  char name[128];
  if (openpty(&far_, &device, name, nullptr, nullptr) < 0) throw std::runtime_error("openpty failed");
  path_ = name;
  // The far end takes bytes as they are; the device side is the layer's to open.
  termios t;
  tcgetattr(far_, &t);
  cfmakeraw(&t);
  tcsetattr(far_, TCSANOW, &t);
  close(device);
}

PseudoTerminal::~PseudoTerminal() { HangUp(); }

void PseudoTerminal::Send(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = write(far_, bytes.data(), bytes.size());
    if (n < 0 && errno != EINTR) throw std::runtime_error("pseudo-terminal write failed");
    if (n > 0) bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

std::string PseudoTerminal::Receive(std::size_t count) {
  std::string got;
  while (got.size() < count) {
    pollfd p = {far_, POLLIN, 0};
    if (poll(&p, 1, 10000) <= 0) break;
    char buffer[256];
    const ssize_t n = read(far_, buffer, sizeof buffer);
    if (n <= 0) break;
    got.append(buffer, static_cast<std::size_t>(n));
  }
  return got;
}

void PseudoTerminal::HangUp() {
  if (far_ >= 0) close(far_);
  far_ = -1;
}

void RegisterComPort(const std::string& registryFile, int number, const std::string& devicePath) {
  TRegistry registry(registryFile);
  registry.OpenKey(kSerialCommKey, true);
  registry.WriteString(devicePath, "COM" + std::to_string(number));
}
