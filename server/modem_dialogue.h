#pragma once
// The AT dialogue with the GSM modem in PDU mode over one serial port: the check
// run before every message and every poll of the SIM, one PDU sent, and the SIM's
// stored messages read into IncomingQueue. Runs on the modem worker's thread.
//
// Every wait blocks on the port's input; nothing polls or sleeps.
#include <mutex>
#include <string>
#include <string_view>

#include "server/server_state.h"

class TDevaCustomComPort;

class ModemDialogue {
 public:
  // The port must not open by itself on use (AutoOpen off): only this dialogue
  // opens it, so that nothing opens it again once the worker is stopped.
  ModemDialogue(TDevaCustomComPort& port, ServerState& state);

  // Brings the modem into a known state: the port open (when it is not), "AT"
  // answered, echo off, numeric errors, PDU mode. False when the modem does not
  // answer the first "AT" or does not take PDU mode.
  bool ModemReady();

  // Sends one built PDU with AT+CMGS; true once the modem confirms it with
  // "+CMGS:". False when no prompt comes, the modem answers an error ("+CMS
  // ERROR:" or a plain ERROR), a "+CMTI" notice comes first, or the worker is
  // stopping. The confirmation is awaited with no time limit.
  bool SendPdu(const std::string& pdu);

  // Lists the messages of the storage ("\"SM\"": the SIM), deletes each from the
  // modem as its header is reached and appends each to IncomingQueue. The listing
  // is awaited with no time limit, up to its OK (an error reads nothing). A stop
  // leaves the messages not reached yet on the SIM.
  void ReadStoredMessages(std::string_view storage);

  // Closes the port. Once StopFlag is set, the dialogue opens it no more, so a
  // close from another thread then ends the dialogue for good: the wait in
  // progress ends at once and every later step fails at once.
  void ClosePort();

 private:
  bool Stopping() const { return state_.StopFlag.load(); }
  void Command(std::string_view command);
  // WaitForString for up to `ticks`, matching any letter case.
  bool Await(std::string_view text, int ticks);
  // Waits with no time limit for one of the texts separated by '|', each matched
  // exactly as written; its 1-based number, or 0 when the wait was cut short (the
  // worker stops, the port closed or hung up, the program ends).
  int AwaitAny(std::string_view texts);
  // A failed step: a line that hung up is closed, so that the next check opens
  // the port afresh. False.
  bool Failed();

  TDevaCustomComPort& port_;
  ServerState& state_;
  std::mutex openLock_;  // orders the dialogue's opens against a close from another thread
};
