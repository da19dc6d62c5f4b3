#pragma once
// The modem's side of the AT dialogue in PDU mode: bytes from the computer in,
// the modem's answer bytes out. No I/O and no locking here; ModemSim feeds it
// from the pseudo-terminal under its own lock.
#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tools/modem_sim/sim_card.h"
#include "tools/modem_sim/submit_pdu.h"

// One PDU given with AT+CMGS and ended by Ctrl-Z, as the modem saw it.
struct SimSend {
  std::string pdu;
  int length = 0;  // the AT+CMGS argument
  DecodedSubmit decoded;
  std::string result;  // the answer: "+CMGS: 3", "+CMS ERROR: 500", ...
};

// Answers the modem gives in place of the usual ones. Counts say how many of the
// next sends are affected; -1 means every send.
struct SimFaults {
  int cmsErrorSends = 0;  // answered "+CMS ERROR: <cmsError>"
  int cmsError = 500;     // unknown error
  int noticeSends = 0;    // "+CMTI" slipped in before the answer
  bool silent = false;    // no echo and no answer at all
  bool refusePduMode = false;  // AT+CMGF=0 answered ERROR
  // "RING" and "+CMTI" by turns before every OK, and "+CMTI" between each
  // listed message's header and its PDU.
  bool unsolicited = false;
  // Vendor status lines ("^RSSI:12", "^BOOT:...", "^DSFLOWRPT:...") by turns at
  // every point of an answer: before each of its lines, after the prompt.
  bool vendorLines = false;
  // A noise byte (NUL or 0xFF, by turns) before each line of an answer and glued
  // to its final result; the prompt comes as "\r\n\x00> ".
  bool noiseBytes = false;
  // The answer to AT+CMGD comes this late (the message is deleted at once).
  std::chrono::milliseconds lateDeletes{0};
  // Listed PDUs in lowercase hexadecimal.
  bool lowercaseListing = false;
  // Every answer (the prompt, a final result with the lines before it) comes
  // this long after the answer before it, as from a modem that takes its time
  // over each command.
  std::chrono::milliseconds answerDelay{0};
  // "COMMAND NOT SUPPORT", a maker's word, in place of every ERROR, and for
  // AT+CMEE, which this modem does not have.
  bool notSupportWord = false;
  // Messages delivered straight to the computer (another program set the modem
  // so): a "+CMT" notice with its PDU line, by turns a "+CDS" status report with
  // its own, before every send's answer and after each listed message's PDU,
  // and, in the first listing, between the first message's header and its PDU.
  bool directDelivery = false;
};

// Bytes the modem writes, `after` the bytes before them have gone.
struct SimOutput {
  std::chrono::milliseconds after{0};
  std::string bytes;
};

// Control characters written as \r, \n or \xNN, so that one log entry stays one line.
std::string VisibleText(std::string_view s);

class AtModem {
 public:
  using LogFn = std::function<void(std::string line)>;
  explicit AtModem(LogFn log) : log_(std::move(log)) {}

  // Takes bytes the computer wrote; returns what the modem writes back, in order.
  std::vector<SimOutput> Receive(std::string_view bytes);

  SimCard& Sim() { return sim_; }
  const SimCard& Sim() const { return sim_; }
  SimFaults& Faults() { return faults_; }
  // The next command line goes unheard (no echo, no answer), as by a modem
  // that was asleep.
  void Doze() { dozing_ = true; }
  const std::vector<SimSend>& Sends() const { return sends_; }

 private:
  void CommandByte(char c, std::string& out);
  void PduByte(char c, std::string& out);
  void Execute(const std::string& line, std::string& out);
  void FinishPdu(std::string& out);
  // Information lines (may be none), then the final result code.
  void Answer(std::string& out, const std::vector<std::string>& lines, const std::string& result);
  // "RING" or "+CMTI" by turns, when the modem is given to unsolicited lines.
  void NoticeBeforeOk(std::string& out);
  // A vendor's status line, when the modem is given to them.
  void VendorLine(std::string& out);
  // A notice and its PDU line, "+CMT" and "+CDS" by turns, for a modem that
  // delivers messages straight to the computer.
  std::pair<std::string, std::string> NextPduNotice();
  // A "+CMT" notice and its message's PDU, `length` octets after the service
  // centre's part when that is not 0.
  std::pair<std::string, std::string> DirectMessage(int length);
  // What a command line or a PDU brought: now, or late (a late delete, the
  // answer delay), with what follows it after it.
  void Respond(std::string& out, std::string answer);
  // A line of an answer as written: framed by CR LF, a noise byte before it
  // when the modem is given to them.
  void Line(std::string& out, const std::string& line, bool final);
  void List(int stat, std::string& out);

  LogFn log_;
  SimCard sim_;
  SimFaults faults_;
  std::vector<SimSend> sends_;
  bool echo_ = true;
  bool dozing_ = false;
  bool ringNext_ = true;  // of the unsolicited lines before an OK
  std::string line_;
  bool lineTooLong_ = false;
  bool inPdu_ = false;  // between the "> " prompt and Ctrl-Z or ESC
  int pduLength_ = 0;
  std::string pdu_;
  bool pduTooLong_ = false;
  int nextReference_ = 1;
  int vendorNext_ = 0;      // of the vendor lines
  bool cmtNext_ = true;     // of the notices with a PDU
  bool listedWithNotice_ = false;  // a listing had a notice between a header and its PDU
  bool noiseNul_ = true;    // of the noise bytes
  std::vector<SimOutput> held_;  // Receive's output before the part in progress
  std::chrono::milliseconds late_{0};  // the command just done is answered this late
};
