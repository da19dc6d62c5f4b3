#include "platform/utf8.h"

#include <cstdint>

namespace {

bool IsCharacter(char32_t c) { return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF); }

}  // namespace

char32_t NextUtf8CodePoint(std::string_view text, std::size_t& i) {
  const auto b0 = static_cast<std::uint8_t>(text[i++]);
  if (b0 < 0x80) return b0;
  int extra = 0;
  char32_t c = 0;
  char32_t least = 0;  // the smallest value that needs this many bytes
  if ((b0 & 0xE0) == 0xC0) { extra = 1; c = b0 & 0x1F; least = 0x80; }
  else if ((b0 & 0xF0) == 0xE0) { extra = 2; c = b0 & 0x0F; least = 0x800; }
  else if ((b0 & 0xF8) == 0xF0) { extra = 3; c = b0 & 0x07; least = 0x10000; }
  else return kReplacementCharacter;
  for (int k = 0; k < extra; ++k) {
    if (i >= text.size() || (static_cast<std::uint8_t>(text[i]) & 0xC0) != 0x80) return kReplacementCharacter;
    c = (c << 6) | (static_cast<std::uint8_t>(text[i++]) & 0x3F);
  }
  if (c < least || !IsCharacter(c)) return kReplacementCharacter;
  return c;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (!IsCharacter(c)) c = kReplacementCharacter;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}
