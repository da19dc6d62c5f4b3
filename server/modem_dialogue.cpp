#include "server/modem_dialogue.h"

#include <cstdio>

#include "serial/port/com_port.h"
#include "server/stored_messages.h"
#include "sms/tsms.h"

namespace {

constexpr int kReplyTicks = 100;    // about 5.5 s
constexpr int kPromptTicks = 1000;  // about 55 s
constexpr char kCtrlZ = '\x1A';

}  // namespace

ModemDialogue::ModemDialogue(TDevaCustomComPort& port, ServerState& state)
    : port_(port), state_(state), lines_(port, state.StopFlag) {}

ModemReply ModemDialogue::Exchange(std::string_view command, int ticks) {
  lines_.Command(command);
  return lines_.Await("", ticks);
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
    if (!port_.Open()) {
      port_.SetOpen(true);
      lines_.Reset();
    }
  }
  // A modem waking up may miss the first "AT", or take noise before it for a
  // command it refuses: either answer OK will do.
  lines_.Command("AT\rAT\r", 2);
  ModemReply at = lines_.Await("", kReplyTicks);
  if (at.result == ModemResult::Error) at = lines_.Await("", kReplyTicks);
  if (at.result != ModemResult::Ok) return Failed();
  Exchange("ATE0\r", kReplyTicks);       // echo off; the result does not matter
  Exchange("AT+CMEE=1\r", kReplyTicks);  // errors as numbers; nor does this one
  return Exchange("AT+CMGF=0\r", kReplyTicks).result == ModemResult::Ok || Failed();  // PDU mode
}

bool ModemDialogue::SendPdu(const std::string& pdu) {
  TSMS sms;
  sms.ParsePdu(pdu);
  lines_.Command("AT+CMGS=" + std::to_string(sms.tpduLen) + "\r");
  if (lines_.Await("", kPromptTicks, true).result != ModemResult::Prompt) return Failed();
  lines_.Write(pdu + kCtrlZ);
  const ModemReply answer = lines_.Await("+CMGS:", ModemLines::kNoLimit);
  if (answer.result == ModemResult::CutShort) return Failed();
  // A new-message notice before the confirmation ends the attempt as a failure;
  // the answer is read to its end all the same.
  return answer.result == ModemResult::Ok && !answer.noticeFirst && !answer.lines.empty() &&
         answer.lines.back().starts_with("+CMGS:");
}

void ModemDialogue::ReadStoredMessages(std::string_view storage) {
  for (const std::string& command : {"AT+CPMS=" + std::string(storage) + "\r", std::string("AT+CMGF=0\r")}) {
    if (Exchange(command, kReplyTicks).result != ModemResult::Ok) {
      Failed();
      return;
    }
  }
  lines_.Flush();
  port_.FlushOutBuffer();
  lines_.Command("AT+CMGL=4\r");  // every message, in PDU mode
  const ModemReply listing = lines_.Await(kListingHeader, ModemLines::kNoLimit);
  // A modem that cannot list now (a busy SIM) answers an error, and nothing is read this time.
  if (listing.result != ModemResult::Ok) {
    if (listing.result == ModemResult::CutShort) Failed();
    return;
  }
  std::set<std::string> left;
  for (const ListedMessage& m : ParseMessageListing(listing.lines)) {
    if (Stopping()) return;  // the rest stay on the SIM for the next start
    if (!m.pdu) {
      const std::string said = "message " + m.index + " stays on the SIM: " + m.problem;
      if (!leftOnSim_.contains(said)) std::fprintf(stderr, "trelmsrv: %s; it is read again later\n", said.c_str());
      left.insert(said);
      continue;
    }
    PacketPtr p = ReceivedPacket(*m.pdu);
    // A refused delete leaves the message on the SIM, to be read again: taken now,
    // it would come twice. Once the delete is sent and no refusal comes, the
    // message may be gone from the SIM, so it is kept.
    if (Exchange("AT+CMGD=" + m.index + "\r", kReplyTicks).result == ModemResult::Error) continue;
    std::lock_guard guard(state_.QueueLock);
    state_.IncomingQueue.push_back(std::move(p));
  }
  leftOnSim_ = std::move(left);
}
