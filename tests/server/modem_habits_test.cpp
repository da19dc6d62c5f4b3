// The worker against modems with the habits of real ones: answers that come a
// byte at a time, a first command missed after a quiet spell, notices, vendor
// status lines and noise bytes anywhere in answers, a final result of no
// command, stale answers in the line, late answers, a lowercase listing, records
// on the SIM that are not received messages, refused sends, PDU mode refused,
// every answer late, a maker's word for ERROR, messages delivered straight to
// the computer among the listed ones, a SIM that renumbers after a delete.
// Whatever the habit, the modem counts as ready exactly when it takes PDU mode,
// every part the modem confirms is confirmed once, every message that leaves the
// SIM reaches a client exactly once, what is not a whole received message stays
// on the SIM, and the worker goes on sending and reading afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "tests/server/modem_fixture.h"
#include "tests/support/captured_stderr.h"

namespace {

using namespace std::chrono_literals;

enum class Outcome { Sent, NoPduMode, EverySendRefused };

struct Habit {
  const char* name;
  std::function<void(ModemSim&)> set;
  const char* logged;  // what the modem's log shows of the habit; nullptr: nothing
  Outcome outcome = Outcome::Sent;
  ModemLimits limits = {};
  bool notReceivedOnSim = false;  // outgoing messages and a status report stored too
};

// A case reads as its name in a failure and in ctest's list, not as the struct's bytes.
void PrintTo(const Habit& habit, std::ostream* os) { *os << habit.name; }

class ModemHabitsTest : public ModemFixture, public ::testing::WithParamInterface<Habit> {
 protected:
  // Every message the clients are owed, fetched; the next fetch gets nothing new.
  std::vector<std::pair<std::string, std::string>> Fetch(std::size_t count) {
    std::vector<std::pair<std::string, std::string>> got;
    EXPECT_TRUE(WaitUntil([&] { return Incoming() >= count; }, 120s));
    {
      LoopbackClient client(port);
      packet fetch = TypedPacket(kPacketFetch);
      PacketSetNumber(fetch, "REQUEST");
      EXPECT_TRUE(client.Send(fetch));
      for (std::size_t i = 0; i < count; ++i) {
        const auto p = client.Receive();
        if (!p) break;
        got.emplace_back(std::string(p->number()), std::string(p->text()));
      }
    }
    EXPECT_TRUE(WaitUntil([&] { return core->Connections() == 0; }));  // so that a hand-in counts its own
    return got;
  }
};

const std::string kNumber = "+79161234567";

std::size_t Logged(const ModemSimView& v, const std::string& part) {
  return static_cast<std::size_t>(
      std::count_if(v.log.begin(), v.log.end(), [&](const std::string& l) { return l.find(part) != std::string::npos; }));
}

// How often the modem confirmed each text it was given.
std::map<std::string, int> Confirmed(const std::vector<SimSend>& sends) {
  std::map<std::string, int> confirmed;
  for (const SimSend& s : sends)
    if (s.result.starts_with("+CMGS:")) ++confirmed[s.decoded.text];
  return confirmed;
}

std::size_t ConfirmedParts(const ModemSimView& v) {
  return static_cast<std::size_t>(
      std::count_if(v.sends.begin(), v.sends.end(), [](const SimSend& s) { return s.result.starts_with("+CMGS:"); }));
}

TEST_P(ModemHabitsTest, MessagesGoAndComeWholeAndOnce) {
  const Habit& habit = GetParam();
  const ReceivedSms onSim[] = {{kNumber, "See you at 10", {2026, 3, 12, 14, 5, 23, 12}},
                               {"Bank", "Код 1234", {2026, 3, 12, 14, 6, 0, 12}}};
  for (const ReceivedSms& m : onSim) ASSERT_NE(sim.Store(m), 0);
  const std::string whole = BuildDeliverPdu({"+79160000000", "Cut", {2026, 3, 12, 15, 0, 0, 12}});
  std::vector<int> stays = {sim.StoreRawPdu(whole.substr(0, whole.size() - 3))};  // ends inside an octet
  // A reserved coding: read whole, but no text can be made of it.
  ASSERT_NE(sim.StoreRawPdu(Tampered(BuildDeliverPdu({"+79165550000", "x", {2026, 3, 12, 16, 0, 0, 12}}), 2, "0C")), 0);
  if (habit.notReceivedOnSim)
    for (int index : sim.StoreNotReceived()) stays.push_back(index);
  // By their PDUs: a SIM that renumbers moves them to other slots.
  std::vector<std::string> staying;
  for (const StoredSms& s : sim.Stored())
    if (std::find(stays.begin(), stays.end(), s.index) != stays.end()) staying.push_back(s.pdu);
  habit.set(sim);

  std::string longText;
  while (longText.size() < 200) longText += "The quick brown fox jumps over the lazy dog. ";
  longText.resize(200);  // two parts
  const std::string shortText = Ansi("Привет!");
  testing::internal::CaptureStderr();
  StartServer(true);
  core->set_modem_limits(habit.limits);
  HandIn({MessagePacket(kNumber, longText), MessagePacket(kNumber, shortText)});
  FindModem();

  if (habit.outcome == Outcome::NoPduMode) {
    // Two checks refused: neither a send nor a look at the SIM.
    ASSERT_TRUE(sim.WaitFor([](const ModemSimView& v) { return Logged(v, "< AT+CMGF=0") >= 2; }));
    for (const std::string& line : sim.Log()) {
      EXPECT_EQ(line.find("< AT+CMGS"), std::string::npos) << line;
      EXPECT_EQ(line.find("< AT+CPMS"), std::string::npos) << line;
    }
    EXPECT_EQ(Outgoing(), 2u);
    EXPECT_EQ(sim.Stored().size(), 4u);
    CapturedStderr();
    return;
  }

  // Received: the clients get each whole received message exactly once (one
  // left for a later look comes after the others).
  std::vector<std::pair<std::string, std::string>> received = {
      {kNumber, "See you at 10"}, {"Bank", Ansi("Код 1234")}, {"+79165550000", Ansi("Ошибка")}};
  std::vector<std::pair<std::string, std::string>> fetched = Fetch(3);
  std::sort(received.begin(), received.end());
  std::sort(fetched.begin(), fetched.end());
  EXPECT_EQ(fetched, received);

  if (habit.outcome == Outcome::EverySendRefused) {
    // Every attempt is followed by a rest and a look at the SIM, never by the
    // next attempt at once.
    ASSERT_TRUE(sim.WaitFor([](const ModemSimView& v) { return v.sends.size() >= 3; }));
    bool listedSince = true;
    for (const std::string& line : sim.Log()) {
      if (line.starts_with("< AT+CMGL")) listedSince = true;
      if (!line.starts_with("< AT+CMGS")) continue;
      EXPECT_TRUE(listedSince) << "an attempt right after a refused one";
      listedSince = false;
    }
    EXPECT_TRUE(Confirmed(sim.Sends()).empty());
  } else {
    ASSERT_TRUE(sim.WaitFor([](const ModemSimView& v) { return ConfirmedParts(v) >= 3; }, 120s));
  }

  // Afterwards the worker still sends and reads.
  ASSERT_NE(sim.Store({kNumber, "And one more", {2026, 3, 12, 17, 0, 0, 12}}), 0);
  HandIn({MessagePacket(kNumber, "One more")});
  EXPECT_EQ(Fetch(1), (std::vector<std::pair<std::string, std::string>>{{kNumber, "And one more"}}));
  if (habit.outcome == Outcome::Sent) {
    ASSERT_TRUE(sim.WaitFor([](const ModemSimView& v) { return ConfirmedParts(v) >= 4; }, 120s));
    EXPECT_TRUE(WaitUntil([&] { return Outgoing() == 0; }));
    // Each part confirmed once, the series whole and in order.
    EXPECT_EQ(Confirmed(sim.Sends()), (std::map<std::string, int>{{longText.substr(0, 153), 1},
                                                                   {longText.substr(153), 1},
                                                                   {AnsiToUtf8(shortText), 1},
                                                                   {"One more", 1}}));
    std::string series;
    for (const SimSend& s : sim.Sends())
      if (s.result.starts_with("+CMGS:") && s.decoded.concatenation) series += s.decoded.text;
    EXPECT_EQ(series, longText);
  } else {
    EXPECT_TRUE(sim.WaitFor([](const ModemSimView& v) {
      return std::any_of(v.sends.begin(), v.sends.end(), [](const SimSend& s) { return s.decoded.text == "One more"; });
    }, 120s));
    // None is lost: the close saves all three, the one in hand too.
    EXPECT_TRUE(core->Close());
    EXPECT_EQ(std::filesystem::file_size(dir.File("inbox.db")), 3 * kPacketSize);
  }

  // What was not taken is on the SIM still, and said once; what was taken is
  // gone from it (a modem whose deletes are answered late has one confirmed at
  // each look).
  EXPECT_TRUE(sim.WaitFor([&](const ModemSimView& v) { return v.sim.Used() == static_cast<int>(stays.size()); }, 120s));
  std::vector<std::string> left;
  for (const StoredSms& s : sim.Stored()) left.push_back(s.pdu);
  EXPECT_EQ(left, staying);
  const std::string said = CapturedStderr();
  for (int index : stays) {
    const std::string line = "message " + std::to_string(index) + " stays on the SIM";
    const std::size_t first = said.find(line);
    EXPECT_NE(first, std::string::npos) << said;
    EXPECT_EQ(said.find(line, first + 1), std::string::npos) << said;
  }
  if (habit.logged != nullptr) {
    const std::string logged = habit.logged;
    EXPECT_TRUE(sim.WaitFor([&](const ModemSimView& v) { return Logged(v, logged) > 0; }));
  }
}

ModemLimits ShortDeletes() {
  ModemLimits limits;
  limits.remove = 9;  // about half a second: the modem's answers come later
  return limits;
}

INSTANTIATE_TEST_SUITE_P(
    Habits, ModemHabitsTest,
    ::testing::Values(
        Habit{"AnswersAtOnce", [](ModemSim&) {}, nullptr},
        Habit{"ByteByByte", [](ModemSim& s) { s.SetByteDelay(20ms); }, nullptr},
        Habit{"DozesOff", [](ModemSim& s) { s.SetDoze(1s); }, "(asleep: not heard)"},
        Habit{"Unsolicited", [](ModemSim& s) { s.SetUnsolicited(true); }, "> RING"},
        Habit{"NoticesBeforeEveryConfirmation", [](ModemSim& s) { s.NoticeBeforeSends(-1); }, "> +CMTI"},
        Habit{"VendorLinesEverywhere", [](ModemSim& s) { s.SetVendorLines(true); }, "> ^DSFLOWRPT:"},
        Habit{"Chatters", [](ModemSim& s) { s.SetChatter(300ms); }, "> ^RSSI:"},
        Habit{"NoiseBytes", [](ModemSim& s) { s.SetNoiseBytes(true); }, nullptr},
        Habit{"StrayOkWhileIdle", [](ModemSim& s) { s.SetStrayOk(500ms); }, "(nobody's)"},
        Habit{"StaleAnswersInTheLine",
              [](ModemSim& s) { s.Say("\r\n+CMGS: 2\r\n\r\nOK\r\n\r\n> "); }, "(of its own accord)"},
        Habit{"LateDeletes", [](ModemSim& s) { s.SetLateDeletes(1500ms); }, "ms late)", Outcome::Sent,
              ShortDeletes()},
        Habit{"LowercaseListing", [](ModemSim& s) { s.SetLowercaseListing(true); }, nullptr},
        Habit{"NotReceivedOnTheSim", [](ModemSim&) {}, "(status 3)", Outcome::Sent, {}, true},
        Habit{"RefusesTheFirstSend", [](ModemSim& s) { s.FailSends(1); }, "> +CMS ERROR: 500"},
        Habit{"RefusesEverySend", [](ModemSim& s) { s.FailSends(-1); }, "> +CMS ERROR: 500",
              Outcome::EverySendRefused},
        Habit{"RefusesPduMode", [](ModemSim& s) { s.RefusePduMode(true); }, nullptr, Outcome::NoPduMode},
        Habit{"AnswersLate", [](ModemSim& s) { s.SetAnswerDelay(800ms); }, "ms after the one before)"},
        Habit{"SaysCommandNotSupport", [](ModemSim& s) { s.SetNotSupportWord(true); }, "> COMMAND NOT SUPPORT"},
        Habit{"DeliversStraightToTheComputer", [](ModemSim& s) { s.SetDirectDelivery(true); }, "> +CMT: ,"},
        Habit{"Renumbers", [](ModemSim& s) { s.SetRenumbering(true); }, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
