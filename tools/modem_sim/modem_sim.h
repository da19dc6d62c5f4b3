#pragma once
// A GSM modem on a pseudo-terminal: the simulator owns the master side and
// answers AT commands in PDU mode on a thread of its own; the server opens the
// slave side (DevicePath) as its serial port. Tests drive it in-process; the
// trelm-modem-sim program wraps it for the demo.
#include <chrono>
#include <condition_variable>
#include <deque>
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
  // Stores a PDU as given, checked or not, with its status (0 received unread,
  // 1 read, 2 stored unsent, 3 stored sent); its index, or 0 when the SIM is full.
  int StoreRawPdu(std::string hex, int stat = 0);
  // Stores what is not a received message: an outgoing message unsent (status
  // 2), one sent (status 3) and a status report (status 0). Their indexes.
  std::vector<int> StoreNotReceived();

  // Writes `bytes` to the computer at once, as a modem says what nobody asked.
  void Say(std::string bytes);

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
  // AT+CMGF=0 answered ERROR;
  void RefusePduMode(bool refuse);
  // vendor status lines at every point of an answer;
  void SetVendorLines(bool on);
  // noise bytes (NUL, 0xFF) before the lines of an answer and glued to them;
  void SetNoiseBytes(bool on);
  // the answer to a delete `late` after the delete;
  void SetLateDeletes(std::chrono::milliseconds late);
  // listings in lowercase hexadecimal;
  void SetLowercaseListing(bool on);
  // every answer `delay` after the answer before it;
  void SetAnswerDelay(std::chrono::milliseconds delay);
  // "COMMAND NOT SUPPORT" for every ERROR, and no AT+CMEE;
  void SetNotSupportWord(bool on);
  // "+CMT" and "+CDS" notices with their PDU lines before send answers and
  // among listed messages, one of them between a header and its PDU;
  void SetDirectDelivery(bool on);
  // the messages above a deleted one move down a slot;
  void SetRenumbering(bool on);
  // a signal report ("^RSSI:n") every `every`, whatever else goes on;
  void SetChatter(std::chrono::milliseconds every);
  // an "OK" of nobody's command once `after` passed with nothing heard.
  void SetStrayOk(std::chrono::milliseconds after);

  std::vector<std::string> Log() const;  // empty while a sink takes the entries
  std::vector<SimSend> Sends() const;
  std::vector<StoredSms> Stored() const;

  // Waits until done holds, checking it at every change; false when `limit`
  // passes first.
  bool WaitFor(const std::function<bool(const ModemSimView&)>& done,
               std::chrono::milliseconds limit = std::chrono::seconds(60));

 private:
  using Clock = std::chrono::steady_clock;
  void Run();
  void AddLog(std::string line);  // lock held
  // Queues bytes to go `after` those queued before them have gone, or after
  // now when none wait (lock held).
  void Queue(std::string bytes, std::chrono::milliseconds after = {});
  // The chatter and the stray OK, when their time has come (lock held).
  void SayOfItsOwnAccord(Clock::time_point now);
  // Writes what it can of what is queued and due without blocking (one byte
  // when its time has come, with a byte delay); false on a write error (lock held).
  bool Flush();
  // The next bytes may be written now (lock held).
  bool Due() const;
  // How long poll may block before something is due; -1: no limit (lock held).
  int PollTimeout() const;

  int master_ = -1;
  int slave_ = -1;  // kept open, so the master never sees a hang-up between the server's opens
  int wake_ = -1;   // eventfd that ends Run
  int kick_ = -1;   // eventfd that tells Run something was queued
  std::string devicePath_;

  mutable std::mutex lock_;
  std::condition_variable changed_;
  AtModem modem_;
  std::vector<std::string> log_;
  std::function<void(const std::string&)> sink_;
  std::chrono::milliseconds byteDelay_{0};
  std::chrono::milliseconds doze_{0};
  std::chrono::milliseconds chatter_{0};
  std::chrono::milliseconds strayOk_{0};
  struct Pending {
    Clock::time_point due;
    std::string bytes;
  };
  std::deque<Pending> pending_;  // to be written, in order
  Clock::time_point nextByte_{};
  Clock::time_point nextChatter_{};
  int signal_ = 10;        // the signal the next report gives
  bool strayDone_ = false;  // the stray OK of this quiet spell was said
  std::optional<Clock::time_point> lastHeard_;  // none: asleep at start
  std::thread thread_;
};
