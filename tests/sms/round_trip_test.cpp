// What we build is what a receiver reads: random texts through the builder and
// back through the parser.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "sms/gsm_alphabet.h"
#include "sms/tsms.h"

namespace {

// Bytes the 7-bit alphabet carries unchanged (line breaks are normalised on
// reading, so they are left out).
std::string SevenBitCharacters() {
  std::string chars;
  for (unsigned b = 0x01; b < 0x80; ++b) {
    const std::string one(1, static_cast<char>(b));
    if (b != '\r' && b != '\n' && GsmConvert(GsmConvert(one, true), false) == one) chars += one;
  }
  return chars;
}

// Every Windows-1251 character but the line breaks and the zero byte.
std::string AnsiCharacters() {
  std::string chars;
  for (unsigned b = 0x01; b <= 0xFF; ++b)
    if (b != '\r' && b != '\n') chars += static_cast<char>(b);
  return chars;
}

std::string RandomText(std::mt19937& rng, const std::string& alphabet, std::size_t length) {
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  std::string text;
  for (std::size_t i = 0; i < length; ++i) text += alphabet[pick(rng)];
  return text;
}

std::string RandomNumber(std::mt19937& rng) {
  std::uniform_int_distribution<int> digits(1, 20), digit(0, 9), plus(0, 1);
  std::string number = plus(rng) ? "+" : "";
  for (int i = digits(rng); i > 0; --i) number += static_cast<char>('0' + digit(rng));
  return number;
}

TEST(RoundTrip, SevenBitCharacterSet) {
  const std::string chars = SevenBitCharacters();
  // Letters, digits, "@", "$", "_", the usual punctuation and, with the escape,
  // brackets; not the grave accent.
  EXPECT_NE(chars.find('@'), std::string::npos);
  EXPECT_NE(chars.find('_'), std::string::npos);
  EXPECT_NE(chars.find('['), std::string::npos);
  EXPECT_EQ(chars.find('`'), std::string::npos);
}

TEST(RoundTrip, RandomTextsSurviveBuildAndParse) {
  struct Run {
    const char* name;
    std::string alphabet;
    int coding;
    std::size_t maxLength;
  };
  const Run runs[] = {{"7-bit", SevenBitCharacters(), 0, 160}, {"ucs2", AnsiCharacters(), 2, 70}};
  std::mt19937 rng(20261209);
  for (const auto& run : runs) {
    std::uniform_int_distribution<std::size_t> length(0, run.maxLength);
    for (int i = 0; i < 400; ++i) {
      const std::size_t size = i < 8 ? run.maxLength - static_cast<std::size_t>(i) : length(rng);
      const std::string text = RandomText(rng, run.alphabet, size);
      const std::string number = RandomNumber(rng);
      const bool withHeader = i % 2 == 1;
      // A part of a concatenated message is 7 characters shorter than a single SMS.
      const std::string body = withHeader ? text.substr(0, run.maxLength - 7) : text;
      TSMS out;
      out.text = body;
      out.number = number;
      out.codingReq = run.coding;
      if (withHeader) out.udh = "050003A70301";
      const std::string pdu = out.BuildSubmitPdu();

      TSMS in;
      in.ParsePdu(pdu);
      EXPECT_EQ(in.tpduLen, out.tpduLen) << run.name;
      EXPECT_EQ(in.coding, run.coding) << run.name;
      EXPECT_EQ(in.GetNumber(), number) << run.name;
      EXPECT_EQ(in.GetTimestamp(), "") << run.name;
      EXPECT_EQ(in.GetText(), body) << run.name << " " << pdu;
      EXPECT_EQ(in.udh, out.udh) << run.name;
    }
  }
}

TEST(RoundTrip, TrailingAtSignFillingTheLastOctet) {
  // Eight septets fill seven octets exactly; a final "@" is text, not padding.
  for (const std::string& text : {std::string("abcdefg@"), std::string(16, '@'), std::string("abcdefgh")}) {
    TSMS out;
    out.text = text;
    out.number = "1";
    TSMS in;
    in.ParsePdu(out.BuildSubmitPdu());
    EXPECT_EQ(in.GetText(), text);
  }
}

}  // namespace
