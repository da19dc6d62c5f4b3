#include <gtest/gtest.h>

#include "platform/codepage.h"

namespace {

TEST(CodePage, EveryByteRoundTrips) {
  for (int b = 0; b < 256; ++b) {
    const std::string one(1, static_cast<char>(b));
    EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(one)), one) << b;
  }
}

TEST(CodePage, KnownLetters) {
  struct Case { std::uint8_t byte; char32_t code; };
  const Case cases[] = {
      {'A', U'A'}, {0xC0, U'А'}, {0xDF, U'Я'}, {0xE0, U'а'}, {0xFF, U'я'}, {0xA8, U'Ё'},
      {0xB8, U'ё'}, {0xB9, U'№'}, {0x88, U'€'}, {0x96, U'–'}, {0xA0, 0x00A0}, {0x80, U'Ђ'},
  };
  for (auto [byte, code] : cases) {
    EXPECT_EQ(Cp1251ToUnicode(byte), code) << int(byte);
    std::uint8_t back = 0;
    ASSERT_TRUE(UnicodeToCp1251(code, back));
    EXPECT_EQ(back, byte);
  }
  EXPECT_EQ(Utf8ToAnsi("Привет"), "\xCF\xF0\xE8\xE2\xE5\xF2");
  EXPECT_EQ(AnsiToUtf8("\xCF\xF0\xE8\xE2\xE5\xF2"), "Привет");
}

TEST(CodePage, MissingCharactersBecomeQuestionMarks) {
  EXPECT_EQ(Utf8ToAnsi("a😀b"), "a?b");       // emoji: one character, one byte
  EXPECT_EQ(Utf8ToAnsi("Zkouška"), "Zkou?ka");
  EXPECT_EQ(Utf8ToAnsi("x\xFFy"), "x?y");     // malformed UTF-8
  EXPECT_EQ(Utf8ToAnsi("\xD0"), "?");         // truncated sequence
}

}  // namespace
