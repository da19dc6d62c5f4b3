#pragma once
// The AT dialogue with the GSM modem in PDU mode over one serial port: the check
// run before every message and every poll of the SIM, one PDU sent, and the SIM's
// stored messages read into IncomingQueue. Runs on the modem worker's thread.
//
// Every exchange goes through one line reader, and every command's own answer
// is awaited before the next command is written, whatever the modem's pace
// within the limits: so each wait is met by its own command's answer, read as
// whole lines, and the modem's noise is skipped wherever it falls. Every wait
// blocks on the port's input and is bounded in total. A command whose answer
// did not come in its time, or a port that failed, ends the pass with the port
// closed, so that a late answer is never taken for another command's and a
// failed port is never used again: the next check opens the port afresh.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "server/modem/modem_limits.h"
#include "server/modem/modem_lines.h"
#include "server/modem/port_open_report.h"
#include "server/store/server_state.h"

class TDevaCustomComPort;

class ModemDialogue {
 public:
  using Clock = std::chrono::steady_clock;

  // The port must not open by itself on use (AutoOpen off): only this dialogue
  // opens it, so that nothing opens it again once the worker is stopped.
  ModemDialogue(TDevaCustomComPort& port, ServerState& state, const ModemLimits& limits = {});

  // Brings the modem into a known state: the port open (when it is not), "AT"
  // answered, echo off, numeric errors, PDU mode. False when the modem answers
  // neither "AT" with OK, does not take PDU mode, leaves a command unanswered or
  // starts afresh meanwhile.
  bool ModemReady();

  // Sends one built PDU with AT+CMGS; true once the modem confirms it with a
  // "+CMGS:" line, whatever notices come around it and whatever ends the answer
  // after it. False when no prompt comes, the modem answers an error, starts
  // afresh, or the answer ends without the confirmation. An attempt that ends
  // while the modem may still take PDU input is cancelled with ESC. Once the
  // modem has the PDU, a stop lets its confirmation come (see CloseWhenFinished);
  // once the worker stops, no part begins.
  bool SendPdu(const std::string& pdu);

  // Lists the messages of the storage ("\"SM\"": the SIM) up to the listing's
  // final result and takes each received message whose PDU line came whole,
  // highest index first, so that a SIM that renumbers its messages after a
  // delete moves none that is still to be deleted: on disk in the incoming
  // queue's store, then deleted from the modem. Those taken join IncomingQueue
  // in the order the SIM lists them. A message whose delete was not confirmed is
  // deleted again at the next read, never queued twice. One whose line is
  // missing, cut or not hexadecimal stays on the SIM and is read again at a
  // later pass; one that is not a received message (stored to be sent, a status
  // report) stays there for good; so do those the incoming queue has no room
  // for, or that its store could not write. Each is said once on standard
  // error. A stop lets the delete of the message being taken finish and leaves
  // the messages not reached yet on the SIM.
  void ReadStoredMessages(std::string_view storage);

  // Closes the port. Once StopFlag is set, the dialogue opens it no more, so a
  // close from another thread then ends the dialogue for good: the wait in
  // progress ends at once and every later step fails at once.
  void ClosePort();

  // For the stop, on another thread, with StopFlag set: closes the port once
  // what the modem must be let finish is done (a part whose PDU it has taken
  // awaits its confirmation; a message taken from the SIM is being deleted), or
  // after limits.finishOnStop at the most, and then says on standard error what
  // could not be finished.
  void CloseWhenFinished();

  // The port to open from the next open on (0: the one it has); the modem was
  // found again under another name.
  void UsePort(int comNumber) { wantedPort_.store(comNumber); }
  // The port the dialogue opens (or the one it is told to open next).
  int PortNumber() const;
  // Since when the port has failed to open at every try; none while it opens.
  std::optional<Clock::time_point> PortFailingSince() const;

 private:
  // A step the stop lets finish. It begins only while the worker is not
  // stopping (false then); while it lasts, CloseWhenFinished waits for it.
  class Finishing {
   public:
    Finishing(ModemDialogue& dialogue, const char* unfinished);
    ~Finishing();
    Finishing(const Finishing&) = delete;
    Finishing& operator=(const Finishing&) = delete;
    explicit operator bool() const { return begun_; }

   private:
    ModemDialogue& dialogue_;
    bool begun_ = false;
  };

  bool Stopping() const { return state_.StopFlag.load(); }
  // Opens the port when it is closed, on the port it is told to use; false
  // when the worker stops or a close still completing keeps it closed. A
  // failure is said on standard error (once for each cause) and thrown on.
  bool OpenPort();
  // One command and its final result, awaited for `ticks`.
  ModemReply Exchange(std::string_view command, int ticks, bool outlastsStop = false);
  // A step that did not end as it should: an answer that did not come in its
  // time, or a port that closed or hung up under the dialogue, closes the port,
  // so that the next check opens it afresh. False.
  bool Failed(ModemResult result);
  // Cancels the PDU input a modem may still be in, and awaits its answer.
  void Cancel();
  // A message of the listing to delete, and to take first unless it was taken
  // at an earlier read.
  struct Taking {
    std::size_t index;
    std::string pdu;    // in upper case
    PacketPtr packet;   // none: taken before, only its delete is owed
  };
  // Takes and deletes them, highest index first, each on disk before its delete;
  // stops at the first delete whose answer did not come.
  void TakeAndDelete(std::vector<Taking> takings);
  // The messages taken, highest index first, join the incoming queue in the
  // order the SIM lists them.
  void QueueReceived(std::vector<QueuedPacket> taken);

  TDevaCustomComPort& port_;
  ServerState& state_;
  const ModemLimits limits_;
  ModemLines lines_;
  mutable std::mutex openLock_;  // orders the dialogue's opens against a close from another thread
  std::atomic<int> wantedPort_{0};
  std::atomic<Clock::rep> failingSince_{0};  // 0: the last open succeeded

  std::mutex finishLock_;
  std::condition_variable finished_;
  const char* unfinished_ = nullptr;  // what the step running now leaves undone if it is cut short

  // What was said of the messages left on the SIM at the last read, so that it
  // is said once.
  std::set<std::string> leftOnSim_;
  // The PDUs (in upper case) of messages taken from the SIM whose delete was
  // not confirmed, oldest first, one for each: listed again, they are deleted,
  // not taken.
  std::deque<std::string> undeleted_;
  PortOpenReport openReport_;
};
