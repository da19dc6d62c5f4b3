#include "serial/port/port_selection.h"

#include <mutex>

namespace {

std::mutex& ProviderLock() {
  static std::mutex lock;
  return lock;
}

PortSelectionProvider& Provider() {
  static PortSelectionProvider provider;
  return provider;
}

}  // namespace

PortSelectionProvider SetPortSelectionProvider(PortSelectionProvider provider) {
  std::lock_guard lock(ProviderLock());
  std::swap(Provider(), provider);
  return provider;
}

std::optional<unsigned> AskForPort() {
  PortSelectionProvider provider;
  {
    std::lock_guard lock(ProviderLock());
    provider = Provider();
  }
  if (!provider) return std::nullopt;
  return provider();
}
