#include "server/modem/modem_dialogue.h"

#include <algorithm>
#include <map>

#include "platform/ansi_case.h"
#include "platform/stderr_lines.h"
#include "serial/base/time_base.h"
#include "serial/port/com_port.h"
#include "server/modem/stored_messages.h"
#include "sms/tsms.h"

namespace {

constexpr char kCtrlZ = '\x1A';
constexpr char kEsc = '\x1B';

// More than a SIM holds: a message whose delete failed long ago and that is gone
// from the SIM since is forgotten in time.
constexpr std::size_t kMaxUndeleted = 256;

constexpr const char* kPartUnconfirmed =
    "the modem's confirmation of the part it was sending: its message stays queued and goes again "
    "at the next start, though the modem may have sent that part";
constexpr const char* kMessageUndeleted =
    "the delete of a message taken from the SIM: should it still be there, it comes to the clients "
    "again after the next start";

}  // namespace

ModemDialogue::ModemDialogue(TDevaCustomComPort& port, ServerState& state, const ModemLimits& limits)
    : port_(port), state_(state), limits_(limits), lines_(port, state.StopFlag) {}

ModemDialogue::Finishing::Finishing(ModemDialogue& dialogue, const char* unfinished) : dialogue_(dialogue) {
  std::lock_guard lock(dialogue_.finishLock_);
  if (dialogue_.Stopping()) return;
  dialogue_.unfinished_ = unfinished;
  begun_ = true;
}

ModemDialogue::Finishing::~Finishing() {
  if (!begun_) return;
  {
    std::lock_guard lock(dialogue_.finishLock_);
    dialogue_.unfinished_ = nullptr;
  }
  dialogue_.finished_.notify_all();
}

void ModemDialogue::CloseWhenFinished() {
  const char* unfinished = nullptr;
  {
    std::unique_lock lock(finishLock_);
    const auto grace = std::chrono::milliseconds(static_cast<std::int64_t>(limits_.finishOnStop) * kTickMs);
    if (!finished_.wait_for(lock, grace, [this] { return unfinished_ == nullptr; })) unfinished = unfinished_;
  }
  if (unfinished != nullptr)
    StderrPrintf("trelmsrv: the stop could not wait longer for %s\n", unfinished);
  ClosePort();
}

ModemReply ModemDialogue::Exchange(std::string_view command, int ticks, bool outlastsStop) {
  lines_.Command(command);
  return lines_.Await({.ticks = ticks, .outlastsStop = outlastsStop});
}

bool ModemDialogue::Failed(ModemResult result) {
  const bool portFailed = result == ModemResult::CutShort && !Stopping();
  if (port_.Open() && (result == ModemResult::NoAnswer || portFailed)) ClosePort();
  return false;
}

void ModemDialogue::Cancel() {
  if (!port_.Open()) return;
  // Its answer is awaited, whatever it is: a close right after it would drop
  // the ESC with the output not sent yet.
  Exchange(std::string_view(&kEsc, 1), limits_.reply);
}

void ModemDialogue::ClosePort() {
  std::lock_guard lock(openLock_);
  port_.SetOpen(false);
}

int ModemDialogue::PortNumber() const {
  if (const int wanted = wantedPort_.load(); wanted != 0) return wanted;
  std::lock_guard lock(openLock_);
  return port_.ComNumber();
}

std::optional<ModemDialogue::Clock::time_point> ModemDialogue::PortFailingSince() const {
  const Clock::rep since = failingSince_.load();
  if (since == 0) return std::nullopt;
  return Clock::time_point(Clock::duration(since));
}

bool ModemDialogue::OpenPort() {
  std::lock_guard lock(openLock_);
  if (Stopping()) return false;
  if (port_.Open()) return true;
  if (const int wanted = wantedPort_.exchange(0); wanted != 0 && wanted != port_.ComNumber())
    port_.SetComNumber(static_cast<std::uint16_t>(wanted));
  try {
    port_.SetOpen(true);
  } catch (const std::exception& e) {
    openReport_.Failed(port_.ComNumber(), e);
    Clock::rep none = 0;
    failingSince_.compare_exchange_strong(none, std::max<Clock::rep>(Clock::now().time_since_epoch().count(), 1));
    throw;
  }
  openReport_.Opened();
  failingSince_.store(0);
  lines_.Reset();  // what the line held before answers nothing asked now
  // A close still completing opens the port only once it is complete.
  return port_.Open();
}

bool ModemDialogue::ModemReady() {
  if (port_.ComNumber() == 0 && wantedPort_.load() == 0) return false;
  if (!OpenPort()) return false;
  // A modem waking up may miss one of the two "AT"s, or take noise before it
  // for a command it refuses: either answer OK will do.
  lines_.Command("AT\rAT\r");
  const ModemReply first = lines_.Await({.ticks = limits_.reply});
  if (first.result == ModemResult::NoAnswer) {
    // A modem left in PDU input (by an earlier run, say) takes every "AT" as PDU text.
    Cancel();
    return Failed(first.result);
  }
  if (first.result != ModemResult::Ok && first.result != ModemResult::Error) return Failed(first.result);
  // The other "AT"'s own answer, so that it meets no later command. A modem that
  // answers late gives it about as late again after the first; one that was
  // asleep gives none. So it is awaited about twice as long as the first took,
  // not the whole reply limit, in which a modem that dozes off soon would be
  // asleep again for the next command.
  const ModemResult second =
      lines_.Await({.ticks = std::min(limits_.reply, 2 * first.ticks + limits_.otherAt)}).result;
  if (second == ModemResult::Restarted || second == ModemResult::CutShort) return Failed(second);
  if (first.result != ModemResult::Ok && second != ModemResult::Ok) return Failed(second);
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
  if (Stopping()) return false;
  TSMS sms;
  sms.ParsePdu(pdu);
  lines_.Command("AT+CMGS=" + std::to_string(sms.tpduLen) + "\r");
  const ModemResult prompt = lines_.Await({.ticks = limits_.prompt, .prompt = true}).result;
  if (prompt != ModemResult::Prompt) {
    if (prompt != ModemResult::Error) Cancel();  // the prompt may yet come
    return Failed(prompt);
  }
  ModemReply answer;
  {
    const Finishing finishing(*this, kPartUnconfirmed);
    if (!finishing) {
      Cancel();  // the stop came at the prompt: the PDU is not given
      return false;
    }
    lines_.Write(pdu + kCtrlZ);
    answer = lines_.Await({.awaited = "+CMGS:", .ticks = limits_.sent, .outlastsStop = true});
  }
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
  const std::vector<ListedMessage> listed = ParseMessageListing(listing.lines);
  std::set<std::string> left;
  const auto say = [&](const std::string& said) {
    if (leftOnSim_.insert(said).second) StderrPrintf("trelmsrv: %s\n", said.c_str());
    left.insert(said);
  };
  std::vector<Taking> takings;
  std::map<std::string, std::size_t> seen;  // how often each PDU was listed so far
  std::size_t room = state_.QueueLimit - std::min(state_.QueueLimit, state_.IncomingQueue.Count());
  for (const ListedMessage& m : listed) {
    if (!m.pdu) {
      say("message " + m.shownIndex + " stays on the SIM: " + m.problem);
      continue;
    }
    std::string pdu = AnsiUpperCase(*m.pdu);
    // Two messages may be alike to the last octet: each taken one whose delete is
    // owed stands for one of them.
    const bool fresh = ++seen[pdu] > static_cast<std::size_t>(std::count(undeleted_.begin(), undeleted_.end(), pdu));
    if (fresh && room == 0) {
      say("the incoming queue holds " + std::to_string(state_.QueueLimit) +
          " messages, its limit; the SIM's messages stay there until clients fetch some");
      continue;
    }
    if (fresh) --room;
    takings.push_back({*m.index, std::move(pdu), fresh ? ReceivedPacket(*m.pdu) : nullptr});
  }
  leftOnSim_ = std::move(left);  // a message gone from the SIM is news again should it come back
  TakeAndDelete(std::move(takings));
}

void ModemDialogue::TakeAndDelete(std::vector<Taking> takings) {
  // A SIM that renumbers after a delete moves only the messages above it.
  std::sort(takings.begin(), takings.end(), [](const Taking& a, const Taking& b) { return a.index > b.index; });
  std::vector<QueuedPacket> taken;  // highest index first
  for (Taking& t : takings) {
    const Finishing finishing(*this, kMessageUndeleted);
    if (!finishing) break;  // the rest stay on the SIM for the next start
    if (t.packet) {
      // Once the delete is written the store holds the only copy: it must be on
      // disk first. A store that cannot write leaves the message on the SIM.
      MessageStore& store = state_.IncomingQueue.store();
      const RecordId id = store.Append(*t.packet);
      if (!store.Flush()) {
        store.Acknowledge(id);
        break;
      }
      taken.push_back({id, std::move(t.packet)});
      undeleted_.push_back(t.pdu);  // until its delete is confirmed
      while (undeleted_.size() > kMaxUndeleted) undeleted_.pop_front();
    }
    const ModemResult deleted =
        Exchange("AT+CMGD=" + std::to_string(t.index) + "\r", limits_.remove, true).result;
    if (deleted == ModemResult::Ok) {
      if (const auto owed = std::find(undeleted_.begin(), undeleted_.end(), t.pdu); owed != undeleted_.end())
        undeleted_.erase(owed);
      continue;
    }
    // A refused delete moved nothing: the ones below it go on. After any other
    // end the message may or may not be gone, and a late answer must meet no
    // other command.
    if (deleted != ModemResult::Error) {
      Failed(deleted);
      break;
    }
  }
  QueueReceived(std::move(taken));
}

void ModemDialogue::QueueReceived(std::vector<QueuedPacket> taken) {
  // In the order the SIM lists them, as they were read.
  std::lock_guard guard(state_.QueueLock);
  for (auto p = taken.rbegin(); p != taken.rend(); ++p) state_.IncomingQueue.push_back(std::move(*p));
}
