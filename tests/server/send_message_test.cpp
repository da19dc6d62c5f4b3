#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/packet.h"
#include "server/modem/send_message.h"
#include "sms/hex_text.h"
#include "sms/tsms.h"

namespace {

// Stands in for the modem: records each PDU and answers from a script.
struct RecordingModem {
  std::vector<std::string> pdus;
  std::vector<bool> answers;  // per part; true when the script runs out
  int refCalls = 0;

  bool Send(const packet& msg) {
    return SendMessageText(
        msg,
        [this](const std::string& pdu) {
          pdus.push_back(pdu);
          return pdus.size() <= answers.size() ? answers[pdus.size() - 1] : true;
        },
        [this] {
          ++refCalls;
          return std::string("2A");
        });
  }
};

packet Message(const std::string& number, const std::string& text) {
  packet p{};
  PacketInit(p);
  p.set_type(kPacketMessage);
  PacketSetNumber(p, number);
  PacketSetText(p, text);
  return p;
}

std::string Latin(std::size_t n) {
  std::string s;
  for (std::size_t i = 0; i < n; ++i) s += static_cast<char>('a' + i % 26);
  return s;
}

std::string WithCyrillic(std::size_t n) {
  std::string s = Latin(n);
  if (n > 0) s[n / 2] = '\xC0';
  return s;
}

TEST(SendMessageText, CodesAndSplits) {
  struct Case {
    const char* name;
    std::string text;
    int coding;
    std::vector<std::size_t> parts;  // characters per part; one entry = no header
  };
  const Case cases[] = {
      {"160 latin", Latin(160), 0, {160}},
      {"161 latin", Latin(161), 0, {153, 8}},
      {"306 latin", Latin(306), 0, {153, 153}},
      {"307 latin", Latin(307), 0, {153, 153, 1}},
      {"70 with cyrillic", WithCyrillic(70), 2, {70}},
      {"71 with cyrillic", WithCyrillic(71), 2, {63, 8}},
      {"cyrillic at the end", Latin(100) + "\xFF", 2, {63, 38}},
      {"empty", "", 0, {0}},
      {"1024 latin", Latin(1024), 0, {153, 153, 153, 153, 153, 153, 106}},
      {"1024 with cyrillic",
       WithCyrillic(1024),
       2,
       {63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 16}},
  };
  for (const auto& c : cases) {
    RecordingModem modem;
    EXPECT_TRUE(modem.Send(Message("+79161234567", c.text))) << c.name;
    ASSERT_EQ(modem.pdus.size(), c.parts.size()) << c.name;
    const bool concatenated = c.parts.size() > 1;
    EXPECT_EQ(modem.refCalls, concatenated ? 1 : 0) << c.name;
    std::size_t offset = 0;
    for (std::size_t i = 0; i < c.parts.size(); ++i) {
      TSMS sms;
      sms.ParsePdu(modem.pdus[i]);
      EXPECT_EQ(sms.coding, c.coding) << c.name;
      EXPECT_EQ(sms.GetNumber(), "+79161234567") << c.name;
      const std::string text = sms.GetText();
      const std::string expected = c.text.substr(offset, c.parts[i]);
      EXPECT_EQ(text, expected) << c.name << " part " << i + 1;
      EXPECT_EQ(sms.udh, concatenated ? "0500032A" + ToHex(static_cast<unsigned>(c.parts.size()), 2) +
                                            ToHex(static_cast<unsigned>(i + 1), 2)
                                      : "")
          << c.name;
      offset += c.parts[i];
    }
  }
}

TEST(SendMessageText, HeadersOfLongMessages) {
  RecordingModem seven;
  seven.Send(Message("1", Latin(1024)));
  ASSERT_EQ(seven.pdus.size(), 7u);
  EXPECT_NE(seven.pdus.back().find("0500032A0707"), std::string::npos);

  RecordingModem ucs2;
  ucs2.Send(Message("1", WithCyrillic(1024)));
  ASSERT_EQ(ucs2.pdus.size(), 17u);
  EXPECT_NE(ucs2.pdus.front().find("0500032A1101"), std::string::npos);
  EXPECT_NE(ucs2.pdus.back().find("0500032A1111"), std::string::npos);
}

// The recipient reads what was handed in: the extension table's characters go
// with the escape before them, and a text with any character the 7-bit
// alphabet lacks goes in UCS2, not only one with a Cyrillic letter.
TEST(SendMessageText, TheRecipientReadsTheTextAsHandedIn) {
  struct Case {
    std::string text;
    int coding;
    int udl;  // septets in 7-bit, octets in UCS2
  };
  const Case cases[] = {
      {"a[b]c{d}e~f^g\\h|i", 0, 17 + 8},
      {"\xA8\xA8\xA8 \xB9" "5 \xABok\xBB", 2, 2 * 11},  // "ЁЁЁ №5 «ok»"
      {std::string(160, '\xB9') + "\x80\xBF", 2, -1},
  };
  for (const auto& c : cases) {
    RecordingModem modem;
    EXPECT_TRUE(modem.Send(Message("1", c.text)));
    std::string read;
    for (const auto& pdu : modem.pdus) {
      TSMS sms;
      sms.ParsePdu(pdu);
      EXPECT_EQ(sms.coding, c.coding) << c.text;
      const std::string part = sms.GetText();
      if (c.udl >= 0) {
        EXPECT_EQ(sms.udl, c.udl) << c.text;
      }
      read += part;
    }
    EXPECT_EQ(read, c.text);
  }
}

TEST(SendMessageText, EmptyTextIsOneSmsWithNoUserData) {
  RecordingModem modem;
  modem.Send(Message("12345", ""));
  ASSERT_EQ(modem.pdus.size(), 1u);
  EXPECT_EQ(modem.pdus[0], "00110005812143F50000FF00");
}

TEST(SendMessageText, AMessageIsSentOnlyWhenEveryPartIsAccepted) {
  struct Case {
    std::vector<bool> answers;
    bool result;
    std::size_t sent;  // parts given to the modem
  };
  const Case cases[] = {
      {{true, true}, true, 2},
      {{false, true}, false, 1},  // a refused first part ends the attempt
      {{true, false}, false, 2},
  };
  for (const auto& c : cases) {
    RecordingModem modem;
    modem.answers = c.answers;
    EXPECT_EQ(modem.Send(Message("1", Latin(200))), c.result);
    EXPECT_EQ(modem.pdus.size(), c.sent);
  }
  RecordingModem single;
  single.answers = {false};
  EXPECT_FALSE(single.Send(Message("1", "Hi")));
}

}  // namespace
