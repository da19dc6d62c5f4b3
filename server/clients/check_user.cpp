#include "server/clients/check_user.h"

#include <algorithm>
#include <mutex>

#include "platform/registry.h"
#include "protocol/cipher.h"

namespace {

constexpr std::size_t kPasswordSize = 25;

// Client threads log in concurrently; opening the key may create it in the file.
std::mutex registryLock;

}  // namespace

bool CheckUser(const packet& answer, const std::string& registryPath) {
  const std::string_view user = answer.number();
  if (user.empty()) return false;
  std::vector<std::uint8_t> stored;
  try {
    std::lock_guard guard(registryLock);
    TRegistry reg(registryPath);
    if (!reg.OpenKey(kUsersKey, true)) return false;
    if (!reg.ValueExists(user)) return false;
    if (reg.GetDataType(user) != RegDataType::Binary) return false;
    stored = reg.ReadBinaryData(user);
  } catch (const ERegistryException&) {
    return false;
  }
  if (stored.size() > kPasswordSize) return false;
  // Deciphered first: the enciphered bytes may hold zeros of their own (a password
  // starting with "p" begins with one). The password ends at the first zero of the
  // deciphered value, or at its end.
  EncodeBuffer(stored);
  stored.erase(std::find(stored.begin(), stored.end(), std::uint8_t{0}), stored.end());
  const std::string_view password = answer.text();
  return std::equal(stored.begin(), stored.end(), password.begin(), password.end(),
                    [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); });
}
