// The worker against modems with the habits of real ones: answers that come a
// byte at a time, a first command missed after a quiet spell, notices in the
// middle of answers, a refused send, PDU mode refused. Whatever the habit, the
// modem counts as ready exactly when it takes PDU mode, every message goes out
// whole and once, every message that leaves the SIM reaches a client exactly,
// and one whose PDU line is cut stays on the SIM.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "tests/server/modem_fixture.h"

namespace {

using namespace std::chrono_literals;

struct Habit {
  const char* name;
  std::function<void(ModemSim&)> set;
  const char* logged;  // what the modem's log shows of the habit; nullptr: nothing
  bool takesPduMode = true;
};

// A case reads as its name in a failure and in ctest's list, not as the struct's bytes.
void PrintTo(const Habit& habit, std::ostream* os) { *os << habit.name; }

class ModemHabitsTest : public ModemFixture, public ::testing::WithParamInterface<Habit> {};

const std::string kNumber = "+79161234567";

std::size_t Logged(const ModemSimView& v, const std::string& part) {
  return static_cast<std::size_t>(
      std::count_if(v.log.begin(), v.log.end(), [&](const std::string& l) { return l.find(part) != std::string::npos; }));
}

TEST_P(ModemHabitsTest, MessagesGoAndComeWholeAndOnce) {
  const ReceivedSms onSim[] = {{kNumber, "See you at 10", {2026, 3, 12, 14, 5, 23, 12}},
                               {"Bank", "Код 1234", {2026, 3, 12, 14, 6, 0, 12}}};
  for (const ReceivedSms& m : onSim) ASSERT_NE(sim.Store(m), 0);
  const std::string whole = BuildDeliverPdu({"+79160000000", "Cut", {2026, 3, 12, 15, 0, 0, 12}});
  const int cut = sim.StoreRawPdu(whole.substr(0, whole.size() - 3));  // ends inside an octet
  // A reserved coding: read whole, but no text can be made of it.
  ASSERT_NE(sim.StoreRawPdu(Tampered(BuildDeliverPdu({"+79165550000", "x", {2026, 3, 12, 16, 0, 0, 12}}), 2, "0C")), 0);
  GetParam().set(sim);

  std::string longText;
  while (longText.size() < 200) longText += "The quick brown fox jumps over the lazy dog. ";
  longText.resize(200);  // two parts
  const std::string shortText = Ansi("Привет!");
  StartServer(true);
  HandIn({MessagePacket(kNumber, longText), MessagePacket(kNumber, shortText)});
  FindModem();

  if (!GetParam().takesPduMode) {
    // Two checks refused: neither a send nor a look at the SIM.
    ASSERT_TRUE(sim.WaitFor([](const ModemSimView& v) { return Logged(v, "< AT+CMGF=0") >= 2; }));
    const std::vector<std::string> log = sim.Log();
    for (const std::string& line : log) {
      EXPECT_EQ(line.find("< AT+CMGS"), std::string::npos) << line;
      EXPECT_EQ(line.find("< AT+CPMS"), std::string::npos) << line;
    }
    EXPECT_EQ(Outgoing(), 2u);
    EXPECT_EQ(sim.Stored().size(), 4u);
    return;
  }

  // Sent: every part confirmed once, the series whole.
  ASSERT_TRUE(WaitUntil([&] { return Outgoing() == 0 && Incoming() == 3; }, 120s));
  std::map<std::string, int> confirmed;
  std::string series;
  for (const SimSend& s : sim.Sends()) {
    if (!s.result.starts_with("+CMGS:")) continue;
    ++confirmed[s.decoded.text];
    if (s.decoded.concatenation) series += s.decoded.text;
  }
  EXPECT_EQ(confirmed, (std::map<std::string, int>{
                           {longText.substr(0, 153), 1}, {longText.substr(153), 1}, {AnsiToUtf8(shortText), 1}}));
  EXPECT_EQ(series, longText);

  // Received: the cut one stays on the SIM; the others reach a client exactly.
  const std::vector<StoredSms> left = sim.Stored();
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].index, cut);
  LoopbackClient client(port);
  packet fetch = TypedPacket(kPacketFetch);
  PacketSetNumber(fetch, "REQUEST");
  ASSERT_TRUE(client.Send(fetch));
  const std::pair<std::string, std::string> want[] = {
      {kNumber, "See you at 10"}, {"Bank", Ansi("Код 1234")}, {"+79165550000", Ansi("Ошибка")}};
  for (const auto& [number, text] : want) {
    const auto got = client.Receive();
    ASSERT_TRUE(got);
    EXPECT_EQ(std::string(got->number()), number);
    EXPECT_EQ(std::string(got->text()), text) << AnsiToUtf8(text);
  }
  if (GetParam().logged != nullptr) {
    const std::string habit = GetParam().logged;
    EXPECT_TRUE(sim.WaitFor([&](const ModemSimView& v) { return Logged(v, habit) > 0; }));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Habits, ModemHabitsTest,
    ::testing::Values(Habit{"AnswersAtOnce", [](ModemSim&) {}, nullptr},
                      Habit{"ByteByByte", [](ModemSim& s) { s.SetByteDelay(20ms); }, nullptr},
                      Habit{"DozesOff", [](ModemSim& s) { s.SetDoze(1s); }, "(asleep: not heard)"},
                      Habit{"Unsolicited", [](ModemSim& s) { s.SetUnsolicited(true); }, "> RING"},
                      Habit{"RefusesTheFirstSend", [](ModemSim& s) { s.FailSends(1); }, "> +CMS ERROR: 500"},
                      Habit{"RefusesPduMode", [](ModemSim& s) { s.RefusePduMode(true); }, nullptr, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
