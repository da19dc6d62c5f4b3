#include <gtest/gtest.h>

#include <string>

#include "sms/hex_text.h"
#include "sms/septets.h"
#include "sms/tsms.h"

namespace {

TEST(Address, Encodes) {
  const std::pair<std::string, std::string> cases[] = {
      {"+123", "039121F3"},
      {"", "0081"},
      {"+", "0091"},
      {"12345", "05812143F5"},
      {"1234", "04812143"},
      {"+79161234567", "0B919761214365F7"},
      {"12a", "038121Fa"},  // not validated, only swapped
  };
  for (const auto& [number, field] : cases) EXPECT_EQ(TSMS::EncodeAddress(number), field) << number;
}

TEST(Address, Decodes) {
  const std::pair<std::string, std::string> cases[] = {
      {"9121F3", "+123"},
      {"812143", "1234"},
      {"A12143", "1234"},            // national
      {"919761214365F7", "+79161234567"},
      {"812143f5", "12345f"},        // only an uppercase F is padding
      {"D0E8329BFD06", "hello"},     // alphanumeric sender
      {"91", "+"},
      {"ZZ2143", ""},                // a type that is not hex
      {"", ""},
      {"8", ""},
  };
  for (const auto& [field, number] : cases) EXPECT_EQ(TSMS::DecodeAddress(field), number) << field;
}

TEST(Address, RoundTrips) {
  for (const std::string number : {"+79161234567", "12345", "1", "+4670825135", "0"})
    EXPECT_EQ(TSMS::DecodeAddress(TSMS::EncodeAddress(number).substr(2)), number);
}

TEST(SwapNibbles, SwapsPairs) {
  EXPECT_EQ(TSMS::SwapNibbles("12345"), "21435");
  EXPECT_EQ(TSMS::SwapNibbles("1234"), "2143");
  EXPECT_EQ(TSMS::SwapNibbles(""), "");
}

TEST(Unpack7Bit, UnpacksSeptets) {
  const std::pair<std::string, std::string> cases[] = {
      {"E8329BFD06", "hello"},
      {"E8329BFD060", "hello"},               // an odd last digit is ignored
      {"C834", "Hi"},
      {"E832bBFD06", "he"},                   // a lowercase first digit ends reading
      {"E8329BFd06", "hel\xF6\xBF"},          // a lowercase second digit: the first alone
      {"", ""},
      {"9B32", "\xA4"},                       // escape + 101
  };
  for (const auto& [hex, text] : cases) EXPECT_EQ(TSMS::Unpack7Bit(hex), text) << hex;
}

TEST(Unpack7Bit, SevenOctetsGiveSevenOrEightCharacters) {
  const std::string seven = PackSeptets("abcdefg");
  const std::string eight = PackSeptets("abcdefgh");
  ASSERT_EQ(seven.size(), 14u);
  ASSERT_EQ(eight.size(), 14u);
  EXPECT_EQ(TSMS::Unpack7Bit(seven), "abcdefg");   // the eighth septet is 0: padding
  EXPECT_EQ(TSMS::Unpack7Bit(eight), "abcdefgh");
  EXPECT_EQ(UnpackSeptets(seven, true), std::string("abcdefg\0", 8));
}

TEST(PackSeptets, PacksHello) {
  EXPECT_EQ(PackSeptets("hello"), "E8329BFD06");
  EXPECT_EQ(PackSeptets(""), "");
}

TEST(HexText, ConvertsToBytesAndUnits) {
  EXPECT_EQ(TSMS::HexToBytes("41420"), "AB");
  EXPECT_EQ(TSMS::HexToBytes("00ff"), std::string("\x00\xFF", 2));
  EXPECT_EQ(TSMS::HexToBytes("4G"), std::nullopt);
  EXPECT_EQ(TSMS::HexToBytes(""), "");
  EXPECT_EQ(TSMS::HexToUcs2("00410042"), u"AB");
  EXPECT_EQ(TSMS::HexToUcs2("041"), u"\u0410");  // padded with "0" to four digits
  EXPECT_EQ(TSMS::HexToUcs2("00410"), std::u16string(u"A\0", 2));
  EXPECT_EQ(TSMS::HexToUcs2("00G1"), std::nullopt);
  EXPECT_EQ(ParseHex("+1"), std::nullopt);
  EXPECT_EQ(ParseHex(" 1"), std::nullopt);
  EXPECT_EQ(HexOctetAt("0A1", 3), 1u);  // one digit left
  EXPECT_EQ(HexOctetAt("0A", 3), std::nullopt);
  EXPECT_EQ(ToHex(0x2A, 2), "2A");
  EXPECT_EQ(ToHex(7, 2), "07");
  EXPECT_EQ(ToHex(0, 2), "00");
  EXPECT_EQ(ToHex(0x410, 4), "0410");
  EXPECT_EQ(ToHex(0x123, 2), "123");
}

}  // namespace
