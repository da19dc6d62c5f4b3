#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "platform/codepage.h"
#include "platform/date_time.h"
#include "sms/tsms.h"

namespace {

const std::string kSender = "0B919761214365F7";  // +79161234567
const std::string kStamp = "90302141503200";     // 12.03.2009 14:05:23, zone 00

// An SMS-DELIVER without a service-centre address.
std::string Deliver(const std::string& fo, const std::string& dcs, const std::string& stamp,
                    const std::string& udl, const std::string& ud) {
  return "00" + fo + kSender + "00" + dcs + stamp + udl + ud;
}

std::string Stamp(int y, int mo, int d, int h, int mi, int s) {
  return DateTimeToStr(DateTime{y, mo, d, h, mi, s});
}

TEST(ParsePdu, PublicVectors) {
  struct Vector {
    const char* name;
    std::string pdu;
    std::string number;
    std::string text;
    std::string stamp;
    int tpduLen;
  };
  const Vector vectors[] = {
      {"submit-hellohello", "0011000B916407281553F80000AA0AE8329BFD4697D9EC37", "+46708251358", "hellohello", "", 23},
      {"deliver-how-are-you", "07911326040000F0040B911346610089F60000208062917314480CC8F71D14969741F977FD07",
       "+31641600986", "How are you?", Stamp(2002, 8, 26, 19, 37, 41), 30},
      {"submit-ucs2", "038121431100048121430008FF1A005A006B006F00750161006B0061002000730069007200E9006E", "1234",
       "Zkou?ka sir?n", "", 36},
  };
  for (const auto& v : vectors) {
    // Some modems list PDUs in lowercase hexadecimal: the same message.
    std::string lower = v.pdu;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const std::string& pdu : {v.pdu, lower}) {
      TSMS sms;
      sms.ParsePdu(pdu);
      EXPECT_EQ(sms.tpduLen, v.tpduLen) << v.name << " " << pdu;
      EXPECT_EQ(sms.GetNumber(), v.number) << v.name << " " << pdu;
      EXPECT_EQ(sms.GetTimestamp(), v.stamp) << v.name << " " << pdu;
      EXPECT_EQ(sms.GetText(), v.text) << v.name << " " << pdu;
    }
  }
}

TEST(ParsePdu, ReadsHeaderFields) {
  TSMS sms;
  sms.ParsePdu("0011000B916407281553F80000AA0AE8329BFD4697D9EC37");
  EXPECT_EQ(sms.smscLen, 0);
  EXPECT_EQ(sms.firstPos, 3);
  EXPECT_TRUE(sms.isSubmit);
  EXPECT_FALSE(sms.udhi);
  EXPECT_EQ(sms.vpLen, 2);
  EXPECT_EQ(sms.addrPos, 9);
  EXPECT_EQ(sms.addrLen, 12);
  EXPECT_EQ(sms.mr, "00");
  EXPECT_EQ(sms.coding, 0);

  TSMS deliver;
  deliver.ParsePdu(Deliver("44", "08", kStamp, "00", ""));
  EXPECT_FALSE(deliver.isSubmit);
  EXPECT_TRUE(deliver.udhi);
  EXPECT_EQ(deliver.vpLen, 0);
  EXPECT_EQ(deliver.addrPos, 7);
  EXPECT_EQ(deliver.coding, 2);
}

TEST(ParsePdu, ValidityPeriodFormats) {
  const std::pair<std::string, int> cases[] = {{"01", 0}, {"11", 2}, {"09", 14}, {"19", 14}};
  for (const auto& [fo, vpLen] : cases) {
    TSMS sms;
    sms.ParsePdu("00" + fo + "00" "0581214365");
    EXPECT_EQ(sms.vpLen, vpLen) << fo;
  }
}

TEST(ParsePdu, FieldsThatAreNotHexCountAsZero) {
  TSMS sms;
  sms.ParsePdu("");
  EXPECT_EQ(sms.smscLen, 0);
  EXPECT_EQ(sms.tpduLen, -1);
  EXPECT_EQ(sms.firstPos, 3);
  EXPECT_FALSE(sms.isSubmit);
  EXPECT_EQ(sms.addrPos, 7);
  EXPECT_EQ(sms.addrLen, 0);
  EXPECT_EQ(sms.mr, "");
  EXPECT_EQ(sms.GetNumber(), "");
  EXPECT_EQ(sms.GetText(), Ansi("Ошибка"));

  TSMS junk;
  junk.ParsePdu("ZZ11XXYY");
  EXPECT_EQ(junk.smscLen, 0);
  EXPECT_TRUE(junk.isSubmit);
  EXPECT_EQ(junk.mr, "XX");
  EXPECT_EQ(junk.addrLen, 0);
}

TEST(GetTimestamp, FormatsTheServiceCentreStamp) {
  const std::pair<std::string, std::string> cases[] = {
      {kStamp, Stamp(2009, 3, 12, 14, 5, 23)},
      {"90302100000000", DateToStr(DateTime{2009, 3, 12})},  // midnight: the date alone
      {"80209221000021", Stamp(2008, 2, 29, 12, 0, 0)},      // leap day; the zone is ignored
  };
  for (const auto& [stamp, text] : cases) {
    TSMS sms;
    sms.ParsePdu(Deliver("04", "00", stamp, "02", "C834"));
    EXPECT_EQ(sms.GetTimestamp(), text) << stamp;
  }
  EXPECT_EQ(Stamp(2009, 3, 12, 14, 5, 23), "12.03.2009 14:05:23");
}

TEST(GetTimestamp, RejectsStampsThatAreNoDate) {
  for (const std::string stamp : {"90209221000000", "9030214150F200", "99999999999999", "00000000000000"}) {
    TSMS sms;
    sms.ParsePdu(Deliver("04", "00", stamp, "", ""));
    EXPECT_THROW(sms.GetTimestamp(), ESmsTimestampError) << stamp;
  }
  TSMS shortPdu;
  shortPdu.ParsePdu("0004");
  EXPECT_THROW(shortPdu.GetTimestamp(), ESmsTimestampError);
}

TEST(GetText, ReadsEachCodingAndHeader) {
  struct Case {
    const char* name;
    std::string pdu;
    std::string text;
    std::string udh;
  };
  const Case cases[] = {
      {"7-bit", Deliver("04", "00", kStamp, "02", "C834"), "Hi", ""},
      {"7-bit with UDHL 5: text from the eighth septet", Deliver("44", "00", kStamp, "09", "0500032A0201D069"), "hi",
       "0500032A0201"},
      {"ucs2", Deliver("04", "08", kStamp, "0C", "041F04400438"), Ansi("При"), ""},
      {"ucs2 with UDHL 5", Deliver("44", "08", kStamp, "0A", "0500032A020100680069"), "hi", "0500032A0201"},
      // A seven-octet header (16-bit reference) puts the text on an odd octet.
      {"ucs2 with UDHL 6", Deliver("44", "08", kStamp, "0B", "0608040001020100680069"), "hi", "06080400010201"},
      {"8-bit", Deliver("04", "04", kStamp, "02", "4869"), "Hi", ""},
      // A header directly followed by the data, as other senders write it.
      {"8-bit with header", Deliver("44", "04", kStamp, "08", "0500032A02016869"), "hi", "0500032A0201"},
      // Our own builder leaves one zero octet after the header.
      {"8-bit part as built here", Deliver("44", "04", kStamp, "09", "0500032A0201006869"), "hi", "0500032A0201"},
      {"flash class 0", Deliver("04", "10", kStamp, "02", "C834"), "Hi", ""},
      {"reserved coding", Deliver("04", "0C", kStamp, "02", "C834"), Ansi("Ошибка"), ""},
      {"length not hex", Deliver("04", "00", kStamp, "XX", "C834"), Ansi("Ошибка"), ""},
      {"header length not hex", Deliver("44", "00", kStamp, "09", "XX"), Ansi("Ошибка"), ""},
      {"ucs2 data not hex", Deliver("04", "08", kStamp, "02", "00GG"), Ansi("Ошибка"), ""},
      {"8-bit data not hex", Deliver("04", "04", kStamp, "02", "4G"), Ansi("Ошибка"), ""},
      {"line breaks", Deliver("04", "00", kStamp, "03", "61850D"), "a\r\n6", ""},
      {"octets beyond the length", Deliver("04", "00", kStamp, "01", "C834"), "H", ""},
      {"truncated user data", Deliver("04", "00", kStamp, "A0", "C834"), "Hi", ""},
  };
  for (const auto& c : cases) {
    TSMS sms;
    sms.ParsePdu(c.pdu);
    EXPECT_EQ(sms.GetText(), c.text) << c.name;
    EXPECT_EQ(sms.udh, c.udh) << c.name;
  }
}

// Broken PDUs, as a sender or a faulty SIM may hand them over: each getter gives
// its failure value, and nothing reads beyond the text.
TEST(ParsePdu, BrokenPdusFailCleanly) {
  const std::string error = Ansi("Ошибка");
  struct Case {
    const char* name;
    std::string pdu;
    std::string number;
    bool stampThrows;
    std::string text;
  };
  const Case cases[] = {
      {"service centre longer than the pdu", "FF", "", true, error},
      {"address longer than the pdu", "0044FF", "", true, error},
      {"address cut short", "00440B91", "+", true, error},
      {"first octet only", "0004", "", true, error},
      {"alphanumeric sender without digits", "00040AD0", "", true, error},
      {"header longer than the pdu", Deliver("44", "00", kStamp, "A0", "FF"), "+79161234567", false, ""},
      {"ucs2 header longer than the pdu", Deliver("44", "08", kStamp, "0B", "FF0001"), "+79161234567", false, ""},
      {"length beyond the data", "0011000B916407281553F80000AAFFE8329BFD4697D9EC37", "+46708251358", false, "hellohello"},
      {"odd digit count", "0011000B916407281553F80000AA0AE8329BFD4697D9EC3", "+46708251358", false, "hellohell"},
  };
  for (const auto& c : cases) {
    TSMS sms;
    sms.ParsePdu(c.pdu);
    EXPECT_EQ(sms.GetNumber(), c.number) << c.name;
    if (c.stampThrows) EXPECT_THROW(sms.GetTimestamp(), ESmsTimestampError) << c.name;
    else EXPECT_NO_THROW(sms.GetTimestamp()) << c.name;
    EXPECT_EQ(sms.GetText(), c.text) << c.name;
  }
}

TEST(GetText, ZeroesTheHeaderInThePdu) {
  TSMS sms;
  sms.ParsePdu(Deliver("44", "00", kStamp, "09", "0500032A0201D069"));
  EXPECT_EQ(sms.GetText(), "hi");
  EXPECT_EQ(sms.udl, 9);
  EXPECT_EQ(sms.pdu, Deliver("44", "00", kStamp, "09", "000000000000D069"));
}

TEST(NormalizeLineBreaks, MakesEveryBreakCrLf) {
  const std::pair<std::string, std::string> cases[] = {
      {"a\rb", "a\r\nb"},     {"a\nb", "a\r\nb"},         {"a\n\rb", "a\r\nb"},   {"a\r\nb", "a\r\nb"},
      {"\n\n", "\r\n\r\n"},   {"\r\r", "\r\n\r\n"},       {"\r\n\n", "\r\n\r\n"}, {"", ""},
      {"plain", "plain"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(TSMS::NormalizeLineBreaks(in), out);
}

}  // namespace
