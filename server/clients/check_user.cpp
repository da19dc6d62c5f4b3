#include "server/clients/check_user.h"

#include <algorithm>
#include <array>
#include <span>

#include "platform/file_io.h"
#include "platform/once_per_cause.h"
#include "platform/registry.h"
#include "protocol/cipher.h"

namespace {

constexpr std::size_t kPasswordSize = 25;

// A password as compared: its bytes, then zeros to one past the longest, so that a
// longer answer differs from every stored password in its last byte.
using Password = std::array<std::uint8_t, kPasswordSize + 1>;

// While the registry file cannot be read every login meets it; it is said once.
OncePerCause& UnreadableRegistry() {
  static OncePerCause said;
  return said;
}

// A stored value deciphered whole, then cut at its first zero byte: the enciphered
// bytes may hold zeros of their own (a password starting with "p" begins with
// one). The same steps whatever the value, an empty one included.
Password Deciphered(std::span<const std::uint8_t> value) {
  Password out{};
  std::copy(value.begin(), value.end(), out.begin());
  EncodeBuffer(std::span(out).first(kPasswordSize));
  std::uint8_t keep = 0xFF;
  for (std::size_t i = 0; i < out.size(); ++i) {
    keep &= static_cast<std::uint8_t>(i < value.size() && out[i] != 0 ? 0xFF : 0);
    out[i] &= keep;
  }
  return out;
}

Password Given(std::string_view text) {
  Password out{};
  std::copy_n(text.begin(), std::min(text.size(), out.size()), out.begin());
  return out;
}

// Every byte compared, however early they differ.
bool SamePassword(const Password& a, const Password& b) {
  std::uint8_t diff = 0;
  for (std::size_t i = 0; i < a.size(); ++i) diff |= static_cast<std::uint8_t>(a[i] ^ b[i]);
  return diff == 0;
}

}  // namespace

bool CheckUser(const packet& answer, const std::string& registryPath) {
  const std::string_view user = answer.number();
  if (user.empty()) return false;
  // One read of the file per login. Logins run side by side; the registry
  // serialises its own writes, the key's creation among them.
  TRegistry reg(registryPath);
  if (!reg.OpenKey(kUsersKey, true)) {
    if (!reg.FileRead().Usable())
      UnreadableRegistry().Say("trelmsrv: cannot read " + registryPath + ": " + ReadFailureReason(reg.FileRead()) +
                               "; every login is refused until it can be read");
    return false;
  }
  UnreadableRegistry().Clear();
  // An unknown name and a wrong password take the same steps: the time a refusal
  // takes does not tell which names exist.
  const auto stored = reg.FindBinaryData(user);
  const bool known = stored && stored->size() <= kPasswordSize;
  const bool same =
      SamePassword(Deciphered(known ? std::span<const std::uint8_t>(*stored) : std::span<const std::uint8_t>()),
                   Given(answer.text()));
  return known && same;
}
