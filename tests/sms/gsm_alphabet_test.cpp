#include <gtest/gtest.h>

#include <string>

#include "sms/gsm_alphabet.h"
#include "sms/tsms.h"

namespace {

TEST(GsmCharMap, MapsBytesToCodes) {
  struct Case {
    unsigned byte;
    unsigned code;
  };
  const Case cases[] = {
      {0x40, 0},  {'$', 2},   {'_', 17},  {0x60, 63}, {0x00, 27}, {'\n', 10}, {'\r', 13},
      {' ', 32},  {'#', 35},  {'?', 63},  {'A', 65},  {'z', 122},
      // The extension table's own codes, which the escape precedes.
      {'[', 60},  {'\\', 47}, {']', 62},  {'^', 20},  {'{', 40},  {'|', 64},  {'}', 41},
      {'~', 61},  {0x0C, 10},
      {0x01, 63}, {0x7F, 63},
  };
  for (const auto& c : cases) EXPECT_EQ(GsmCharMap(static_cast<std::uint8_t>(c.byte)), c.code) << c.byte;
}

TEST(GsmCharMap, EveryHighByteBecomesQuestionMark) {
  // Even where the alphabet has the Latin-1 character (0xA3 pound, 0xE9 e acute).
  for (unsigned b = 0x80; b <= 0xFF; ++b) EXPECT_EQ(GsmCharMap(static_cast<std::uint8_t>(b)), 63u) << b;
}

TEST(GsmConvert, EncodesEveryByteAndEscapesTheExtensionTable) {
  EXPECT_EQ(GsmConvert(std::string("@$[\xE9", 4), true), std::string("\x00\x02\x1B\x3C\x3F", 5));
  EXPECT_EQ(GsmConvert("\f[\\]^{|}~", true), "\x1B\x0A\x1B\x3C\x1B\x2F\x1B\x3E\x1B\x14\x1B\x28\x1B\x40\x1B\x29\x1B\x3D");
}

// A byte has a place when it comes back as itself; those of the extension table
// take the escape and so two septets.
TEST(GsmHasPlace, EveryByteThatComesBackAsItself) {
  const std::string escaped = "\f[\\]^{|}~";
  for (unsigned b = 0; b <= 0xFF; ++b) {
    const auto byte = static_cast<std::uint8_t>(b);
    const bool placed = (b >= 0x20 && b < 0x7F && b != '`') || b == '\r' || b == '\n' || b == '\f';
    EXPECT_EQ(GsmHasPlace(byte), placed) << b;
    EXPECT_EQ(GsmEscaped(byte), escaped.find(static_cast<char>(b)) != std::string::npos && b != 0) << b;
  }
}

TEST(GsmConvert, DecodesCodesAndExtensionPairs) {
  struct Case {
    std::string codes;
    std::string bytes;
  };
  const Case cases[] = {
      {std::string("\x00", 1), "@"},
      {"\x06\x10\x12\x1F", "\xFA\xC4\xD6\xCA"},  // the table's own entries, not Latin-1
      {"\x1B\x65", "\xA4"},
      {"\x1B\x41", std::string("\x00", 1)},  // unknown pair
      {"\x1B\x1B", std::string("\x00", 1)},
      {"A\x1B", "A"},  // a trailing escape yields nothing
      {"\x1B\x0A\x1B\x14\x1B\x28\x1B\x29\x1B\x2F\x1B\x3C\x1B\x3D\x1B\x3E\x1B\x40", "\x0C^{}\\[~]|"},
      {"Hi\x0D\x0A", "Hi\r\n"},
      {"\xC8", "?"},  // wider than seven bits: not a code
  };
  for (const auto& c : cases) EXPECT_EQ(GsmConvert(c.codes, false), c.bytes);
}

TEST(GsmConvert, CodesBelow128) {
  for (unsigned b = 0; b <= 0xFF; ++b) EXPECT_LT(GsmCharMap(static_cast<std::uint8_t>(b)), 128u);
}

TEST(DetectCoding, OnlyCyrillicLettersAskForUcs2) {
  EXPECT_EQ(TSMS::DetectCoding(u"Hello, world"), 0);
  EXPECT_EQ(TSMS::DetectCoding(u"Привет"), 2);
  EXPECT_EQ(TSMS::DetectCoding(u"abc я"), 2);
  EXPECT_EQ(TSMS::DetectCoding(u"Ё€№"), 0);   // 0xA8, 0x88, 0xB9
  EXPECT_EQ(TSMS::DetectCoding(u"üß中"), 0);  // not in the code page at all
  EXPECT_EQ(TSMS::DetectCoding(u""), 0);
}

}  // namespace
