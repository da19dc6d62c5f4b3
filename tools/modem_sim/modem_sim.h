#pragma once
// A GSM modem on a pseudo-terminal: the simulator owns the master side and
// answers AT commands in PDU mode on a thread of its own; the server opens the
// slave side (DevicePath) as its serial port. Tests drive it in-process; the
// trelm-modem-sim program wraps it for the demo.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tools/modem_sim/at_modem.h"
#include "tools/modem_sim/deliver_pdu.h"

// What a wait's condition looks at, taken under the simulator's lock.
struct ModemSimView {
  const std::vector<std::string>& log;
  const std::vector<SimSend>& sends;
  const SimCard& sim;
};

class ModemSim {
 public:
  // Makes the pseudo-terminal (raw, so no line discipline touches the bytes).
  // Throws std::system_error when the system has none to give.
  ModemSim();
  ~ModemSim();  // Stop, then the pseudo-terminal is closed
  ModemSim(const ModemSim&) = delete;
  ModemSim& operator=(const ModemSim&) = delete;

  // The slave's path, for instance /dev/pts/7.
  const std::string& DevicePath() const { return devicePath_; }

  // Log entries go to sink (on the simulator's thread, under its lock) instead of
  // being kept, so that a long run does not pile them up. Set it before Start.
  void SetLogSink(std::function<void(const std::string&)> sink);

  // Answers from now on, on the simulator's own thread.
  void Start();
  // Ends that thread and waits for it. Idempotent.
  void Stop();

  // Stores a received message on the SIM as an SMS-DELIVER; its index, or 0 when
  // the SIM is full. Throws std::invalid_argument as BuildDeliverPdu does.
  int Store(const ReceivedSms& sms);
  // Stores a PDU as given, checked or not; its index, or 0 when the SIM is full.
  int StoreRawPdu(std::string hex);

  // The next `count` sends (-1: every send) are answered "+CMS ERROR: <error>".
  void FailSends(int count, int error = 500);
  // The next `count` sends (-1: every send) have "+CMTI" slipped in before their answer.
  void NoticeBeforeSends(int count);
  // A silent modem neither echoes nor answers; it still logs what it is given.
  void SetSilent(bool silent);

  // Habits of real modems, each off at zero or false:
  // every byte written on its own, `delay` after the one before;
  void SetByteDelay(std::chrono::milliseconds delay);
  // after `spell` with nothing heard (and at start), the first command line
  // goes unheard, as by a modem that was asleep;
  void SetDoze(std::chrono::milliseconds spell);
  // "RING" and "+CMTI" lines before every OK and inside listings;
  void SetUnsolicited(bool unsolicited);
  // AT+CMGF=0 answered ERROR.
  void RefusePduMode(bool refuse);

  std::vector<std::string> Log() const;  // empty while a sink takes the entries
  std::vector<SimSend> Sends() const;
  std::vector<StoredSms> Stored() const;

  // Waits until done holds, checking it at every change; false when `limit`
  // passes first.
  bool WaitFor(const std::function<bool(const ModemSimView&)>& done,
               std::chrono::milliseconds limit = std::chrono::seconds(60));

 private:
  void Run();
  void AddLog(std::string line);  // lock held
  // Writes what it can of pending without blocking (one byte when its time has
  // come, with a byte delay); false on a write error.
  bool Flush(std::string& pending);
  // How long poll may block before the next paced byte is due; -1: no limit.
  int PollTimeout(const std::string& pending) const;

  int master_ = -1;
  int slave_ = -1;  // kept open, so the master never sees a hang-up between the server's opens
  int wake_ = -1;   // eventfd that ends Run
  std::string devicePath_;

  mutable std::mutex lock_;
  std::condition_variable changed_;
  AtModem modem_;
  std::vector<std::string> log_;
  std::function<void(const std::string&)> sink_;
  std::chrono::milliseconds byteDelay_{0};
  std::chrono::milliseconds doze_{0};
  // Run's thread only:
  std::chrono::steady_clock::time_point nextByte_{};
  std::optional<std::chrono::steady_clock::time_point> lastHeard_;  // none: asleep at start
  std::thread thread_;
};
