// trelm-modem-sim: a GSM modem on a pseudo-terminal for the demo and for trying
// the server by hand. See the README's section on the simulator.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>
#include <limits.h>
#include <pthread.h>
#include <string>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>
#include <vector>

#include "tools/modem_sim/message_lines.h"
#include "tools/modem_sim/modem_sim.h"
#include "tools/modem_sim/poll_log_filter.h"

namespace {

constexpr const char* kUsage =
    "usage: trelm-modem-sim --link PATH [options]\n"
    "  --link PATH          make PATH a symbolic link to the modem's terminal\n"
    "  --log FILE           append the log to FILE as well as to standard output\n"
    "  --message LINE       store a received message: SENDER;TIME;TEXT (TIME like\n"
    "                       2026-03-12 14:05:23, empty for now) or pdu;HEX\n"
    "  --messages FILE      store the messages of FILE, one such line each\n"
    "  --cms-error N        answer sends with +CMS ERROR: N\n"
    "  --cmti               slip +CMTI: \"SM\",<index> in before the answer to a send\n"
    "  --times K            --cms-error and --cmti affect only the next K sends\n"
    "  --silent             neither echo nor answer anything\n"
    "  --byte-delay MS      write answers a byte at a time, MS milliseconds apart\n"
    "  --doze MS            after MS milliseconds with nothing heard (and at start),\n"
    "                       do not hear the next command\n"
    "  --unsolicited        RING and +CMTI lines before every OK and in listings\n"
    "  --no-pdu-mode        answer AT+CMGF=0 with ERROR\n"
    "  --vendor-lines       vendor status lines (^RSSI, ^BOOT, ^DSFLOWRPT) at every\n"
    "                       point of an answer\n"
    "  --noise              NUL and 0xFF bytes before the lines of answers and glued\n"
    "                       to them\n"
    "  --chatter MS         a signal report ^RSSI:n every MS milliseconds\n"
    "  --stray-ok MS        an OK of no command after MS milliseconds with nothing heard\n"
    "  --late-delete MS     answer AT+CMGD MS milliseconds late\n"
    "  --lowercase          list PDUs in lowercase hexadecimal\n"
    "  --not-received       store two outgoing messages and a status report on the SIM\n"
    "  --answer-delay MS    give every answer MS milliseconds after the one before\n"
    "  --not-support        COMMAND NOT SUPPORT in place of ERROR, and no AT+CMEE\n"
    "  --direct-delivery    +CMT and +CDS notices with their PDUs before send answers\n"
    "                       and among listed messages\n"
    "  --renumber           move the messages above a deleted one down a slot\n";

struct Options {
  std::string link;
  std::string logFile;
  std::vector<MessageLine> messages;
  int cmsError = 0;
  bool notice = false;
  int times = -1;
  bool silent = false;
  int byteDelay = 0;
  int doze = 0;
  bool unsolicited = false;
  bool noPduMode = false;
  bool vendorLines = false;
  bool noise = false;
  int chatter = 0;
  int strayOk = 0;
  int lateDelete = 0;
  bool lowercase = false;
  bool notReceived = false;
  int answerDelay = 0;
  bool notSupport = false;
  bool directDelivery = false;
  bool renumber = false;
};

int PositiveNumber(const std::string& text, const char* option) {
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || value < 1 || value > 65535)
    throw std::invalid_argument(std::string(option) + " takes a number from 1 to 65535");
  return static_cast<int>(value);
}

Options ParseOptions(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const auto value = [&]() -> std::string {
      if (i + 1 >= argc) throw std::invalid_argument(arg + " needs a value");
      return argv[++i];
    };
    if (arg == "--link") o.link = value();
    else if (arg == "--log") o.logFile = value();
    else if (arg == "--message") o.messages.push_back(ParseMessageLine(value()));
    else if (arg == "--messages") {
      for (auto& m : ReadMessageLines(value())) o.messages.push_back(std::move(m));
    } else if (arg == "--cms-error") o.cmsError = PositiveNumber(value(), "--cms-error");
    else if (arg == "--cmti") o.notice = true;
    else if (arg == "--times") o.times = PositiveNumber(value(), "--times");
    else if (arg == "--silent") o.silent = true;
    else if (arg == "--byte-delay") o.byteDelay = PositiveNumber(value(), "--byte-delay");
    else if (arg == "--doze") o.doze = PositiveNumber(value(), "--doze");
    else if (arg == "--unsolicited") o.unsolicited = true;
    else if (arg == "--no-pdu-mode") o.noPduMode = true;
    else if (arg == "--vendor-lines") o.vendorLines = true;
    else if (arg == "--noise") o.noise = true;
    else if (arg == "--chatter") o.chatter = PositiveNumber(value(), "--chatter");
    else if (arg == "--stray-ok") o.strayOk = PositiveNumber(value(), "--stray-ok");
    else if (arg == "--late-delete") o.lateDelete = PositiveNumber(value(), "--late-delete");
    else if (arg == "--lowercase") o.lowercase = true;
    else if (arg == "--not-received") o.notReceived = true;
    else if (arg == "--answer-delay") o.answerDelay = PositiveNumber(value(), "--answer-delay");
    else if (arg == "--not-support") o.notSupport = true;
    else if (arg == "--direct-delivery") o.directDelivery = true;
    else if (arg == "--renumber") o.renumber = true;
    else throw std::invalid_argument("unknown option " + arg);
  }
  if (o.link.empty()) throw std::invalid_argument("--link is required");
  return o;
}

std::string Clock() {
  timeval now{};
  ::gettimeofday(&now, nullptr);
  std::tm t{};
  localtime_r(&now.tv_sec, &t);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%03d", t.tm_hour, t.tm_min, t.tm_sec,
                static_cast<int>(now.tv_usec / 1000));
  return buf;
}

// Replaces a symbolic link left by an earlier run, never a file of another kind.
void MakeLink(const std::string& target, const std::string& link) {
  struct stat st {};
  if (::lstat(link.c_str(), &st) == 0) {
    if (!S_ISLNK(st.st_mode)) throw std::runtime_error(link + " exists and is not a symbolic link");
    ::unlink(link.c_str());
  }
  if (::symlink(target.c_str(), link.c_str()) != 0) throw std::runtime_error("cannot make the link " + link);
}

// Removes the link only while it still leads to this run's terminal.
void RemoveLink(const std::string& target, const std::string& link) {
  char buf[PATH_MAX];
  const ssize_t n = ::readlink(link.c_str(), buf, sizeof buf);
  if (n >= 0 && std::string(buf, static_cast<std::size_t>(n)) == target) ::unlink(link.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  try {
    options = ParseOptions(argc, argv);
  } catch (const std::exception& e) {
    std::cerr << "trelm-modem-sim: " << e.what() << "\n" << kUsage;
    return 2;
  }

  // The signals that end the program are taken by sigwait below, never by a
  // handler running on some thread.
  sigset_t endSignals;
  sigemptyset(&endSignals);
  for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&endSignals, s);
  pthread_sigmask(SIG_BLOCK, &endSignals, nullptr);

  std::ofstream logFile;
  if (!options.logFile.empty()) {
    logFile.open(options.logFile, std::ios::app);
    if (!logFile) {
      std::cerr << "trelm-modem-sim: cannot write " << options.logFile << "\n";
      return 1;
    }
  }

  PollLogFilter shown;
  const auto write = [&](const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
      std::cout << line << '\n';
      if (logFile) logFile << line << '\n';
    }
    std::cout << std::flush;
    if (logFile) logFile << std::flush;
  };
  try {
    ModemSim sim;
    // On the simulator's thread; the filter is the main thread's again once it has ended.
    sim.SetLogSink([&](const std::string& entry) { write(shown.Take(Clock(), entry)); });
    for (const MessageLine& m : options.messages) {
      if (m.raw) sim.StoreRawPdu(m.pdu);
      else sim.Store(m.sms);
    }
    if (options.cmsError != 0) sim.FailSends(options.times, options.cmsError);
    if (options.notice) sim.NoticeBeforeSends(options.times);
    sim.SetSilent(options.silent);
    sim.SetByteDelay(std::chrono::milliseconds(options.byteDelay));
    sim.SetDoze(std::chrono::milliseconds(options.doze));
    sim.SetUnsolicited(options.unsolicited);
    sim.RefusePduMode(options.noPduMode);
    sim.SetVendorLines(options.vendorLines);
    sim.SetNoiseBytes(options.noise);
    sim.SetChatter(std::chrono::milliseconds(options.chatter));
    sim.SetStrayOk(std::chrono::milliseconds(options.strayOk));
    sim.SetLateDeletes(std::chrono::milliseconds(options.lateDelete));
    sim.SetLowercaseListing(options.lowercase);
    if (options.notReceived) sim.StoreNotReceived();
    sim.SetAnswerDelay(std::chrono::milliseconds(options.answerDelay));
    sim.SetNotSupportWord(options.notSupport);
    sim.SetDirectDelivery(options.directDelivery);
    sim.SetRenumbering(options.renumber);

    MakeLink(sim.DevicePath(), options.link);
    std::cout << Clock() << " modem on " << sim.DevicePath() << ", linked as " << options.link << std::endl;
    sim.Start();
    int signal = 0;
    sigwait(&endSignals, &signal);
    sim.Stop();
    write(shown.Finish());
    RemoveLink(sim.DevicePath(), options.link);
    std::cout << Clock() << " ended by signal " << signal << std::endl;
  } catch (const std::exception& e) {
    std::cerr << "trelm-modem-sim: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
