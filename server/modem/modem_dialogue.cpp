#include "server/modem/modem_dialogue.h"

#include "platform/stderr_lines.h"
#include "serial/port/com_port.h"
#include "server/modem/stored_messages.h"
#include "sms/tsms.h"

namespace {

constexpr char kCtrlZ = '\x1A';
constexpr char kEsc = '\x1B';

}  // namespace

ModemDialogue::ModemDialogue(TDevaCustomComPort& port, ServerState& state, const ModemLimits& limits)
    : port_(port), state_(state), limits_(limits), lines_(port, state.StopFlag, limits_) {}

ModemReply ModemDialogue::Exchange(std::string_view command, int ticks) {
  lines_.Command(command);
  return lines_.Await({.ticks = ticks});
}

bool ModemDialogue::Failed(ModemResult result) {
  if (port_.Open() && (result == ModemResult::NoAnswer || port_.GetLastWinError() != 0)) ClosePort();
  return false;
}

void ModemDialogue::Cancel() {
  if (!port_.Open()) return;
  // Its answer is awaited, whatever it is: a close right after it would drop
  // the ESC with the output not sent yet.
  lines_.Command(std::string_view(&kEsc, 1));
  lines_.Await({.ticks = limits_.reply});
}

void ModemDialogue::ClosePort() {
  std::lock_guard lock(openLock_);
  port_.SetOpen(false);
}

void ModemDialogue::OpenPort() {
  try {
    port_.SetOpen(true);
  } catch (const std::exception& e) {
    openReport_.Failed(port_.ComNumber(), e);
    throw;
  }
  openReport_.Opened();
}

bool ModemDialogue::ModemReady() {
  if (port_.ComNumber() == 0) return false;
  {
    std::lock_guard lock(openLock_);
    if (Stopping()) return false;
    if (!port_.Open()) {
      OpenPort();
      lines_.Reset();  // what the line held before answers nothing asked now
    }
  }
  // A modem waking up may miss the first "AT", or take noise before it for a
  // command it refuses: either answer OK will do.
  lines_.Command("AT\rAT\r", 2);
  ModemReply at = lines_.Await({.ticks = limits_.reply});
  if (at.result == ModemResult::Error) at = lines_.Await({.ticks = limits_.reply});
  if (at.result != ModemResult::Ok) {
    // A modem left in PDU input (by an earlier run, say) takes every "AT" as PDU text.
    if (at.result == ModemResult::NoAnswer) Cancel();
    return Failed(at.result);
  }
  // Echo off and errors as numbers: whether the modem takes them does not
  // matter, but an answer that does not come ends the check.
  for (const char* command : {"ATE0\r", "AT+CMEE=1\r"}) {
    const ModemResult result = Exchange(command, limits_.reply).result;
    if (result != ModemResult::Ok && result != ModemResult::Error) return Failed(result);
  }
  const ModemResult pduMode = Exchange("AT+CMGF=0\r", limits_.reply).result;
  return pduMode == ModemResult::Ok || Failed(pduMode);
}

bool ModemDialogue::SendPdu(const std::string& pdu) {
  TSMS sms;
  sms.ParsePdu(pdu);
  lines_.Command("AT+CMGS=" + std::to_string(sms.tpduLen) + "\r");
  const ModemResult prompt = lines_.Await({.ticks = limits_.prompt, .prompt = true}).result;
  if (prompt != ModemResult::Prompt) {
    if (prompt != ModemResult::Error) Cancel();  // the prompt may yet come
    return Failed(prompt);
  }
  lines_.Write(pdu + kCtrlZ);
  const ModemReply answer = lines_.Await({.awaited = "+CMGS:", .ticks = limits_.sent});
  // The confirmation decides: a notice around it, a stop or an unplugged modem
  // before the final result after it do not make the part go again.
  const bool confirmed = !answer.lines.empty();
  if (answer.result == ModemResult::NoAnswer && !confirmed) Cancel();  // the PDU may not have ended
  if (answer.result != ModemResult::Ok && answer.result != ModemResult::Error) Failed(answer.result);
  return confirmed;
}

void ModemDialogue::ReadStoredMessages(std::string_view storage) {
  for (const std::string& command : {"AT+CPMS=" + std::string(storage) + "\r", std::string("AT+CMGF=0\r")}) {
    if (const ModemResult result = Exchange(command, limits_.reply).result; result != ModemResult::Ok) {
      Failed(result);
      return;
    }
  }
  port_.FlushOutBuffer();
  lines_.Command("AT+CMGL=4\r");  // every message, in PDU mode
  const ModemReply listing = lines_.Await({.awaited = kListingHeader,
                                           .ticks = limits_.listing,
                                           .quietTicks = limits_.listingQuiet,
                                           .pduLines = true});
  // A modem that cannot list now (a busy SIM) answers an error, and nothing is read this time.
  if (listing.result != ModemResult::Ok) {
    Failed(listing.result);
    return;
  }
  std::set<std::string> left;
  const auto say = [&](const std::string& said) {
    if (leftOnSim_.insert(said).second) StderrPrintf("trelmsrv: %s\n", said.c_str());
    left.insert(said);
  };
  MessageStore& store = state_.IncomingQueue.store();
  for (const ListedMessage& m : ParseMessageListing(listing.lines)) {
    if (Stopping()) return;  // the rest stay on the SIM for the next start
    if (!m.pdu) {
      say("message " + m.index + " stays on the SIM: " + m.problem);
      continue;
    }
    if (state_.IncomingQueue.Count() >= state_.QueueLimit) {
      say("the incoming queue holds " + std::to_string(state_.QueueLimit) +
          " messages, its limit; the SIM's messages stay there until clients fetch some");
      break;
    }
    PacketPtr p = ReceivedPacket(*m.pdu);
    // Once the delete is written the store holds the only copy: it must be on
    // disk first. A store that cannot write leaves the message on the SIM.
    const RecordId id = store.Append(*p);
    if (!store.Flush()) {
      store.Acknowledge(id);
      return;
    }
    // A refused delete leaves the message on the SIM, to be read again: taken now,
    // it would come twice. Once the delete is sent and no refusal comes, the
    // message may be gone from the SIM, so it is kept.
    const ModemResult deleted = Exchange("AT+CMGD=" + m.index + "\r", limits_.remove).result;
    if (deleted == ModemResult::Error) {
      store.Acknowledge(id);
      continue;
    }
    {
      std::lock_guard guard(state_.QueueLock);
      state_.IncomingQueue.push_back({id, std::move(p)});
    }
    if (deleted != ModemResult::Ok) {
      Failed(deleted);  // its late answer must meet no other command
      return;
    }
  }
  leftOnSim_ = std::move(left);  // a message gone from the SIM is news again should it come back
}
