#include "sms/hex_text.h"

#include "sms/tsms.h"

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::optional<unsigned> ParseHex(std::string_view digits) {
  if (digits.empty() || digits.size() > 4) return std::nullopt;
  unsigned value = 0;
  for (char c : digits) {
    const int d = HexDigit(c);
    if (d < 0) return std::nullopt;
    value = value * 16 + static_cast<unsigned>(d);
  }
  return value;
}

std::string_view SubstrAt(std::string_view text, long pos, long count) {
  if (pos < 1) pos = 1;
  if (count <= 0) return {};
  const auto start = static_cast<std::size_t>(pos - 1);
  if (start >= text.size()) return {};
  return text.substr(start, static_cast<std::size_t>(count));
}

std::optional<unsigned> HexOctetAt(std::string_view text, long pos) {
  return ParseHex(SubstrAt(text, pos, 2));
}

std::optional<std::string> TSMS::HexToBytes(std::string_view hex) {
  std::string out;
  out.reserve(hex.size() / 2);
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    const auto b = ParseHex(hex.substr(i, 2));
    if (!b) return std::nullopt;
    out += static_cast<char>(*b);
  }
  return out;
}

std::optional<std::u16string> TSMS::HexToUcs2(std::string_view hex) {
  std::string padded(hex);
  while (padded.size() % 4 != 0) padded += '0';
  std::u16string out;
  out.reserve(padded.size() / 4);
  for (std::size_t i = 0; i < padded.size(); i += 4) {
    const auto unit = ParseHex(std::string_view(padded).substr(i, 4));
    if (!unit) return std::nullopt;
    out += static_cast<char16_t>(*unit);
  }
  return out;
}

std::string TSMS::SwapNibbles(std::string_view s) {
  std::string out(s);
  for (std::size_t i = 0; i + 1 < out.size(); i += 2) std::swap(out[i], out[i + 1]);
  return out;
}

std::string ToHex(unsigned value, int width) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned v = value; v != 0; v >>= 4) out.insert(out.begin(), kDigits[v & 0xF]);
  if (out.size() < static_cast<std::size_t>(width)) out.insert(0, static_cast<std::size_t>(width) - out.size(), '0');
  return out;
}
