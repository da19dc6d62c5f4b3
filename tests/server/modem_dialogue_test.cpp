// The AT dialogue and the worker against a modem the test plays by hand on a
// pseudo-terminal, for answers the simulator never gives and for exact moments.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/com_port_names.h"
#include "platform/errno_map.h"
#include "serial/port/com_port.h"
#include "server/modem/modem_dialogue.h"
#include "server/modem/modem_worker.h"
#include "server/modem/send_message.h"
#include "tests/serial/dispatch/fake_device_dispatcher.h"
#include "tests/support/captured_stderr.h"
#include "tests/support/pseudo_terminal.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"
#include "tools/modem_sim/deliver_pdu.h"
#include "tools/modem_sim/sim_card.h"

namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;

const std::string kHi = "00110005812143F50000FF02C834";  // "Hi" to 12345, 13 octets after "00"

class ModemDialogueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetComRegistryFile(registry);
    RegisterComPort(registry, 5, pty.DevicePath());
    port.AutoOpen = false;
    port.SetComNumber(5);
    port.SetOpen(true);
  }
  void TearDown() override { SetComRegistryFile(""); }

  // What the dialogue writes, until `ending` is among it.
  std::string ReceiveUntil(const std::string& ending) {
    std::string got;
    while (got.find(ending) == std::string::npos) {
      const std::string c = pty.Receive(1);
      if (c.empty()) break;
      got += c;
    }
    return got;
  }

  // The modem takes `command` and answers `answer`.
  void Answer(const std::string& command, const std::string& answer) {
    EXPECT_EQ(pty.Receive(command.size()), command);
    pty.Send(answer);
  }

  TempDir dir;
  std::string registry = dir.File("registry.reg");
  PseudoTerminal pty;
  TDevaComPort port{nullptr};
  ServerState state{dir.path()};
  ModemDialogue dialogue{port, state};
};

// Should a wait go on, the stop ends it, so that the test ends either way.
struct StopAtEnd {
  ServerState& state;
  ModemDialogue& dialogue;
  ~StopAtEnd() {
    state.StopFlag = true;
    dialogue.ClosePort();
  }
};

TEST_F(ModemDialogueTest, AnErrorEndsTheWaitForAConfirmationAndForAListing) {
  std::future<bool> sent;
  std::future<void> read;
  StopAtEnd stop{state, dialogue};

  sent = std::async(std::launch::async, [&] { return dialogue.SendPdu(kHi); });
  Answer("AT+CMGS=13\r", "\r\n> ");
  Answer(kHi + "\x1A", "\r\nERROR\r\n");
  ASSERT_EQ(sent.wait_for(20s), std::future_status::ready);
  EXPECT_FALSE(sent.get());

  read = std::async(std::launch::async, [&] { dialogue.ReadStoredMessages("\"SM\""); });
  Answer("AT+CPMS=\"SM\"\r", "\r\nOK\r\n");
  Answer("AT+CMGF=0\r", "\r\nOK\r\n");
  Answer("AT+CMGL=4\r", "\r\n+CMS ERROR: 314\r\n");  // SIM busy
  ASSERT_EQ(read.wait_for(20s), std::future_status::ready);
  EXPECT_EQ(state.IncomingCount(), 0u);
}

// One OK or two to the two ATs (a modem waking up misses the first), answers
// in either case, a maker's word for ERROR: the modem counts as ready exactly
// when it takes PDU mode.
TEST_F(ModemDialogueTest, TheModemIsReadyExactlyWhenItTakesPduMode) {
  const std::string ok = "\r\nOK\r\n";
  struct Case {
    const char* name;
    std::string toAt, toCmgf;
    bool ready;
    std::string toCmee = "\r\nOK\r\n";
  };
  const Case cases[] = {
      {"two OKs", ok + ok, ok, true},
      {"one OK", ok, ok, true},
      {"noise before the first", "\r\nERROR\r\n" + ok, ok, true},
      {"in lower case", "\r\nok\r\n\r\nok\r\n", "\r\nOk\r\n", true},
      {"no AT+CMEE, in a maker's word", ok + ok, ok, true, "\r\nCOMMAND NOT SUPPORT\r\n"},
      {"two OKs, PDU mode refused", ok + ok, "\r\nERROR\r\n", false},
      {"one OK, PDU mode refused", ok, "\r\n+CMS ERROR: 303\r\n", false},
      {"PDU mode refused in lower case", ok, "\r\n+cms error: 303\r\n", false},
      {"a notice before the refusal", ok + ok, "\r\n+CMTI: \"SM\",2\r\n\r\nRING\r\n\r\nERROR\r\n", false},
      {"started afresh in place of an answer", ok + ok, "\r\n+CPIN: READY\r\n", false},
      {"no OK at all", "\r\nERROR\r\n\r\nERROR\r\n", "", false},
  };
  std::future<bool> ready;
  StopAtEnd stop{state, dialogue};
  for (const Case& c : cases) {
    ready = std::async(std::launch::async, [&] { return dialogue.ModemReady(); });
    Answer("AT\rAT\r", c.toAt);
    if (!c.toCmgf.empty()) {
      Answer("ATE0\r", ok);
      Answer("AT+CMEE=1\r", c.toCmee);
      Answer("AT+CMGF=0\r", c.toCmgf);
    }
    ASSERT_EQ(ready.wait_for(20s), std::future_status::ready) << c.name;
    EXPECT_EQ(ready.get(), c.ready) << c.name;
  }
}

// A modem that takes its time over each command: the other AT's OK, as late
// again as the first, is taken as that AT's answer, never as the next
// command's, so the refusal of PDU mode is seen.
TEST_F(ModemDialogueTest, ALateModemHasEachAnswerTakenForItsOwnCommand) {
  StopAtEnd stop{state, dialogue};
  auto ready = std::async(std::launch::async, [&] { return dialogue.ModemReady(); });
  EXPECT_EQ(pty.Receive(6), "AT\rAT\r");
  for (int i = 0; i < 2; ++i) {
    std::this_thread::sleep_for(800ms);  // the modem's pace
    pty.Send("\r\nOK\r\n");
  }
  Answer("ATE0\r", "\r\nOK\r\n");
  Answer("AT+CMEE=1\r", "\r\nOK\r\n");
  Answer("AT+CMGF=0\r", "\r\nERROR\r\n");
  ASSERT_EQ(ready.wait_for(20s), std::future_status::ready);
  EXPECT_FALSE(ready.get());
}

// A listing whose lines come with notices among them, and some whose PDU line
// did not come whole: only the messages read whole are deleted and queued, and
// each one left on the SIM is said once however often it is read.
TEST_F(ModemDialogueTest, OnlyMessagesReadWholeLeaveTheSim) {
  const std::string hi = "07919799000000F0040B919761214365F700006230211450328102C834";  // "Hi", 21 octets
  const std::string listing = "\r\n+CMGL: 1,0,,21\r\n\r\n+CMTI: \"SM\",9\r\n\r\nRING\r\n" + hi +
                              "\r\n+CMGL: 2,0,,21\r\n" + hi.substr(0, hi.size() - 2) +  // cut
                              "\r\n+CMGL: 3,0,,21\r\n" + hi.substr(0, hi.size() - 1) + "X" +  // not hexadecimal
                              "\r\n+CMGL: 4,0,,21\r\n"                                        // no PDU line
                              "+CMGL: 5,0,,21\r\n" + hi + "\r\n\r\nOK\r\n";
  std::future<void> read;
  StopAtEnd stop{state, dialogue};
  for (int pass = 0; pass < 2; ++pass) {
    testing::internal::CaptureStderr();
    read = std::async(std::launch::async, [&] { dialogue.ReadStoredMessages("\"SM\""); });
    Answer("AT+CPMS=\"SM\"\r", "\r\n+CPMS: 5,30,5,30,5,30\r\n\r\nOK\r\n");
    Answer("AT+CMGF=0\r", "\r\nOK\r\n");
    Answer("AT+CMGL=4\r", listing);
    Answer("AT+CMGD=5\r", "\r\nOK\r\n");
    Answer("AT+CMGD=1\r", "\r\nOK\r\n");
    ASSERT_EQ(read.wait_for(20s), std::future_status::ready);
    const std::string said = CapturedStderr();
    for (const char* index : {"message 2 ", "message 3 ", "message 4 "})
      EXPECT_EQ(said.find(index) != std::string::npos, pass == 0) << said;
  }
  std::lock_guard guard(state.QueueLock);
  ASSERT_EQ(state.IncomingQueue.size(), 4u);
  for (const QueuedPacket& p : state.IncomingQueue) EXPECT_EQ(p->text(), "Hi");
}

// Limits of about a second, so that a test sees a wait end without sitting out the real one.
ModemLimits ShortLimits() {
  ModemLimits limits;
  limits.reply = limits.prompt = limits.sent = limits.remove = limits.listingQuiet = limits.listing = 18;
  return limits;
}

// A modem that leaves an attempt unanswered may still take PDU input: the
// attempt ends in its time, the input is cancelled with ESC, and the port is
// closed so that the late answer meets no other command.
TEST_F(ModemDialogueTest, AnAttemptLeftUnansweredEndsCancelledWithThePortClosed) {
  struct Case {
    const char* name;
    bool prompt;  // the prompt comes, then nothing
  };
  for (const Case& c : {Case{"no prompt", false}, Case{"no answer to the PDU", true}}) {
    port.SetOpen(true);
    ModemDialogue shortDialogue(port, state, ShortLimits());
    auto sent = std::async(std::launch::async, [&] { return shortDialogue.SendPdu(kHi); });
    Answer("AT+CMGS=13\r", c.prompt ? "\r\n> " : "");
    if (c.prompt) Answer(kHi + "\x1A", "");
    Answer("\x1B", "\r\nOK\r\n");
    ASSERT_EQ(sent.wait_for(20s), std::future_status::ready) << c.name;
    EXPECT_FALSE(sent.get()) << c.name;
    EXPECT_FALSE(port.Open()) << c.name;
  }
}

// What the modem said before a command (a previous run's confirmation, an OK
// of nobody's) is no answer to it.
TEST_F(ModemDialogueTest, WhatTheModemSaidBeforeACommandAnswersNothing) {
  pty.Send("\r\n+CMGS: 2\r\n\r\nOK\r\n");
  ASSERT_TRUE(WaitUntil([&] { return port.CharReady(); }));
  StopAtEnd stop{state, dialogue};
  auto sent = std::async(std::launch::async, [&] { return dialogue.SendPdu(kHi); });
  Answer("AT+CMGS=13\r", "\r\n\0> "s);
  Answer(kHi + "\x1A", "\r\n^RSSI:12\r\n\xFF+CMGS: 7\r\n\r\n\0OK\r\n"s);
  ASSERT_EQ(sent.wait_for(20s), std::future_status::ready);
  EXPECT_TRUE(sent.get());
}

// A line that never ends is no answer, and keeps no more of itself than a line
// may hold; the OK after it is read as ever.
TEST_F(ModemDialogueTest, AnEndlessLineIsSkipped) {
  StopAtEnd stop{state, dialogue};
  auto ready = std::async(std::launch::async, [&] { return dialogue.ModemReady(); });
  Answer("AT\rAT\r", std::string(100000, '0') + "\r\nOK\r\n");
  Answer("ATE0\r", "\r\nOK\r\n");
  Answer("AT+CMEE=1\r", "\r\nOK\r\n");
  Answer("AT+CMGF=0\r", "\r\nOK\r\n");
  ASSERT_EQ(ready.wait_for(20s), std::future_status::ready);
  EXPECT_TRUE(ready.get());
}

// A listing that stops bringing its lines ends, however much else the modem
// says meanwhile: nothing is deleted, nothing queued, and the port is opened
// afresh for the next look.
TEST_F(ModemDialogueTest, AListingThatStopsComingEndsWhileTheModemTalksOn) {
  const std::string hi = "07919799000000F0040B919761214365F700006230211450328102C834";
  ModemDialogue shortDialogue(port, state, ShortLimits());
  auto read = std::async(std::launch::async, [&] { shortDialogue.ReadStoredMessages("\"SM\""); });
  Answer("AT+CPMS=\"SM\"\r", "\r\nOK\r\n");
  Answer("AT+CMGF=0\r", "\r\nOK\r\n");
  Answer("AT+CMGL=4\r", "\r\n+CMGL: 1,0,,21\r\n" + hi + "\r\n");
  for (int i = 0; i < 400 && read.wait_for(50ms) != std::future_status::ready; ++i) pty.Send("\r\n^RSSI:12\r\n");
  ASSERT_EQ(read.wait_for(20s), std::future_status::ready);
  EXPECT_EQ(state.IncomingCount(), 0u);
  EXPECT_FALSE(port.Open());
}

// Unplugged between its confirmation and the OK, the part counts as sent.
TEST_F(ModemDialogueTest, APartConfirmedBeforeTheLineHangsUpIsSent) {
  std::mutex lock;
  std::string taken;  // what the dialogue's waits took
  port.OnWaitChar = [&](TDevaCustomComPort*, char c) {
    std::lock_guard guard(lock);
    taken += c;
  };
  auto sent = std::async(std::launch::async, [&] { return dialogue.SendPdu(kHi); });
  Answer("AT+CMGS=13\r", "\r\n> ");
  Answer(kHi + "\x1A", "\r\n+CMGS: 5\r\n");
  ASSERT_TRUE(WaitUntil([&] {
    std::lock_guard guard(lock);
    return taken.ends_with("+CMGS: 5\r\n");
  }));
  pty.HangUp();
  ASSERT_EQ(sent.wait_for(20s), std::future_status::ready);
  EXPECT_TRUE(sent.get());
}

// A port whose line ended under a wait, though its device left no error behind
// (its threads ended all the same), is closed: the next check opens it afresh
// and talks to the modem again, with nothing thrown and nothing to show.
TEST(ModemDialogueOnAFakeDevice, APortWhoseLineEndedIsOpenedAfreshAtTheNextCheck) {
  TDevaComPort port(nullptr);
  port.AutoOpen = false;
  port.SetComNumber(1);
  std::atomic<TFakeDeviceDispatcher*> latest{nullptr};
  std::atomic<int> opens{0};
  port.ActivationProcedure = [&](TDevaCustomComPort&) {
    auto made = std::make_unique<TFakeDeviceDispatcher>();
    latest = made.get();
    ++opens;
    return std::unique_ptr<TDevaBaseDispatcher>(std::move(made));
  };
  TempDir stateDir;
  ServerState state{stateDir.path()};
  ModemDialogue dialogue(port, state);
  // The modem takes `command` and answers `answer`.
  const auto answer = [&](const std::string& command, const std::string& answer) {
    FakeCommDevice& fake = latest.load()->Fake();
    ASSERT_TRUE(WaitUntil([&] { return fake.Written().ends_with(command); })) << command;
    fake.Send(answer);
  };
  const auto check = [&] {
    auto ready = std::async(std::launch::async, [&] { return dialogue.ModemReady(); });
    ASSERT_TRUE(WaitUntil([&] { return latest.load() != nullptr && port.Open(); }));
    for (const char* command : {"AT\rAT\r", "ATE0\r", "AT+CMEE=1\r", "AT+CMGF=0\r"})
      answer(command, "\r\nOK\r\n");
    ASSERT_EQ(ready.wait_for(20s), std::future_status::ready);
    EXPECT_TRUE(ready.get());
  };
  check();
  TFakeDeviceDispatcher* first = latest;
  auto sent = std::async(std::launch::async, [&] { return dialogue.SendPdu(kHi); });
  answer("AT+CMGS=13\r", "\r\n> ");
  ASSERT_TRUE(WaitUntil([&] { return first->Fake().Written().ends_with("\x1A"); }));
  first->Fake().FailReads(kSysInvalidHandle);  // no error is recorded for it
  ASSERT_EQ(sent.wait_for(20s), std::future_status::ready);
  EXPECT_FALSE(sent.get());
  EXPECT_FALSE(port.Open());
  latest = nullptr;
  check();
  EXPECT_EQ(opens.load(), 2);
  state.StopFlag = true;
  dialogue.ClosePort();
}

// A stop that comes once the modem has a part's PDU lets its confirmation come,
// within its time: a part confirmed then is sent, one not confirmed goes back to
// its place in the queue, and standard error says so.
TEST_F(ModemDialogueTest, AStopLetsTheModemConfirmThePartItTookWithinItsTime) {
  struct Case {
    const char* name;
    bool confirmed;
    std::vector<std::string> queued;
  };
  for (const Case& c : {Case{"confirmed after the stop", true, {"second"}},
                        Case{"no confirmation", false, {"first", "second"}}}) {
    TempDir stateDir;
    ServerState state{stateDir.path()};
    for (const char* text : {"first", "second"}) {
      PacketPtr p = PacketNew();
      PacketSetNumber(*p, "12345");
      PacketSetText(*p, text);
      state.OutgoingQueue.Append(std::move(p));
    }
    std::string pdu;
    SendMessageText(
        *state.OutgoingQueue.front().packet, [&](const std::string& built) { pdu = built; return true; },
        [] { return std::string("01"); });

    port.SetOpen(true);
    ModemLimits limits;
    limits.finishOnStop = 18;  // about a second
    ModemWorker worker(port, state, false, registry, limits);
    worker.Start();
    Answer("AT\rAT\r", "\r\nOK\r\n\r\nOK\r\n");
    Answer("ATE0\r", "\r\nOK\r\n");
    Answer("AT+CMEE=1\r", "\r\nOK\r\n");
    Answer("AT+CMGF=0\r", "\r\nOK\r\n");
    Answer("AT+CMGS=" + std::to_string(pdu.size() / 2 - 1) + "\r", "\r\n> ");
    EXPECT_EQ(pty.Receive(pdu.size() + 1), pdu + "\x1A") << c.name;
    testing::internal::CaptureStderr();
    auto stopped = std::async(std::launch::async, [&] { worker.Stop(); });
    ASSERT_TRUE(WaitUntil([&] { return state.StopFlag.load(); })) << c.name;
    if (c.confirmed) pty.Send("\r\n+CMGS: 9\r\n\r\nOK\r\n");
    ASSERT_EQ(stopped.wait_for(20s), std::future_status::ready) << c.name;
    const std::string said = CapturedStderr();

    std::vector<std::string> queued;
    for (const QueuedPacket& p : state.OutgoingQueue) queued.emplace_back(p->text());
    EXPECT_EQ(queued, c.queued) << c.name;
    EXPECT_EQ(said.find("confirmation of the part") != std::string::npos, !c.confirmed) << c.name << said;
  }
}

// Notices that carry a PDU ("+CMT", "+CDS"), wherever they fall, are skipped with
// their PDU lines; a listed message whose header is parted from its PDU line by
// one stays on the SIM for a later look, and the notice's message is never taken
// for it.
TEST_F(ModemDialogueTest, NoticesThatCarryAPduAreSkippedWithIt) {
  const auto deliver = [](const std::string& sender, const std::string& text) {
    return BuildDeliverPdu({sender, text, {2026, 3, 12, 14, 5, 23, 12}});
  };
  const std::string one = deliver("+79161234567", "Your code is 1111");
  const std::string two = deliver("+79161234567", "Your code is 2222");
  const std::string three = deliver("+79161234567", "Your code is 3333");
  const std::string direct = deliver("+79167770000", "Your code is 9999");  // as long as the others
  const std::string report(kSimStatusReport);
  const auto line = [](const std::string& text) { return "\r\n" + text + "\r\n"; };
  const auto header = [&](int index, const std::string& pdu) {
    return line("+CMGL: " + std::to_string(index) + ",0,," + std::to_string(TpduLength(pdu)));
  };
  const std::string cmt = line("+CMT: ," + std::to_string(TpduLength(direct))) + line(direct);
  const std::string cds = line("+CDS: " + std::to_string(TpduLength(report))) + line(report);

  StopAtEnd stop{state, dialogue};
  testing::internal::CaptureStderr();
  auto read = std::async(std::launch::async, [&] { dialogue.ReadStoredMessages("\"SM\""); });
  Answer("AT+CPMS=\"SM\"\r", line("OK"));
  Answer("AT+CMGF=0\r", line("OK"));
  Answer("AT+CMGL=4\r", header(1, one) + cmt + line(one) + header(2, two) + line(two) + cds + cmt +
                            header(3, three) + line(three) + line("OK"));
  Answer("AT+CMGD=3\r", line("OK"));
  Answer("AT+CMGD=2\r", line("OK"));
  ASSERT_EQ(read.wait_for(20s), std::future_status::ready);
  const std::string said = CapturedStderr();
  EXPECT_NE(said.find("message 1 stays on the SIM: a notice came between"), std::string::npos) << said;
  std::vector<std::string> queued;
  for (const QueuedPacket& p : state.IncomingQueue) queued.emplace_back(p->text());
  EXPECT_EQ(queued, (std::vector<std::string>{"Your code is 2222", "Your code is 3333"}));

  // Around a confirmation, too.
  auto sent = std::async(std::launch::async, [&] { return dialogue.SendPdu(kHi); });
  Answer("AT+CMGS=13\r", "\r\n> ");
  Answer(kHi + "\x1A", cmt + line("+CMGS: 4") + cds + line("OK"));
  ASSERT_EQ(sent.wait_for(20s), std::future_status::ready);
  EXPECT_TRUE(sent.get());
}

// A SIM that renumbers after a delete (the message at 3 becomes 2 once 2 is
// deleted): deletes go highest index first, so none moves one still to be
// deleted; a message whose delete was refused, or not answered, is deleted at
// the next look under the index it has then, and reaches the clients once.
TEST_F(ModemDialogueTest, DeletesGoHighestFirstAndAMessageLeftUndeletedIsNotTakenTwice) {
  const auto deliver = [](const std::string& text) {
    return BuildDeliverPdu({"+79161234567", text, {2026, 3, 12, 14, 5, 23, 12}});
  };
  const std::string pdus[] = {deliver("first"), deliver("second"), deliver("third"), deliver("fourth")};
  const auto listing = [&](const std::vector<int>& which) {
    std::string out;
    for (std::size_t i = 0; i < which.size(); ++i) {
      const std::string& pdu = pdus[which[i]];
      out += "\r\n+CMGL: " + std::to_string(i + 1) + ",1,," + std::to_string(TpduLength(pdu)) + "\r\n" + pdu + "\r\n";
    }
    return out + "\r\nOK\r\n";
  };
  ModemDialogue shortDialogue(port, state, ShortLimits());
  StopAtEnd stop{state, shortDialogue};
  const auto look = [&](const std::vector<int>& listed, const std::vector<std::pair<int, std::string>>& deletes) {
    if (!port.Open()) port.SetOpen(true);  // as the next check does
    auto read = std::async(std::launch::async, [&] { shortDialogue.ReadStoredMessages("\"SM\""); });
    Answer("AT+CPMS=\"SM\"\r", "\r\nOK\r\n");
    Answer("AT+CMGF=0\r", "\r\nOK\r\n");
    Answer("AT+CMGL=4\r", listing(listed));
    for (const auto& [index, answer] : deletes) Answer("AT+CMGD=" + std::to_string(index) + "\r", answer);
    ASSERT_EQ(read.wait_for(20s), std::future_status::ready);
  };
  // "third" refused; the others deleted, and "third" moves down to 1.
  look({0, 1, 2}, {{3, "\r\n+CMS ERROR: 321\r\n"}, {2, "\r\nOK\r\n"}, {1, "\r\nOK\r\n"}});
  // "third" again, now at 1, beside "fourth" at 2, whose delete is not answered.
  look({2, 3}, {{2, ""}});
  EXPECT_FALSE(port.Open());  // its late answer meets no later command
  look({2, 3}, {{2, "\r\nOK\r\n"}, {1, "\r\nOK\r\n"}});
  std::vector<std::string> queued;
  for (const QueuedPacket& p : state.IncomingQueue) queued.emplace_back(p->text());
  EXPECT_EQ(queued, (std::vector<std::string>{"first", "second", "third", "fourth"}));
}

// A modem that starts afresh after it took the PDU forgets the command: the
// wait for the confirmation ends at once, the part not confirmed. A repeated
// "^BOOT" status line is no such start.
TEST_F(ModemDialogueTest, AModemThatStartsAfreshEndsTheWaitAtOnce) {
  StopAtEnd stop{state, dialogue};
  struct Case {
    const char* name;
    std::string answer;
    bool confirmed;
  };
  for (const Case& c : {Case{"a status line", "\r\n^BOOT:20131123,0,0,0,6\r\n\r\n+CMGS: 3\r\n\r\nOK\r\n", true},
                        Case{"started afresh", "\r\nRDY\r\n\r\n+CFUN: 1\r\n", false}}) {
    auto sent = std::async(std::launch::async, [&] { return dialogue.SendPdu(kHi); });
    Answer("AT+CMGS=13\r", "\r\n> ");
    Answer(kHi + "\x1A", c.answer);  // the confirmation's limit is 3 minutes
    ASSERT_EQ(sent.wait_for(20s), std::future_status::ready) << c.name;
    EXPECT_EQ(sent.get(), c.confirmed) << c.name;
  }
}

}  // namespace
