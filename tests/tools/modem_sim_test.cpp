// The simulated modem seen from the computer's end of its pseudo-terminal.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "protocol/packet.h"
#include "server/modem/send_message.h"
#include "sms/hex_text.h"
#include "sms/tsms.h"
#include "tools/modem_sim/modem_sim.h"

namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;

// The serial port's side: writes commands and reads the modem's answers.
class Terminal {
 public:
  explicit Terminal(const std::string& path) : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC)) {}
  ~Terminal() {
    if (fd_ >= 0) ::close(fd_);
  }
  Terminal(const Terminal&) = delete;
  Terminal& operator=(const Terminal&) = delete;

  // Writes bytes, then reads until the answer ends with `ending` (an empty
  // ending: until `count` bytes have come). Stops early after a generous limit.
  std::string Say(std::string_view bytes, std::string_view ending, std::size_t count = 0) {
    for (std::size_t done = 0; done < bytes.size();) {
      const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
      if (n <= 0) return "<write failed>";
      done += static_cast<std::size_t>(n);
    }
    std::string reply;
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    const auto finished = [&] {
      return ending.empty() ? reply.size() >= count
                            : reply.size() >= ending.size() && reply.compare(reply.size() - ending.size(), ending.size(), ending) == 0;
    };
    while (!finished()) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      pollfd p{fd_, POLLIN, 0};
      if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
      char buffer[4096];
      const std::size_t want = ending.empty() ? count - reply.size() : 1;  // never read past the answer
      const ssize_t n = ::read(fd_, buffer, std::min(sizeof buffer, want));
      if (n <= 0) break;
      reply.append(buffer, static_cast<std::size_t>(n));
    }
    return reply;
  }

 private:
  int fd_;
};

class ModemSimTest : public ::testing::Test {
 protected:
  ModemSimTest() { sim.Start(); }

  // The exact answer to `say`, shown with its control characters on failure.
  void Expect(std::string_view say, std::string_view answer) {
    EXPECT_EQ(VisibleText(term.Say(say, "", answer.size())), VisibleText(answer)) << VisibleText(say);
  }

  // One PDU given the way the server gives it; the modem's answer after the prompt,
  // up to its OK.
  std::string Send(const std::string& pdu) {
    TSMS sms;
    sms.ParsePdu(pdu);
    Expect("AT+CMGS=" + std::to_string(sms.tpduLen) + "\r", "\r\n> ");
    return term.Say(pdu + "\x1A", "OK\r\n");
  }

  ModemSim sim;
  Terminal term{sim.DevicePath()};
};

const std::string kHi = "00110005812143F50000FF02C834";  // "Hi" to 12345, 13 octets after "00"

TEST_F(ModemSimTest, AnswersTheDialogueByteForByte) {
  struct Exchange {
    std::string say, answer;
  };
  const Exchange dialogue[] = {
      {"AT\r", "AT\r\r\nOK\r\n"},
      {"hello\r", "hello\r"},  // no AT prefix: echoed, not answered
      {"at+cmee=1\r", "at+cmee=1\r\r\nOK\r\n"},
      {"ATE0\r", "ATE0\r\r\nOK\r\n"},
      {"AT\r", "\r\nOK\r\n"},
      {"AT+CMGF=0\r", "\r\nOK\r\n"},
      {"AT+CMGF=1\r", "\r\n+CMS ERROR: 303\r\n"},  // text mode: not this modem's
      {"AT+CPMS=\"SM\"\r", "\r\n+CPMS: 0,30,0,30,0,30\r\n\r\nOK\r\n"},
      {"AT+CPMS=\"ME\"\r", "\r\n+CMS ERROR: 303\r\n"},
      {"ATD123;\r", "\r\nERROR\r\n"},
      {"AT+CMGS=0\r", "\r\nERROR\r\n"},
      {"AT+CMGD=31\r", "\r\n+CMS ERROR: 321\r\n"},
      {"AT+CMGS=13\r", "\r\n> "},
      {"0011\x1B", "\r\nOK\r\n"},  // ESC cancels
      {"AT+CMGS=12\r", "\r\n> "},
      {kHi + "\x1A", "\r\n+CMS ERROR: 304\r\n"},  // the length does not count the TPDU
      {"AT+CMGS=13\r", "\r\n> "},
      {kHi + "\x1A", "\r\n+CMGS: 1\r\n\r\nOK\r\n"},
  };
  for (const Exchange& e : dialogue) Expect(e.say, e.answer);

  const std::vector<SimSend> sends = sim.Sends();
  ASSERT_EQ(sends.size(), 2u);
  EXPECT_EQ(sends[0].result, "+CMS ERROR: 304");
  EXPECT_NE(sends[0].decoded.problem, "");
  EXPECT_EQ(sends[1].result, "+CMGS: 1");
  EXPECT_EQ(sends[1].pdu, kHi);
  EXPECT_EQ(sends[1].decoded.number, "12345");
  EXPECT_EQ(sends[1].decoded.text, "Hi");
  const std::vector<std::string> log = sim.Log();
  EXPECT_NE(std::find(log.begin(), log.end(), "< at+cmee=1"), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), "  to 12345, 7-bit: \"Hi\""), log.end());
}

// The server's own coding of two long messages, given over the terminal, comes
// out of the log as the texts it went in as.
TEST_F(ModemSimTest, DecodesConcatenatedSevenBitAndUcs2Sends) {
  Expect("ATE0\r", "ATE0\r\r\nOK\r\n");
  std::string latin;
  while (latin.size() < 161) latin += "The quick brown fox jumps over the lazy dog @ 5$_! ";
  latin.resize(161);
  std::string cyrillic;
  while (cyrillic.size() < 71) cyrillic += Ansi("Съешь же ещё этих мягких булок, да выпей чаю. ");
  cyrillic.resize(71);

  int reference = 0x2A;
  int answers = 0;
  for (const std::string& text : {latin, cyrillic}) {
    packet p;
    PacketInit(p);
    PacketSetNumber(p, "+79161234567");
    PacketSetText(p, text);
    const bool sent = SendMessageText(
        p,
        [&](const std::string& pdu) {
          return Send(pdu) == "\r\n+CMGS: " + std::to_string(++answers) + "\r\n\r\nOK\r\n";
        },
        [&] { return ToHex(static_cast<unsigned>(reference++), 2); });
    EXPECT_TRUE(sent);
  }

  const std::vector<SimSend> sends = sim.Sends();
  ASSERT_EQ(sends.size(), 4u);
  const std::string utf8[] = {latin, AnsiToUtf8(cyrillic)};
  for (int message = 0; message < 2; ++message) {
    std::string joined;
    for (int part = 0; part < 2; ++part) {
      const DecodedSubmit& d = sends[2 * message + part].decoded;
      EXPECT_EQ(d.problem, "");
      EXPECT_EQ(d.number, "+79161234567");
      EXPECT_EQ(d.coding, message == 0 ? "7-bit" : "UCS2");
      ASSERT_TRUE(d.concatenation.has_value());
      EXPECT_EQ(d.concatenation->reference, 0x2A + message);
      EXPECT_EQ(d.concatenation->part, part + 1);
      EXPECT_EQ(d.concatenation->count, 2);
      joined += d.text;
    }
    EXPECT_EQ(joined, utf8[message]);
  }
  const std::vector<std::string> log = sim.Log();
  EXPECT_NE(std::find(log.begin(), log.end(),
                      "  to +79161234567, UCS2, part 2 of 2, reference 43: \"" + AnsiToUtf8(cyrillic.substr(63)) + "\""),
            log.end());
}

TEST_F(ModemSimTest, ListsAndDeletesStoredMessages) {
  const ReceivedSms latin{"+79161234567", "See you at 10", {2026, 3, 12, 14, 5, 23, 12}};
  const ReceivedSms cyrillic{"Bank", "Код 1234", {2026, 3, 12, 14, 6, 0, 12}};
  const std::string pdu1 = BuildDeliverPdu(latin);
  const std::string pdu2 = BuildDeliverPdu(cyrillic);
  EXPECT_EQ(sim.Store(latin), 1);
  EXPECT_EQ(sim.Store(cyrillic), 2);
  EXPECT_EQ(sim.StoreRawPdu(""), 3);  // a slot whose PDU line comes out empty
  const auto length = [](const std::string& pdu) { return std::to_string(pdu.size() / 2 - 8); };  // after "07..."

  Expect("ATE0\r", "ATE0\r\r\nOK\r\n");
  Expect("AT+CPMS=\"SM\"\r", "\r\n+CPMS: 3,30,3,30,3,30\r\n\r\nOK\r\n");
  Expect("AT+CMGL=4\r", "\r\n+CMGL: 1,0,," + length(pdu1) + "\r\n" + pdu1 + "\r\n+CMGL: 2,0,," + length(pdu2) + "\r\n" +
                            pdu2 + "\r\n+CMGL: 3,0,,0\r\n\r\n\r\nOK\r\n");
  Expect("AT+CMGD=2\r", "\r\nOK\r\n");
  Expect("AT+CMGD=2\r", "\r\nOK\r\n");  // an empty slot: nothing to do
  Expect("AT+CMGL=4\r", "\r\n+CMGL: 1,1,," + length(pdu1) + "\r\n" + pdu1 + "\r\n+CMGL: 3,1,,0\r\n\r\n\r\nOK\r\n");
  Expect("AT+CMGL=0\r", "\r\nOK\r\n");  // nothing unread is left

  EXPECT_EQ(sim.Store(cyrillic), 2);  // the lowest free slot
  std::vector<int> indexes;
  for (const StoredSms& s : sim.Stored()) indexes.push_back(s.index);
  EXPECT_EQ(indexes, (std::vector<int>{1, 2, 3}));
}

TEST_F(ModemSimTest, FailsAndInterruptsSendsWhenTold) {
  Expect("ATE0\r", "ATE0\r\r\nOK\r\n");
  ASSERT_EQ(sim.Store({"+7916", "new", {2026, 1, 1, 0, 0, 0, 0}}), 1);
  struct Step {
    const char* name;
    int failures;  // FailSends count before the sends; 0 leaves it as it is
    int error;
    int notices;  // NoticeBeforeSends count; 0 leaves it as it is
    std::vector<std::string> answers;
  };
  const Step steps[] = {
      {"one failure", 1, 500, 0, {"\r\n+CMS ERROR: 500\r\n", "\r\n+CMGS: 1\r\n\r\nOK\r\n"}},
      {"one notice", 0, 0, 1, {"\r\n+CMTI: \"SM\",1\r\n\r\n+CMGS: 2\r\n\r\nOK\r\n", "\r\n+CMGS: 3\r\n\r\nOK\r\n"}},
      {"every send fails", -1, 38, 0, {"\r\n+CMS ERROR: 38\r\n", "\r\n+CMS ERROR: 38\r\n"}},
  };
  for (const Step& step : steps) {
    if (step.failures != 0) sim.FailSends(step.failures, step.error);
    if (step.notices != 0) sim.NoticeBeforeSends(step.notices);
    for (const std::string& answer : step.answers) {
      Expect("AT+CMGS=13\r", "\r\n> ");
      Expect(kHi + "\x1A", answer);
    }
  }
  sim.FailSends(0);
  Expect("AT+CMGS=13\r", "\r\n> ");
  Expect(kHi + "\x1A", "\r\n+CMGS: 4\r\n\r\nOK\r\n");
  EXPECT_EQ(sim.Sends().size(), 7u);
}

TEST_F(ModemSimTest, HasTheHabitsOfRealModemsWhenTold) {
  // Asleep since its start: whether the two commands come in one read or two,
  // only the second is heard.
  sim.SetDoze(std::chrono::hours(1));
  Expect("AT\rAT\r", "AT\r\r\nOK\r\n");
  Expect("ATE0\r", "ATE0\r\r\nOK\r\n");

  sim.SetUnsolicited(true);
  ASSERT_EQ(sim.Store({"+7916", "new", {2026, 1, 1, 0, 0, 0, 0}}), 1);
  const std::string pdu = sim.Stored().at(0).pdu;
  Expect("AT\r", "\r\nRING\r\n\r\nOK\r\n");
  Expect("AT+CMGL=4\r", "\r\n+CMGL: 1,0,," + std::to_string(TpduLength(pdu)) + "\r\n+CMTI: \"SM\",1\r\n" + pdu +
                            "\r\n\r\n+CMTI: \"SM\",1\r\n\r\nOK\r\n");
  sim.SetUnsolicited(false);

  sim.RefusePduMode(true);
  Expect("AT+CMGF=0\r", "\r\nERROR\r\n");
  sim.RefusePduMode(false);

  sim.SetByteDelay(5ms);  // the same answer, only slower
  Expect("AT+CMGF=0\r", "\r\nOK\r\n");
  sim.SetByteDelay(0ms);

  sim.SetVendorLines(true);
  sim.SetNoiseBytes(true);
  Expect("AT+CMGS=13\r", "\r\n\0> \r\n^RSSI:12\r\n"s);
  Expect(kHi + "\x1A", "\r\n\r\n^BOOT:20131123,0,0,0,6\r\n\0+CMGS: 1\r\n"
                        "\r\n^DSFLOWRPT:00000A3B,00000000,00000000,00000000,00000000,00000000,00000000\r\n"
                        "\xFF\r\n\0OK\r\n"s);
  sim.SetVendorLines(false);
  sim.SetNoiseBytes(false);

  // Deleted at once, answered late; what is asked next is answered after it.
  sim.SetLateDeletes(300ms);
  Expect("AT+CMGD=1\rAT\r", "\r\nOK\r\n\r\nOK\r\n");
  EXPECT_TRUE(sim.Stored().empty());
  sim.SetLateDeletes(0ms);

  // Listed in lowercase; what is not a received message keeps its status.
  sim.SetLowercaseListing(true);
  const std::vector<int> stored = sim.StoreNotReceived();
  ASSERT_EQ(stored, (std::vector<int>{1, 2, 3}));
  std::string listing = term.Say("AT+CMGL=4\r", "OK\r\n");
  EXPECT_NE(listing.find("+CMGL: 1,2,,"), std::string::npos) << listing;
  EXPECT_NE(listing.find("+CMGL: 2,3,,"), std::string::npos) << listing;
  EXPECT_NE(listing.find("+CMGL: 3,0,,"), std::string::npos) << listing;
  EXPECT_NE(listing.find("07919799000000f0062a"), std::string::npos) << listing;  // the status report
  listing = term.Say("AT+CMGL=4\r", "OK\r\n");
  EXPECT_NE(listing.find("+CMGL: 3,1,,"), std::string::npos) << listing;  // read now
  EXPECT_NE(listing.find("+CMGL: 1,2,,"), std::string::npos) << listing;

  // Of its own accord: what it is told to say, signal reports, an OK of nobody's.
  sim.Say("\r\n+CMGS: 2\r\n");
  EXPECT_EQ(term.Say("", "+CMGS: 2\r\n"), "\r\n+CMGS: 2\r\n");
  sim.SetChatter(10ms);
  EXPECT_EQ(term.Say("", "^RSSI:"), "\r\n^RSSI:");
  sim.SetChatter(0ms);
  sim.SetStrayOk(10ms);
  EXPECT_NE(term.Say("", "\r\nOK\r\n").find("OK"), std::string::npos);

  const std::vector<std::string> log = sim.Log();
  EXPECT_NE(std::find(log.begin(), log.end(), "< AT   (asleep: not heard)"), log.end());
}

TEST_F(ModemSimTest, HasTheHabitsOfOtherMakersWhenTold) {
  Expect("ATE0\r", "ATE0\r\r\nOK\r\n");

  // The same answers, each after the one before.
  sim.SetAnswerDelay(5ms);
  Expect("AT\rAT\r", "\r\nOK\r\n\r\nOK\r\n");
  sim.SetAnswerDelay(0ms);

  sim.SetNotSupportWord(true);
  Expect("AT+CMEE=1\r", "\r\nCOMMAND NOT SUPPORT\r\n");
  Expect("AT+CMGF=1\r", "\r\n+CMS ERROR: 303\r\n");
  Expect("ATX\r", "\r\nCOMMAND NOT SUPPORT\r\n");
  sim.SetNotSupportWord(false);

  // Straight deliveries around a send's answer and among listed messages; the
  // first listing parts a header from its PDU by one, as long as that PDU.
  sim.SetDirectDelivery(true);
  Expect("AT+CMGS=13\r", "\r\n> ");
  const std::string sent = term.Say(kHi + "\x1A", "OK\r\n");
  EXPECT_EQ(sent.find("\r\n+CMT: ,"), 0u) << VisibleText(sent);
  ASSERT_EQ(sim.Store({"+79161234567", "See you at 10", {2026, 3, 12, 14, 5, 23, 12}}), 1);
  ASSERT_EQ(sim.Store({"+79161234567", "See you at 11", {2026, 3, 12, 14, 5, 23, 12}}), 2);
  const std::vector<StoredSms> stored = sim.Stored();
  const std::string length = std::to_string(TpduLength(stored[0].pdu));
  std::string listing = term.Say("AT+CMGL=4\r", "OK\r\n");
  EXPECT_EQ(listing.find("\r\n+CMGL: 1,0,," + length + "\r\n+CMT: ," + length + "\r\n"), 0u)
      << VisibleText(listing);
  EXPECT_NE(listing.find(stored[0].pdu + "\r\n+CDS: "), std::string::npos) << VisibleText(listing);
  EXPECT_NE(listing.find(stored[1].pdu + "\r\n+CMT: ,"), std::string::npos) << VisibleText(listing);
  listing = term.Say("AT+CMGL=4\r", "OK\r\n");
  EXPECT_EQ(listing.find("\r\n+CMGL: 1,1,," + length + "\r\n" + stored[0].pdu + "\r\n+CDS: "), 0u)
      << VisibleText(listing);
  sim.SetDirectDelivery(false);

  // Renumbered: what was at 2 is at 1 once 1 is deleted.
  sim.SetRenumbering(true);
  Expect("AT+CMGD=1\r", "\r\nOK\r\n");
  ASSERT_EQ(sim.Stored().size(), 1u);
  EXPECT_EQ(sim.Stored()[0].index, 1);
  EXPECT_EQ(sim.Stored()[0].pdu, stored[1].pdu);
}

TEST_F(ModemSimTest, ASilentModemAnswersNothing) {
  sim.SetSilent(true);
  term.Say("AT\r", "", 0);
  term.Say("AT+CMGS=13\r", "", 0);
  ASSERT_TRUE(sim.WaitFor([](const ModemSimView& v) {
    return std::count_if(v.log.begin(), v.log.end(),
                         [](const std::string& line) { return line.find("(silent: no answer)") != std::string::npos; }) == 2;
  }));
  sim.SetSilent(false);
  // Had the silent modem said anything, it would come before this answer.
  Expect("AT\r", "AT\r\r\nOK\r\n");
  EXPECT_TRUE(sim.Sends().empty());
}

}  // namespace
