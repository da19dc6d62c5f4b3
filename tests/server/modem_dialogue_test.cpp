// The AT dialogue and the worker against a modem the test plays by hand on a
// pseudo-terminal, for answers the simulator never gives and for exact moments.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <vector>

#include "platform/com_port_names.h"
#include "serial/port/com_port.h"
#include "server/modem_dialogue.h"
#include "server/modem_worker.h"
#include "sms/send_message.h"
#include "tests/support/pseudo_terminal.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace std::chrono_literals;

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
  ServerState state;
  ModemDialogue dialogue{port, state};
};

TEST_F(ModemDialogueTest, AnErrorEndsTheWaitForAConfirmationAndForAListing) {
  std::future<bool> sent;
  std::future<void> read;
  // Should a wait go on, the stop ends it, so that the test ends either way.
  struct Stop {
    ServerState& state;
    ModemDialogue& dialogue;
    ~Stop() {
      state.StopFlag = true;
      dialogue.ClosePort();
    }
  } stop{state, dialogue};

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

// Each wait met by the answer to the command before it (an OK left over), the
// answer to the last command before the listing comes only after the flush.
TEST_F(ModemDialogueTest, AListingThatFollowsALateAnswerIsStillRead) {
  const std::string pdu = "07919799000000F0040B919761214365F700006230211450328102C834";  // "Hi"
  std::future<void> read;
  struct Stop {
    ServerState& state;
    ModemDialogue& dialogue;
    ~Stop() {
      state.StopFlag = true;
      dialogue.ClosePort();
    }
  } stop{state, dialogue};

  pty.Send("\r\nOK\r\n");  // left over
  read = std::async(std::launch::async, [&] { dialogue.ReadStoredMessages("\"SM\""); });
  ReceiveUntil("AT+CMGF=0\r");  // the left-over OK met the first command's wait
  pty.Send("\r\n+CPMS: 1,30,1,30,1,30\r\n\r\nOK\r\n");
  ReceiveUntil("AT+CMGL=4\r");
  pty.Send("\r\nOK\r\n\r\n+CMGL: 7,0,,23\r\n" + pdu + "\r\n\r\nOK\r\n");  // AT+CMGF's answer, then the listing
  EXPECT_NE(ReceiveUntil("AT+CMGD=7\r").find("AT+CMGD=7\r"), std::string::npos);
  ASSERT_EQ(read.wait_for(20s), std::future_status::ready);
  std::lock_guard guard(state.QueueLock);
  ASSERT_EQ(state.IncomingQueue.size(), 1u);
  EXPECT_EQ(state.IncomingQueue.front()->text(), "Hi");
}

TEST_F(ModemDialogueTest, AStopBeforeTheModemConfirmsPutsTheMessageBackInItsPlace) {
  for (const char* text : {"first", "second"}) {
    PacketPtr p = PacketNew();
    PacketSetNumber(*p, "12345");
    PacketSetText(*p, text);
    state.OutgoingQueue.push_back(std::move(p));
  }
  std::string pdu;
  SendMessageText(
      *state.OutgoingQueue.front(), [&](const std::string& built) { pdu = built; return true; },
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
  for (const PacketPtr& p : state.OutgoingQueue) queued.emplace_back(p->text());
  EXPECT_EQ(queued, (std::vector<std::string>{"first", "second"}));
}

}  // namespace
