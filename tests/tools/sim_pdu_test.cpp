// The simulator's own PDU work: the SMS-DELIVER it keeps on its SIM, and what it
// makes of an SMS-SUBMIT it is given.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "platform/codepage.h"
#include "platform/date_time.h"
#include "sms/tsms.h"
#include "tools/modem_sim/deliver_pdu.h"
#include "tools/modem_sim/submit_pdu.h"

namespace {

TEST(DeliverPdu, BuildsThePublicVector) {
  const ReceivedSms sms{"+31641600986", "How are you?", {2002, 8, 26, 19, 37, 41, -4}};
  EXPECT_EQ(BuildDeliverPdu(sms, "+31624000000"),
            "07911326040000F0040B911346610089F60000208062917314480CC8F71D14969741F977FD07");
}

// What the server's codec reads from the messages the simulator stores.
TEST(DeliverPdu, TheServerReadsSenderTimeAndText) {
  struct Case {
    const char* name;
    ReceivedSms sms;
    int coding;  // as the server's parser sees it
    std::string text;  // Windows-1251, as the server reads it
  };
  const SmsTime t{2026, 3, 12, 14, 5, 23, 12};
  const Case cases[] = {
      {"7-bit", {"+79161234567", "Meeting @ 10:30, room_5 $", t}, 0, "Meeting @ 10:30, room_5 $"},
      {"UCS2 for Cyrillic", {"89161234567", "Привет, мир!\nДо встречи", t}, 2, Ansi("Привет, мир!\r\nДо встречи")},
      {"alphanumeric sender", {"Bank", "Code 1234", t}, 0, "Code 1234"},
      {"full 7-bit message", {"+7916", std::string(160, 'x'), t}, 0, std::string(160, 'x')},
      {"full UCS2 message", {"+7916", "Ж" + std::string(69, 'A'), t}, 2, Ansi("Ж") + std::string(69, 'A')},
  };
  for (const Case& c : cases) {
    TSMS sms;
    const std::string pdu = BuildDeliverPdu(c.sms);
    sms.ParsePdu(pdu);
    EXPECT_FALSE(sms.isSubmit) << c.name;
    EXPECT_EQ(sms.coding, c.coding) << c.name;
    EXPECT_EQ(sms.GetNumber(), c.sms.sender) << c.name;
    EXPECT_EQ(sms.GetTimestamp(), DateTimeToStr(DateTime{2026, 3, 12, 14, 5, 23})) << c.name;
    EXPECT_EQ(sms.GetText(), c.text) << c.name;
  }
}

TEST(DeliverPdu, RefusesWhatOneMessageCannotCarry) {
  const SmsTime t{2026, 3, 12, 14, 5, 23, 0};
  const ReceivedSms refused[] = {
      {"+7916", std::string(161, 'x'), t},
      {"+7916", std::string(159, 'x') + "{", t},  // an extension character takes two septets
      {"+7916", std::string(71, 'x').replace(0, 1, "Ж"), t},
      {"", "text", t},
      {"TwelveLetter", "text", t},
      {"+7916", "text", {2026, 2, 29, 0, 0, 0, 0}},
      {"+7916", "text", {1999, 1, 1, 0, 0, 0, 0}},
  };
  for (const ReceivedSms& sms : refused)
    EXPECT_THROW(BuildDeliverPdu(sms), std::invalid_argument) << sms.sender << " " << sms.text.size();
}

TEST(SubmitPdu, DecodesWhatIsGiven) {
  const auto build = [](const char* text, const char* udh, int coding) {
    TSMS sms;
    sms.text = Ansi(text);
    sms.number = "+79161234567";
    sms.udh = udh;
    sms.codingReq = coding;
    return sms.BuildSubmitPdu();
  };
  struct Case {
    const char* name;
    std::string pdu;
    std::string number, coding, text;
    int reference, part, count;  // reference -1: no concatenation header
  };
  const Case cases[] = {
      {"public vector, relative validity", "0011000B916407281553F80000AA0AE8329BFD4697D9EC37", "+46708251358",
       "7-bit", "hellohello", -1, 0, 0},
      {"public vector, UCS2 with a service centre",
       "038121431100048121430008FF1A005A006B006F00750161006B0061002000730069007200E9006E", "1234", "UCS2",
       "Zkouška sirén", -1, 0, 0},
      {"7-bit with a header", build("hi", "0500032A0201", 0), "+79161234567", "7-bit", "hi", 0x2A, 1, 2},
      {"UCS2 with a header", build("Привет", "050003FF0303", 2), "+79161234567", "UCS2", "Привет", 255, 3, 3},
      {"16-bit reference", "0051000B919761214365F70008FF0B0608041234020100480069", "+79161234567", "UCS2",
       "Hi", 0x1234, 1, 2},
  };
  for (const Case& c : cases) {
    const int length = static_cast<int>(c.pdu.size() / 2) - 1 - std::stoi(c.pdu.substr(0, 2), nullptr, 16);
    const DecodedSubmit d = DecodeSubmitPdu(c.pdu, length);
    EXPECT_EQ(d.problem, "") << c.name;
    EXPECT_EQ(d.number, c.number) << c.name;
    EXPECT_EQ(d.coding, c.coding) << c.name;
    EXPECT_EQ(d.text, c.text) << c.name;
    ASSERT_EQ(d.concatenation.has_value(), c.reference >= 0) << c.name;
    if (d.concatenation) {
      EXPECT_EQ(d.concatenation->reference, c.reference) << c.name;
      EXPECT_EQ(d.concatenation->part, c.part) << c.name;
      EXPECT_EQ(d.concatenation->count, c.count) << c.name;
    }
  }
}

TEST(SubmitPdu, RefusesWhatNoModemWouldSend) {
  const std::string hi = "00110005812143F50000FF02C834";  // 13 octets after the service-centre part
  struct Case {
    const char* name;
    std::string pdu;
    int length;
  };
  const Case cases[] = {
      {"length too small", hi, 12},
      {"length too large", hi, 14},
      {"not hexadecimal", "00110005812143F50000FF02C8ZZ", 13},
      {"odd digits", hi + "0", 13},
      {"empty", "", 0},
      {"an SMS-DELIVER", "000405812143F500000000000000000002C834", 18},
      {"user data shorter than its length", "00110005812143F50000FF03C834", 13},
      {"header past the user data", "00510005812143F50008FF040A000300", 15},
      {"service centre past the end", "0700", 1},
      {"reserved coding", "00110005812143F5000CFF02C834", 13},
  };
  for (const Case& c : cases) EXPECT_NE(DecodeSubmitPdu(c.pdu, c.length).problem, "") << c.name;
}

}  // namespace
