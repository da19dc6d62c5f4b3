#include "server/store/modem_number.h"

namespace {

constexpr std::size_t kMostDigits = 20;

bool Separator(char c) {
  switch (c) {
    case ' ': case '-': case '.': case '(': case ')': case '[': case ']':
      return true;
    default:
      return false;
  }
}

}  // namespace

std::optional<std::string> ModemNumber(std::string_view number) {
  std::string out;
  for (const char c : number) {
    if (Separator(c)) continue;
    const bool leadingPlus = c == '+' && out.empty();
    if (!leadingPlus && (c < '0' || c > '9')) return std::nullopt;
    out += c;
  }
  const std::size_t digits = out.size() - (out.starts_with('+') ? 1 : 0);
  if (digits == 0 || digits > kMostDigits) return std::nullopt;
  return out;
}
