// The modem worker against the simulated modem: messages from a client's packet
// to the PDUs the modem takes, failed attempts, the SIM read into the incoming
// queue, a modem that is silent or unplugged, and the shutdown.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/message_box.h"
#include "platform/message_window.h"
#include "protocol/message_file.h"
#include "serial/base/deva_exceptions.h"
#include "serial/base/time_base.h"
#include "serial/port/com_port.h"
#include "server/modem/modem_worker.h"
#include "server/store/queue_file.h"
#include "server/modem/send_message.h"
#include "server/modem_search.h"
#include "sms/tsms.h"
#include "tests/server/modem_fixture.h"
#include "tests/support/captured_stderr.h"

namespace {

using namespace std::chrono_literals;

class ModemWorkerTest : public ModemFixture {};

const std::string kNumber = "+79161234567";

// `text` repeated up to `length` bytes.
std::string Repeat(const std::string& text, std::size_t length) {
  std::string out;
  while (out.size() < length) out += text;
  return out.substr(0, length);
}

bool Logged(const ModemSim& sim, const std::string& part) {
  for (const std::string& line : sim.Log())
    if (line.find(part) != std::string::npos) return true;
  return false;
}

TEST_F(ModemWorkerTest, LatinAndCyrillicGoAsConcatenatedPdusFromTheClientsPackets) {
  const std::string latin = Repeat("The quick brown fox jumps over the lazy dog. ", 200);
  const std::string cyrillic = Repeat(Ansi("Съешь же ещё этих мягких французских булок. "), 100);
  const packet messages[] = {MessagePacket(kNumber, latin), MessagePacket(kNumber, cyrillic)};
  StartServer(false);
  HandIn({messages[0], messages[1]});
  FindModem();

  // What the codec builds for them, with the references that follow the stored 7.
  std::vector<std::string> expected;
  const char* refs[] = {"08", "09"};
  for (int i = 0; i < 2; ++i)
    SendMessageText(
        messages[i], [&](const std::string& pdu) { expected.push_back(pdu); return true; },
        [&] { return std::string(refs[i]); });
  ASSERT_EQ(expected.size(), 4u);

  const std::vector<SimSend> sends = Sends(4);
  ASSERT_EQ(sends.size(), 4u);
  std::string decoded[2];
  for (std::size_t i = 0; i < sends.size(); ++i) {
    TSMS sms;
    sms.ParsePdu(expected[i]);
    EXPECT_EQ(sends[i].pdu, expected[i]) << i;
    EXPECT_EQ(sends[i].length, sms.tpduLen) << i;
    EXPECT_EQ(sends[i].result.rfind("+CMGS:", 0), 0u) << sends[i].result;
    decoded[i / 2] += sends[i].decoded.text;
  }
  EXPECT_EQ(decoded[0], latin);
  EXPECT_EQ(decoded[1], AnsiToUtf8(cyrillic));
  EXPECT_TRUE(WaitUntil([&] { return Outgoing() == 0; }));
}

TEST_F(ModemWorkerTest, ARefusedMessageGoesAgainAfterThoseQueuedBehindIt) {
  sim.FailSends(1);
  StartServer(false);
  HandIn({MessagePacket(kNumber, "first"), MessagePacket(kNumber, "second")});
  FindModem();
  const std::vector<SimSend> sends = Sends(3);
  std::vector<std::string> texts;
  for (const SimSend& s : sends) texts.push_back(s.decoded.text);
  EXPECT_EQ(texts, (std::vector<std::string>{"first", "second", "first"}));
  EXPECT_TRUE(Logged(sim, "> +CMS ERROR: 500"));
  EXPECT_TRUE(WaitUntil([&] { return Outgoing() == 0; }));
}

TEST_F(ModemWorkerTest, CheckMailReadsTheSimIntoTheIncomingQueueDeletesWhatItTookAndAClientFetchesThem) {
  ASSERT_EQ(sim.Store({kNumber, "See you at 10", {2026, 3, 12, 14, 5, 23, 12}}), 1);
  ASSERT_EQ(sim.Store({"Bank", "Код 1234", {2026, 3, 12, 14, 6, 0, 12}}), 2);
  ASSERT_EQ(sim.StoreRawPdu(""), 3);  // its header line has no PDU after it
  // Month 13 in its time stamp.
  ASSERT_EQ(sim.StoreRawPdu(Tampered(BuildDeliverPdu({"+79160000000", "Late", {2026, 3, 12, 15, 0, 0, 12}}), 6, "31")), 4);
  StartServer(true);
  FindModem();
  ASSERT_TRUE(sim.WaitFor([](const ModemSimView& v) { return v.sim.Used() == 1; }));
  ASSERT_TRUE(WaitUntil([&] { return Incoming() == 3; }));
  EXPECT_EQ(sim.Stored().at(0).index, 3);  // no PDU came for it: it stays

  // Each message deleted once its PDU line was read, highest index first.
  std::vector<std::string> commands;
  for (const std::string& line : sim.Log())
    if (line.starts_with("< AT+C")) commands.push_back(line.substr(2));
  const auto listed = std::find(commands.begin(), commands.end(), "AT+CMGL=4");
  ASSERT_NE(listed, commands.end());
  EXPECT_NE(std::find(commands.begin(), listed, "AT+CPMS=\"SM\""), listed);
  EXPECT_EQ(std::vector<std::string>(listed + 1, commands.end()),
            (std::vector<std::string>{"AT+CMGD=4", "AT+CMGD=2", "AT+CMGD=1"}));

  LoopbackClient client(port);
  packet fetch = TypedPacket(kPacketFetch);
  PacketSetNumber(fetch, "REQUEST");
  ASSERT_TRUE(client.Send(fetch));
  struct Received {
    std::string number, date, text;
    bool operator==(const Received&) const = default;
  };
  const Received want[] = {{kNumber, "12.03.2026 14:05:23", "See you at 10"},
                           {"Bank", "12.03.2026 14:06:00", Ansi("Код 1234")},
                           {"+79160000000", "", "Late"}};  // a bad time stamp leaves only the date out
  for (const Received& w : want) {
    const auto got = client.Receive();
    ASSERT_TRUE(got);
    EXPECT_EQ(got->type(), kPacketMessage);
    EXPECT_EQ((Received{std::string(got->number()), std::string(got->date()), std::string(got->text())}), w)
        << AnsiToUtf8(w.text);
  }
  EXPECT_EQ(Incoming(), 0u);
}

// Each answer 3 s after the one before, within the 5.5 s a reply may take: the
// message goes and the SIM is read as with a fast modem, only slower.
TEST_F(ModemWorkerTest, AModemThatAnswersThreeSecondsLateSendsAndReads) {
  sim.SetAnswerDelay(std::chrono::seconds(3));
  ASSERT_EQ(sim.Store({kNumber, "See you at 10", {2026, 3, 12, 14, 5, 23, 12}}), 1);
  StartServer(true);
  HandIn({MessagePacket(kNumber, "Slow but sure")});
  FindModem();
  ASSERT_TRUE(WaitUntil([&] { return Incoming() == 1; }, 180s));
  ASSERT_TRUE(sim.WaitFor([](const ModemSimView& v) { return v.sim.Used() == 0; }));
  const std::vector<SimSend> sends = sim.Sends();
  ASSERT_EQ(sends.size(), 1u);
  EXPECT_EQ(sends[0].decoded.text, "Slow but sure");
  EXPECT_EQ(Outgoing(), 0u);
  std::lock_guard guard(core->state().QueueLock);
  EXPECT_EQ(core->state().IncomingQueue.front()->text(), "See you at 10");
}

TEST_F(ModemWorkerTest, AnIdleWorkerWithoutCheckMailSaysNothingToTheModem) {
  DeclareModem(sim.DevicePath());
  SetComRegistryFile(dir.File(kRegistryFile));
  TDevaComPort port(nullptr);
  port.AutoOpen = false;
  port.SetComNumber(5);
  port.SetOpen(true);
  ServerState state(dir.path());
  ModemWorker worker(port, state, false, dir.File(kRegistryFile));
  worker.Start();
  ASSERT_TRUE(WaitUntil([&] { return worker.Passes() >= 1; }));
  worker.Stop();
  EXPECT_TRUE(sim.Log().empty());
  EXPECT_FALSE(port.Open());  // closed as the worker ended
}

TEST_F(ModemWorkerTest, ASilentModemLeavesTheMessageQueuedAndTheShutdownSavesIt) {
  sim.SetSilent(true);
  StartServer(false);
  HandIn({MessagePacket(kNumber, "kept")});
  FindModem();
  // The worker now waits for an answer.
  ASSERT_TRUE(sim.WaitFor([](const ModemSimView& v) { return !v.log.empty(); }));
  EXPECT_EQ(Outgoing(), 1u);
  EXPECT_TRUE(core->Close());
  const std::vector<packet> saved = ReadMessageFile(dir.File(kOutgoingQueueFile));
  ASSERT_EQ(saved.size(), 1u);
  EXPECT_EQ(saved[0].text(), "kept");
  EXPECT_TRUE(sim.Sends().empty());
}

// Beside a modem that answers nothing and only reports its signal, clients hand
// in and fetch while the worker waits in its check of the modem.
TEST_F(ModemWorkerTest, ClientsAreServedWhileTheWorkerChecksTheModem) {
  sim.SetSilent(true);
  sim.SetChatter(300ms);
  StartServer(false);
  ModemLimits limits;
  limits.reply = Secs2Ticks(600);  // a check that outlasts the test
  core->set_modem_limits(limits);
  HandIn({MessagePacket(kNumber, "waiting")});
  QueueIncoming({MessagePacket("+79160000001", "one"), MessagePacket("+79160000002", "two"),
                 MessagePacket("+79160000003", "three")});
  FindModem();
  ASSERT_TRUE(sim.WaitFor([](const ModemSimView& v) {
    return std::any_of(v.log.begin(), v.log.end(), [](const std::string& l) { return l.starts_with("< AT   (silent"); });
  }));

  HandIn({MessagePacket(kNumber, "handed in meanwhile")});
  EXPECT_EQ(OutgoingTexts(), (std::vector<std::string>{"waiting", "handed in meanwhile"}));
  LoopbackClient client(port);
  packet fetch = TypedPacket(kPacketFetch);
  PacketSetNumber(fetch, "REQUEST");
  ASSERT_TRUE(client.Send(fetch));
  for (const char* text : {"one", "two", "three"}) {
    const auto got = client.Receive();
    ASSERT_TRUE(got);
    EXPECT_EQ(got->text(), text);
  }
  // All in the same check: nothing after the two ATs was said to the modem.
  for (const std::string& line : sim.Log()) EXPECT_FALSE(line.starts_with("< ATE0")) << line;
}

TEST_F(ModemWorkerTest, AnUnpluggedModemIsShownOnceAndWhatWaitsGoesOnceItIsBack) {
  auto unplugged = std::make_unique<ModemSim>();
  unplugged->Start();
  StartServer(true);  // the look at the SIM that follows the send shows that the send is over
  FindModem(*unplugged);
  HandIn({MessagePacket(kNumber, "before")});
  // Unplugged before the worker has read the confirmation, "before" would rightly go again.
  ASSERT_TRUE(unplugged->WaitFor([](const ModemSimView& v) {
    const auto send = std::find_if(v.log.begin(), v.log.end(),
                                   [](const std::string& line) { return line.starts_with("< AT+CMGS="); });
    return v.sends.size() == 1 && std::find(send, v.log.end(), "< AT") != v.log.end();
  }));

  DeclareModem(dir.File("gone"));  // its device is no more ...
  unplugged.reset();               // ... and its line hangs up
  HandIn({MessagePacket(kNumber, "while unplugged")});
  ASSERT_TRUE(boxes.WaitFor(1));  // the port that cannot be opened again
  // The worker failed while holding the queues' lock, and left it free.
  HandIn({MessagePacket(kNumber, "after the box")});

  DeclareModem(sim.DevicePath());  // plugged in again
  const std::vector<SimSend> sends = Sends(2);
  ASSERT_EQ(sends.size(), 2u);
  EXPECT_EQ(sends[0].decoded.text, "while unplugged");
  EXPECT_EQ(sends[1].decoded.text, "after the box");
  EXPECT_EQ(boxes.Asked().size(), 1u);  // not again at every attempt
}

// No modem at the first look: it is looked for again, and used once its
// device appears; the port it is on is said once.
TEST_F(ModemWorkerTest, AModemPluggedInAfterTheStartIsFoundAndUsed) {
  StartServer(false);
  HandIn({MessagePacket(kNumber, "waiting")});
  ModemSearch search(*core);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(search.Look());
  EXPECT_EQ(core->ModemPortCount(), 0u);
  DeclareModem(sim.DevicePath());
  EXPECT_FALSE(search.Look());
  EXPECT_FALSE(search.Look());
  const std::string said = CapturedStderr();
  ASSERT_EQ(core->ModemPortCount(), 1u);
  EXPECT_EQ(Sends(1).at(0).decoded.text, "waiting");
  const std::string line = "trelmsrv: the modem is on COM5 (" + sim.DevicePath() + ")\n";
  EXPECT_NE(said.find(line), std::string::npos) << said;
  EXPECT_EQ(said.find(line), said.rfind(line)) << said;
}

// A modem unplugged and plugged in again as another device under another port
// name that Config.ini allows: once its old port has failed to open for a
// while, it is found by its ids and the worker uses its new port. A port that
// cannot be opened is shown once, however often it is tried.
TEST_F(ModemWorkerTest, AModemBackUnderAnotherNameIsUsedThere) {
  auto unplugged = std::make_unique<ModemSim>();
  unplugged->Start();
  StartServer(false);
  FindModem(*unplugged);
  ModemSearch search(*core, 0ms);
  testing::internal::CaptureStderr();
  search.Look();
  ModemWorker& worker = *core->Modem();

  DeclareModem(sim.DevicePath(), "COM6");  // COM5 is no more ...
  unplugged.reset();                       // ... and its line hangs up
  HandIn({MessagePacket(kNumber, "while unplugged")});
  ASSERT_TRUE(WaitUntil([&] { return worker.PortFailingSince().has_value(); }));
  EXPECT_FALSE(search.Look());
  EXPECT_EQ(worker.PortNumber(), 6);
  EXPECT_EQ(Sends(1).at(0).decoded.text, "while unplugged");
  EXPECT_FALSE(worker.PortFailingSince());
  const std::string said = CapturedStderr();
  EXPECT_NE(said.find("trelmsrv: the modem is on COM6 (" + sim.DevicePath() + ")\n"), std::string::npos) << said;

  // Allowed but no port to open: the same failure is given once.
  ASSERT_TRUE(WriteFileAtomically(dir.File(kRegistryFile), ModemRegistry(dir.File("gone"), "COM6")));
  ServerCore bare(dir.path());
  ModemSearch without(bare);
  EXPECT_TRUE(without.Look());
  EXPECT_FALSE(without.Look());
}

TEST_F(ModemWorkerTest, TheCloseLetsGoAWorkerWhoseBoxWaitsForTheMainThread) {
  std::atomic<bool> asking{false};
  // As the program's boxes do: shown on the main thread, which the asking thread waits for.
  const MessageBoxHandler answers = SetMessageBoxHandler([&](const MessageBoxRequest&) {
    asking = true;
    Synchronize([] {});
    return MbResult::Ok;
  });
  auto unplugged = std::make_unique<ModemSim>();
  unplugged->Start();
  StartServer(false);
  FindModem(*unplugged);
  DeclareModem(dir.File("gone"));
  unplugged.reset();
  HandIn({MessagePacket(kNumber, "waiting")});
  ASSERT_TRUE(WaitUntil([&] { return asking.load(); }));
  EXPECT_TRUE(core->Close());  // the main thread serves nobody meanwhile
  SetMessageBoxHandler(answers);
  const std::vector<packet> saved = ReadMessageFile(dir.File(kOutgoingQueueFile));
  ASSERT_EQ(saved.size(), 1u);
  EXPECT_EQ(saved[0].text(), "waiting");
}

TEST_F(ModemWorkerTest, OpenModemPortDrivesOneModemAndKeepsNothingOfAPortThatCannotOpen) {
  StartServer(false);
  DeclareModem(dir.File("gone"));
  EXPECT_THROW(OpenModemPort(*core, 5), EBadId);
  EXPECT_EQ(core->ModemPortCount(), 0u);
  DeclareModem(sim.DevicePath());
  EXPECT_TRUE(OpenModemPort(*core, 5));
  EXPECT_FALSE(OpenModemPort(*core, 5));
  EXPECT_EQ(core->ModemPortCount(), 1u);
}

}  // namespace
