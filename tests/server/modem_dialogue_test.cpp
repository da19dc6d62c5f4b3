// The AT dialogue and the worker against a modem the test plays by hand on a
// pseudo-terminal, for answers the simulator never gives and for exact moments.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <mutex>
#include <string>
#include <vector>

#include "platform/com_port_names.h"
#include "serial/port/com_port.h"
#include "server/modem/modem_dialogue.h"
#include "server/modem/modem_worker.h"
#include "server/modem/send_message.h"
#include "tests/support/captured_stderr.h"
#include "tests/support/pseudo_terminal.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"

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
// that come late: the modem counts as ready exactly when it takes PDU mode.
TEST_F(ModemDialogueTest, TheModemIsReadyExactlyWhenItTakesPduMode) {
  struct Case {
    const char* name;
    std::string toAt, toCmgf;
    bool ready;
  };
  const Case cases[] = {
      {"two OKs", "\r\nOK\r\n\r\nOK\r\n", "\r\nOK\r\n", true},
      {"one OK", "\r\nOK\r\n", "\r\nOK\r\n", true},
      {"noise before the first", "\r\nERROR\r\n\r\nOK\r\n", "\r\nOK\r\n", true},
      {"two OKs, PDU mode refused", "\r\nOK\r\n\r\nOK\r\n", "\r\nERROR\r\n", false},
      {"one OK, PDU mode refused", "\r\nOK\r\n", "\r\n+CMS ERROR: 303\r\n", false},
      {"a notice before the refusal", "\r\nOK\r\n\r\nOK\r\n", "\r\n+CMTI: \"SM\",2\r\n\r\nRING\r\n\r\nERROR\r\n", false},
      {"no OK at all", "\r\nERROR\r\n\r\nERROR\r\n", "", false},
  };
  std::future<bool> ready;
  StopAtEnd stop{state, dialogue};
  for (const Case& c : cases) {
    ready = std::async(std::launch::async, [&] { return dialogue.ModemReady(); });
    Answer("AT\rAT\r", c.toAt);
    if (!c.toCmgf.empty()) {
      Answer("ATE0\r", "\r\nOK\r\n");
      Answer("AT+CMEE=1\r", "\r\nOK\r\n");
      Answer("AT+CMGF=0\r", c.toCmgf);
    }
    ASSERT_EQ(ready.wait_for(20s), std::future_status::ready) << c.name;
    EXPECT_EQ(ready.get(), c.ready) << c.name;
  }
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
    Answer("AT+CMGD=1\r", "\r\nOK\r\n");
    Answer("AT+CMGD=5\r", "\r\nOK\r\n");
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

TEST_F(ModemDialogueTest, AStopBeforeTheModemConfirmsPutsTheMessageBackInItsPlace) {
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

  ModemWorker worker(port, state, false, registry);
  worker.Start();
  Answer("AT\rAT\r", "\r\nOK\r\n");
  Answer("ATE0\r", "\r\nOK\r\n");
  Answer("AT+CMEE=1\r", "\r\nOK\r\n");
  Answer("AT+CMGF=0\r", "\r\nOK\r\n");
  Answer("AT+CMGS=" + std::to_string(pdu.size() / 2 - 1) + "\r", "\r\n> ");
  EXPECT_EQ(pty.Receive(pdu.size() + 1), pdu + "\x1A");  // and no answer comes
  worker.Stop();

  std::vector<std::string> queued;
  for (const QueuedPacket& p : state.OutgoingQueue) queued.emplace_back(p->text());
  EXPECT_EQ(queued, (std::vector<std::string>{"first", "second"}));
}

}  // namespace
