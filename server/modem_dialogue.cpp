#include "server/modem_dialogue.h"

#include <chrono>

#include "serial/port/com_port.h"
#include "serial/base/time_base.h"
#include "sms/tsms.h"
#include "server/stored_messages.h"

namespace {

constexpr int kReplyTicks = 100;    // about 5.5 s
constexpr int kPromptTicks = 1000;  // about 55 s
constexpr int kLateListingTicks = 36;  // about 2 s
constexpr char kCtrlZ = '\x1A';

// The longest wait a timer can hold (about 24 days). One that lasted at least
// half of it ran out; one that ended before was cut short.
constexpr std::chrono::milliseconds kLongestWait{std::int64_t{kMaxTimerTicks} * kTickMs};

// Collects every byte the port's waits take while it lives.
class WaitedBytes {
 public:
  WaitedBytes(TDevaCustomComPort& port, std::string& bytes) : port_(port) {
    port_.OnWaitChar = [&bytes](TDevaCustomComPort*, char c) { bytes += c; };
  }
  ~WaitedBytes() { port_.OnWaitChar = nullptr; }
  WaitedBytes(const WaitedBytes&) = delete;
  WaitedBytes& operator=(const WaitedBytes&) = delete;

 private:
  TDevaCustomComPort& port_;
};

}  // namespace

ModemDialogue::ModemDialogue(TDevaCustomComPort& port, ServerState& state) : port_(port), state_(state) {}

void ModemDialogue::Command(std::string_view command) { port_.PutString(command); }

bool ModemDialogue::Await(std::string_view text, int ticks) { return port_.WaitForString(text, ticks, false, true); }

int ModemDialogue::AwaitAny(std::string_view texts) {
  // None of the replies awaited repeats its first character, so the wait's
  // match, which restarts on a mismatch, finds a text exactly where a search of
  // everything received so far would, and stops at the byte that completes it.
  for (;;) {
    const auto begun = std::chrono::steady_clock::now();
    const int found = port_.WaitForMultiString(texts, kMaxTimerTicks, false, false, '|');
    if (found != 0) return found;
    if (Stopping()) return 0;
    if (std::chrono::steady_clock::now() - begun < kLongestWait / 2) {
      Failed();
      return 0;
    }
  }
}

bool ModemDialogue::Failed() {
  if (port_.Open() && port_.GetLastWinError() != 0) ClosePort();
  return false;
}

void ModemDialogue::ClosePort() {
  std::lock_guard lock(openLock_);
  port_.SetOpen(false);
}

bool ModemDialogue::ModemReady() {
  if (port_.ComNumber() == 0) return false;
  {
    std::lock_guard lock(openLock_);
    if (Stopping()) return false;
    if (!port_.Open()) port_.SetOpen(true);
  }
  Command("AT\r");
  Command("AT\r");
  if (!Await("OK", kReplyTicks)) return Failed();
  Command("ATE0\r");  // echo off
  Await("OK", kReplyTicks);
  Command("AT+CMEE=1\r");  // errors as numbers
  Await("OK", kReplyTicks);
  Command("AT+CMGF=0\r");  // PDU mode
  return Await("OK", kReplyTicks) || Failed();
}

bool ModemDialogue::SendPdu(const std::string& pdu) {
  TSMS sms;
  sms.ParsePdu(pdu);
  Command("AT+CMGS=" + std::to_string(sms.tpduLen) + "\r");
  if (!Await(">", kPromptTicks)) return Failed();
  Command(pdu + kCtrlZ);
  // An error of any kind ("+CMS ERROR:" among them), or a new-message notice
  // before the confirmation, ends the attempt as a failure: a plain ERROR too,
  // which would otherwise hold the worker here for good.
  return AwaitAny("ERROR|+CMTI|+CMGS:") == 3;
}

void ModemDialogue::ReadStoredMessages(std::string_view storage) {
  for (const std::string& command : {"AT+CPMS=" + std::string(storage) + "\r", std::string("AT+CMGF=0\r")}) {
    Command(command);
    if (!Await("OK", kReplyTicks)) {
      Failed();
      return;
    }
  }
  port_.FlushInBuffer();
  port_.FlushOutBuffer();
  std::string listing;
  {
    const WaitedBytes collect(port_, listing);
    Command("AT+CMGL=4\r");  // every message, in PDU mode
    // A modem that cannot list now (a busy SIM) answers an error, and nothing is read this time.
    if (AwaitAny("OK|ERROR") != 1) return;
    // The waits before may each have been met by the answer to the command before
    // theirs (the check sends AT twice), so the answer to the last one may have
    // come after the flush: an OK with no listing before it may be that answer,
    // and the listing's own OK is given a moment to follow.
    if (listing.find(kListingHeader) == std::string::npos &&
        port_.WaitForMultiString("OK|ERROR", kLateListingTicks, false, false, '|') == 2)
      return;
  }
  for (const ListedMessage& m : ParseMessageListing(listing)) {
    if (Stopping()) return;  // the rest stay on the SIM for the next start
    // Deleted before its PDU is read, with no wait for the modem's answer.
    Command("AT+CMGD=" + m.index + "\r");
    if (!m.pdu) continue;
    PacketPtr p = ReceivedPacket(*m.pdu);
    std::lock_guard guard(state_.QueueLock);
    state_.IncomingQueue.push_back(std::move(p));
  }
}
