#pragma once
// The modem worker: a thread per modem port that sends the packets of
// OutgoingQueue as SMS, one (or one concatenated series) per packet, and, with
// CheckMail, reads the messages stored on the SIM into IncomingQueue when nothing
// waits to be sent or a message was not sent.
//
// The modem is checked without holding QueueLock, so clients hand in and fetch
// whatever the modem does: the worker alone takes from the outgoing queue, so
// the packet at its head after the check is the one that waited before it. A
// message that is sent is acknowledged to the store, and the acknowledgement is
// on disk before the next message goes, so that a crash sends again at most the
// message being sent when it came. A message that is not sent goes to the back
// of the queue (the store is told), and the worker rests
// as after a pass that sent nothing, so one message the modem always refuses
// neither runs the modem hot nor keeps the SIM from being read.
//
// It ends only on StopFlag. A failure of the port or the codec is shown once (not
// again until the modem answers anew), the packet being sent goes back to its
// queue, the port is closed and the worker tries again after its rest. Stop ends
// it at once, whatever it is waiting for, except for what the modem is let
// finish (about 10 s at the most: a part's confirmation, the delete of a message
// taken from the SIM), and joins it, so a caller that saves the queues afterwards
// saves everything it put back.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "server/modem/message_ref.h"
#include "server/modem/modem_dialogue.h"
#include "server/store/server_state.h"

class TDevaCustomComPort;

class ModemWorker {
 public:
  // The port has been opened on the caller's thread and does not open by itself
  // on use (AutoOpen off). The port and the state must outlive the worker;
  // registryFile holds the reference counter of concatenated messages.
  ModemWorker(TDevaCustomComPort& port, ServerState& state, bool checkMail, std::string registryFile,
              const ModemLimits& limits = {});
  ~ModemWorker();  // Stop
  ModemWorker(const ModemWorker&) = delete;
  ModemWorker& operator=(const ModemWorker&) = delete;

  void Start();
  // Sets StopFlag, cuts the worker's rest or wait short (its port is closed, once
  // what the modem is let finish is done) and joins its thread. Idempotent.
  void Stop();

  // The modem was found again under another port name: the worker opens that
  // one from its next open on.
  void UsePort(int comNumber) { dialogue_.UsePort(comNumber); }
  // The port the worker opens.
  int PortNumber() const { return dialogue_.PortNumber(); }
  // Since when the worker's port has failed to open at every try; none while it opens.
  std::optional<ModemDialogue::Clock::time_point> PortFailingSince() const { return dialogue_.PortFailingSince(); }

  // Passes of the worker's loop completed so far (each ends after its rests).
  std::size_t Passes() const { return passes_.load(); }

 private:
  void ModemThread();
  // One pass: the next packet sent, or the SIM read when none waits, or a rest.
  // `sending` holds the packet out of the queue while it is being sent.
  void Pass(QueuedPacket& sending);
  // A pass that sent nothing: the SIM read (with CheckMail), then a rest.
  void Idle();
  bool Ready();
  // A packet that was not sent: to the back of the queue after a failed attempt,
  // but back to its old place when the worker is stopping. The store is told.
  void PutBack(QueuedPacket p);
  void Recover(const std::exception_ptr& failure);
  // Sleeps, or less when the worker is stopped meanwhile.
  void Rest(std::chrono::milliseconds time);

  TDevaCustomComPort& port_;
  ServerState& state_;
  const bool checkMail_;
  MessageRefCounter messageRefs_;  // the worker's thread only
  ModemDialogue dialogue_;

  std::mutex restLock_;
  std::condition_variable restEnded_;
  bool failureShown_ = false;  // the worker's thread only
  std::atomic<std::size_t> passes_{0};
  std::thread thread_;
};
