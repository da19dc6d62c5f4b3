#pragma once
// The AT dialogue with the GSM modem in PDU mode over one serial port: the check
// run before every message and every poll of the SIM, one PDU sent, and the SIM's
// stored messages read into IncomingQueue. Runs on the modem worker's thread.
//
// Every exchange goes through one line reader, so each wait is met by its own
// command's answer, read as whole lines, and the modem's noise is skipped
// wherever it falls. Every wait blocks on the port's input and is bounded in
// total. A command whose answer did not come in its time ends the pass with the
// port closed, so that a late answer is never taken for another command's: the
// next check opens the port afresh.
#include <mutex>
#include <set>
#include <string>
#include <string_view>

#include "server/modem/modem_limits.h"
#include "server/modem/modem_lines.h"
#include "server/modem/port_open_report.h"
#include "server/store/server_state.h"

class TDevaCustomComPort;

class ModemDialogue {
 public:
  // The port must not open by itself on use (AutoOpen off): only this dialogue
  // opens it, so that nothing opens it again once the worker is stopped.
  ModemDialogue(TDevaCustomComPort& port, ServerState& state, const ModemLimits& limits = {});

  // Brings the modem into a known state: the port open (when it is not), "AT"
  // answered, echo off, numeric errors, PDU mode. False when the modem answers
  // neither "AT" with OK, does not take PDU mode, or leaves a command unanswered.
  bool ModemReady();

  // Sends one built PDU with AT+CMGS; true once the modem confirms it with a
  // "+CMGS:" line, whatever notices come around it and whatever ends the answer
  // after it. False when no prompt comes, the modem answers an error, or the
  // answer ends without the confirmation. An attempt that ends while the modem
  // may still take PDU input is cancelled with ESC.
  bool SendPdu(const std::string& pdu);

  // Lists the messages of the storage ("\"SM\"": the SIM) up to the listing's
  // final result and takes each received message whose PDU line came whole: on
  // disk in the incoming queue's store, deleted from the modem, then queued. One
  // whose line is missing, cut or not hexadecimal stays on the SIM and is read
  // again at a later pass; one that is not a received message (stored to be
  // sent, a status report) stays there for good. Either is said once on standard
  // error. A stop leaves the messages not reached yet on the SIM.
  void ReadStoredMessages(std::string_view storage);

  // Closes the port. Once StopFlag is set, the dialogue opens it no more, so a
  // close from another thread then ends the dialogue for good: the wait in
  // progress ends at once and every later step fails at once.
  void ClosePort();

 private:
  bool Stopping() const { return state_.StopFlag.load(); }
  // One command and its final result, awaited for `ticks`.
  ModemReply Exchange(std::string_view command, int ticks);
  // A step that did not end as it should: an answer that did not come in its
  // time, or a line that hung up, closes the port, so that the next check opens
  // it afresh. False.
  bool Failed(ModemResult result);
  // Cancels the PDU input a modem may still be in, and awaits its answer.
  void Cancel();
  // Opens the port; a failure is said on standard error and thrown on.
  void OpenPort();

  TDevaCustomComPort& port_;
  ServerState& state_;
  const ModemLimits limits_;
  ModemLines lines_;
  std::mutex openLock_;  // orders the dialogue's opens against a close from another thread
  // What was said of the messages left on the SIM at the last read, so that it
  // is said once.
  std::set<std::string> leftOnSim_;
  PortOpenReport openReport_;
};
