#include "serial/base/z_strings.h"

#include <charconv>
#include <cstring>
#include <system_error>
#include <sys/stat.h>

char* CopyZ(std::span<char> dest, std::string_view text) {
  if (dest.empty()) return dest.data();
  const std::size_t n = text.size() < dest.size() ? text.size() : dest.size() - 1;
  if (n > 0) std::memmove(dest.data(), text.data(), n);
  dest[n] = '\0';
  return dest.data();
}

char* Long2StrZ(std::span<char> dest, std::int32_t l) {
  char digits[16];
  const auto r = std::to_chars(digits, digits + sizeof digits, l);
  return CopyZ(dest, std::string_view(digits, r.ptr - digits));
}

bool Str2LongZ(std::string_view s, std::int32_t& l) {
  l = 0;
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  const bool negative = !s.empty() && s.front() == '-';
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) s.remove_prefix(1);
  // "$" starts hexadecimal, which may give all 32 bits: $FFFFFFFF is -1.
  const bool hex = !s.empty() && s.front() == '$';
  if (hex) s.remove_prefix(1);
  if (s.empty()) return false;
  std::uint32_t magnitude = 0;
  const auto r = std::from_chars(s.data(), s.data() + s.size(), magnitude, hex ? 16 : 10);
  if (r.ec != std::errc() || r.ptr != s.data() + s.size()) return false;
  if (!hex && magnitude > (negative ? 0x80000000u : 0x7FFFFFFFu)) return false;
  l = static_cast<std::int32_t>(negative ? 0u - magnitude : magnitude);
  return true;
}

char* StrStCopy(std::span<char> dest, std::string_view s, std::uint32_t pos,
                std::uint32_t count) {
  if (pos >= s.size()) return CopyZ(dest, {});
  return CopyZ(dest, s.substr(pos, count));
}

bool ExistFileZ(const char* name) {
  struct stat st {};
  return name != nullptr && ::stat(name, &st) == 0 && !S_ISDIR(st.st_mode);
}
