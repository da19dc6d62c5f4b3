#pragma once
// The AT dialogue with the GSM modem in PDU mode over one serial port: the check
// run before every message and every poll of the SIM, one PDU sent, and the SIM's
// stored messages read into IncomingQueue. Runs on the modem worker's thread.
//
// Every exchange goes through one line reader, so each wait is met by its own
// command's answer, read as whole lines, and the modem's notices are skipped
// wherever they fall. Every wait blocks on the port's input; nothing polls.
#include <mutex>
#include <set>
#include <string>
#include <string_view>

#include "server/modem_lines.h"
#include "server/server_state.h"

class TDevaCustomComPort;

class ModemDialogue {
 public:
  // The port must not open by itself on use (AutoOpen off): only this dialogue
  // opens it, so that nothing opens it again once the worker is stopped.
  ModemDialogue(TDevaCustomComPort& port, ServerState& state);

  // Brings the modem into a known state: the port open (when it is not), "AT"
  // answered, echo off, numeric errors, PDU mode. False when the modem answers
  // neither "AT" with OK or does not take PDU mode.
  bool ModemReady();

  // Sends one built PDU with AT+CMGS; true once the modem confirms it with
  // "+CMGS:" and OK. False when no prompt comes, the modem answers an error, a
  // "+CMTI" notice comes before the confirmation, or the worker is stopping.
  // The answer after the PDU is awaited with no time limit.
  bool SendPdu(const std::string& pdu);

  // Lists the messages of the storage ("\"SM\"": the SIM) up to the listing's
  // final result, however slowly it comes, and takes each message whose PDU
  // line came whole: deleted from the modem, then appended to IncomingQueue.
  // One whose line is missing, cut or not hexadecimal stays on the SIM, is said
  // once on standard error and is read again at a later pass. A stop leaves the
  // messages not reached yet on the SIM.
  void ReadStoredMessages(std::string_view storage);

  // Closes the port. Once StopFlag is set, the dialogue opens it no more, so a
  // close from another thread then ends the dialogue for good: the wait in
  // progress ends at once and every later step fails at once.
  void ClosePort();

 private:
  bool Stopping() const { return state_.StopFlag.load(); }
  // One command and its final result, awaited for `ticks`.
  ModemReply Exchange(std::string_view command, int ticks);
  // A failed step: a line that hung up is closed, so that the next check opens
  // the port afresh. False.
  bool Failed();

  TDevaCustomComPort& port_;
  ServerState& state_;
  ModemLines lines_;
  std::mutex openLock_;  // orders the dialogue's opens against a close from another thread
  // What was said of the messages left on the SIM at the last read, so that it
  // is said once.
  std::set<std::string> leftOnSim_;
};
