#include "tools/modem_sim/gsm_text.h"

#include <cstdint>

namespace {

constexpr std::uint8_t kEscape = 27;

constexpr char16_t kMain[128] = {
    u'@',    u'\u00A3', u'$',     u'\u00A5', u'\u00E8', u'\u00E9', u'\u00F9', u'\u00EC',  // 0
    u'\u00F2', u'\u00C7', u'\n',  u'\u00D8', u'\u00F8', u'\r',     u'\u00C5', u'\u00E5',  // 8
    u'\u0394', u'_',    u'\u03A6', u'\u0393', u'\u039B', u'\u03A9', u'\u03A0', u'\u03A8',  // 16
    u'\u03A3', u'\u0398', u'\u039E', u' ',    u'\u00C6', u'\u00E6', u'\u00DF', u'\u00C9',  // 24 (27 is the escape; twice, a blank)
    u' ',    u'!',    u'"',    u'#',    u'\u00A4', u'%',    u'&',    u'\'',  // 32
    u'(',    u')',    u'*',    u'+',    u',',    u'-',    u'.',    u'/',   // 40
    u'0',    u'1',    u'2',    u'3',    u'4',    u'5',    u'6',    u'7',   // 48
    u'8',    u'9',    u':',    u';',    u'<',    u'=',    u'>',    u'?',   // 56
    u'\u00A1', u'A',  u'B',    u'C',    u'D',    u'E',    u'F',    u'G',   // 64
    u'H',    u'I',    u'J',    u'K',    u'L',    u'M',    u'N',    u'O',   // 72
    u'P',    u'Q',    u'R',    u'S',    u'T',    u'U',    u'V',    u'W',   // 80
    u'X',    u'Y',    u'Z',    u'\u00C4', u'\u00D6', u'\u00D1', u'\u00DC', u'\u00A7',  // 88
    u'\u00BF', u'a',  u'b',    u'c',    u'd',    u'e',    u'f',    u'g',   // 96
    u'h',    u'i',    u'j',    u'k',    u'l',    u'm',    u'n',    u'o',   // 104
    u'p',    u'q',    u'r',    u's',    u't',    u'u',    u'v',    u'w',   // 112
    u'x',    u'y',    u'z',    u'\u00E4', u'\u00F6', u'\u00F1', u'\u00FC', u'\u00E0',  // 120
};

struct Extension {
  std::uint8_t code;
  char16_t ch;
};
constexpr Extension kExtension[] = {
    {10, u'\f'}, {20, u'^'}, {40, u'{'}, {41, u'}'}, {47, u'\\'},
    {60, u'['},  {61, u'~'}, {62, u']'}, {64, u'|'}, {101, u'\u20AC'},
};

}  // namespace

std::optional<std::string> TextToGsmCodes(std::u16string_view text) {
  std::string codes;
  codes.reserve(text.size());
  for (char16_t ch : text) {
    bool found = false;
    for (std::uint8_t code = 0; code < 128 && !found; ++code) {
      if (code != kEscape && kMain[code] == ch) {
        codes += static_cast<char>(code);
        found = true;
      }
    }
    for (const Extension& e : kExtension) {
      if (found || e.ch != ch) continue;
      codes += static_cast<char>(kEscape);
      codes += static_cast<char>(e.code);
      found = true;
    }
    if (!found) return std::nullopt;
  }
  return codes;
}

std::u16string GsmCodesToText(std::string_view codes) {
  std::u16string text;
  text.reserve(codes.size());
  for (std::size_t i = 0; i < codes.size(); ++i) {
    const auto code = static_cast<std::uint8_t>(codes[i] & 0x7F);
    if (code != kEscape) {
      text += kMain[code];
      continue;
    }
    if (++i == codes.size()) break;
    const auto next = static_cast<std::uint8_t>(codes[i] & 0x7F);
    char16_t ch = kMain[next];
    for (const Extension& e : kExtension)
      if (e.code == next) ch = e.ch;
    text += ch;
  }
  return text;
}
