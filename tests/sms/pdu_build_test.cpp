#include <gtest/gtest.h>

#include <string>

#include "platform/codepage.h"
#include "sms/tsms.h"

namespace {

struct BuildCase {
  const char* name;
  std::string text;
  std::string number;
  std::string udh;
  int codingReq;
  bool flash;
  std::string pdu;
};

TEST(BuildSubmitPdu, BuildsTheExpectedPdus) {
  const BuildCase cases[] = {
      {"7-bit", "Hi", "12345", "", 0, false, "00110005812143F50000FF02C834"},
      {"ucs2", "Hi", "12345", "", 2, false, "00110005812143F50008FF0400480069"},
      {"7-bit part", "hi", "12345", "0500032A0201", 0, false, "00510005812143F50000FF090500032A0201D069"},
      {"ucs2 part", "hi", "12345", "0500032A0201", 2, false, "00510005812143F50008FF0A0500032A020100680069"},
      {"flash", "Hi", "12345", "", 0, true, "00110005812143F50010FF02C834"},
      {"ucs2 flash", "Hi", "12345", "", 2, true, "00110005812143F50018FF0400480069"},
      {"8-bit", "Hi", "12345", "", 1, false, "00110005812143F50004FF024869"},
      // The header is followed by the one zero octet left of the fill.
      {"8-bit part", "hi", "12345", "0500032A0201", 1, false, "00510005812143F50004FF090500032A0201006869"},
      {"empty", "", "12345", "", 0, false, "00110005812143F50000FF00"},
      {"international", "Hi", "+79161234567", "", 0, false, "0011000B919761214365F70000FF02C834"},
      {"hello", "hello", "", "", 0, false, "0011000081" "0000FF05E8329BFD06"},
      {"auto latin", "Hi", "1", "", -1, false, "0011000181F10000FF02C834"},
      {"auto cyrillic", Ansi("Я"), "1", "", -1, false, "0011000181F10008FF02042F"},
      {"other coding", "A", "1", "", 5, false, "0011000181F10008FF020041"},
      // Characters beyond Latin-1 go as "?", not as their UTF-16 low byte
      // (ellipsis U+2026 would be "&", trade mark U+2122 a quote).
      {"beyond latin-1", "\x85\x99", "1", "", 0, false, "0011000181F10000FF02BF1F"},
      {"latin-1 high", "\xA7", "1", "", 0, false, "0011000181F10000FF013F"},
  };
  for (const auto& c : cases) {
    TSMS sms;
    sms.text = c.text;
    sms.number = c.number;
    sms.udh = c.udh;
    sms.codingReq = c.codingReq;
    sms.flash = c.flash;
    EXPECT_EQ(sms.BuildSubmitPdu(), c.pdu) << c.name;
    EXPECT_EQ(sms.tpduLen, static_cast<int>(c.pdu.size() / 2 - 1)) << c.name;
  }
}

TEST(BuildSubmitPdu, FirstOctetFlagsAndReference) {
  TSMS sms;
  sms.text = "Hi";
  sms.number = "12345";
  sms.mr = "2A";
  sms.statusReport = true;
  sms.replyPath = true;
  EXPECT_EQ(sms.BuildSubmitPdu(), "00B12A05812143F50000FF02C834");
}

TEST(BuildSubmitPdu, HeaderWithoutDecimalLengthFails) {
  for (int coding : {0, 1}) {
    TSMS sms;
    sms.text = "hi";
    sms.number = "12345";
    sms.udh = "0A0003";
    sms.codingReq = coding;
    sms.tpduLen = 99;
    EXPECT_EQ(sms.BuildSubmitPdu(), "") << coding;
    EXPECT_EQ(sms.tpduLen, 0) << coding;
  }
  // UCS2 takes the header's size as fixed and does not read its length.
  TSMS ucs2;
  ucs2.text = "hi";
  ucs2.udh = "0A0003";
  ucs2.codingReq = 2;
  EXPECT_NE(ucs2.BuildSubmitPdu(), "");
}

}  // namespace
