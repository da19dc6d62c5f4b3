#pragma once
// The reference number of concatenated messages, counted in the registry.
#include <optional>
#include <string>

#include "platform/once_per_cause.h"

class MessageRefCounter {
 public:
  explicit MessageRefCounter(std::string registryFile) : registryFile_(std::move(registryFile)) {}

  // The next reference as two hex digits. The value MessageRef under
  // \SOFTWARE\Trelm\SMSConfig in the registry file holds the last one used
  // (1-255); it is incremented and written back, a stored value outside 0-254
  // starting over at 1. Without a stored value the reference is random (2-253);
  // when the key cannot be made it is random (1-252) and nothing is stored. A
  // registry file that cannot be read is never written: the count goes on in
  // memory from the last reference given (said once on standard error while it
  // lasts).
  std::string NextMessageRef();

 private:
  const std::string registryFile_;
  std::optional<int> last_;  // the reference given last
  OncePerCause unreadable_;
};
