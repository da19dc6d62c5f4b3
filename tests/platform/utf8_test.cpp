#include "platform/utf8.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/codepage.h"

namespace {

constexpr char32_t R = kReplacementCharacter;

std::vector<char32_t> Decode(std::string_view text) {
  std::vector<char32_t> codes;
  for (std::size_t i = 0; i < text.size();) codes.push_back(NextUtf8CodePoint(text, i));
  return codes;
}

struct Case {
  const char* what;
  std::string bytes;
  std::vector<char32_t> codes;
};

TEST(Utf8, DecodesCharactersAndRefusesEveryOtherForm) {
  const Case cases[] = {
      // Characters, at the edges of each length.
      {"one byte", "A\x7F", {U'A', 0x7F}},
      {"two bytes", "\xC2\x80\xD0\x96\xDF\xBF", {0x80, U'Ж', 0x7FF}},
      {"three bytes", "\xE0\xA0\x80\xE2\x82\xAC\xEF\xBF\xBF", {0x800, U'€', 0xFFFF}},
      {"around the surrogates", "\xED\x9F\xBF\xEE\x80\x80", {0xD7FF, 0xE000}},
      {"four bytes", "\xF0\x90\x80\x80\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF", {0x10000, 0x1F600, 0x10FFFF}},
      // Overlong forms: a zero byte or '/' must not hide in a longer form.
      {"overlong zero", std::string("a\xC0\x80z"), {U'a', R, U'z'}},
      {"overlong two bytes", "\xC1\xBF", {R}},
      {"overlong slash in three bytes", "\xE0\x80\xAF", {R}},
      {"overlong three bytes", "\xE0\x9F\xBF", {R}},
      {"overlong four bytes", "\xF0\x8F\xBF\xBF", {R}},
      // Surrogates are not characters, paired or not.
      {"first surrogate", "\xED\xA0\x80", {R}},
      {"last surrogate", "\xED\xBF\xBF", {R}},
      {"a surrogate pair in UTF-8", "\xED\xA0\xBD\xED\xB8\x80", {R, R}},
      // Beyond Unicode, and bytes that never start a character.
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", {R}},
      {"five-byte lead", "\xF8\x88\x80\x80\x80", {R, R, R, R, R}},
      {"stray continuation", "\x80" "A", {R, U'A'}},
      {"0xFF", "x\xFFy", {U'x', R, U'y'}},
      // Truncated: the byte that broke the sequence is read again.
      {"truncated at the end", "\xE2\x82", {R}},
      {"four bytes cut short", "\xF0\x9F\x98", {R}},
      {"cut by a letter", "\xE2\x82" "A", {R, U'A'}},
      {"cut by a new lead", "\xD0\xD0\x96", {R, U'Ж'}},
  };
  for (const Case& c : cases) EXPECT_EQ(Decode(c.bytes), c.codes) << c.what;
}

TEST(Utf8, EncodesEveryCharacterAsItDecodesAndASurrogateAsTheReplacement) {
  for (const char32_t code : {char32_t{0}, char32_t{0x7F}, char32_t{0x80}, char32_t{0x7FF}, char32_t{0x800},
                              char32_t{0xD7FF}, char32_t{0xE000}, char32_t{0xFFFF}, char32_t{0x10000},
                              char32_t{0x10FFFF}}) {
    std::string bytes;
    AppendUtf8(bytes, code);
    EXPECT_EQ(Decode(bytes), std::vector<char32_t>{code}) << std::hex << static_cast<std::uint32_t>(code);
  }
  for (const char32_t bad : {char32_t{0xD800}, char32_t{0xDFFF}, char32_t{0x110000}}) {
    std::string bytes;
    AppendUtf8(bytes, bad);
    EXPECT_EQ(bytes, "\xEF\xBF\xBD") << std::hex << static_cast<std::uint32_t>(bad);
  }
}

// The code page conversion takes the same decoder: what is refused becomes '?'.
TEST(Utf8, TheCodePageTurnsRefusedFormsIntoQuestionMarks) {
  EXPECT_EQ(Utf8ToAnsi(std::string("a\xC0\x80z")), "a?z");
  EXPECT_EQ(Utf8ToAnsi("\xED\xA0\x80"), "?");
  EXPECT_EQ(Utf8ToAnsi("\xE2\x82"), "?");
}

}  // namespace
