#include "tools/modem_sim/modem_sim.h"

#include "sms/tsms.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace {

[[noreturn]] void ThrowErrno(const char* what) { throw std::system_error(errno, std::generic_category(), what); }

void Signal(int eventFd) {
  const std::uint64_t one = 1;
  while (::write(eventFd, &one, sizeof one) < 0 && errno == EINTR) {
  }
}

// A stored outgoing message, service-centre part first, as a SIM lists it.
std::string SubmitPdu(const std::string& number, const std::string& text) {
  TSMS sms;
  sms.number = number;
  sms.text = text;
  return sms.BuildSubmitPdu();
}

}  // namespace

ModemSim::ModemSim() : modem_([this](std::string line) { AddLog(std::move(line)); }) {
  if (::openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0) ThrowErrno("openpty");
  char name[128];
  termios raw{};
  if (::ttyname_r(slave_, name, sizeof name) != 0 || ::tcgetattr(slave_, &raw) != 0) {
    const int saved = errno;
    ::close(master_);
    ::close(slave_);
    errno = saved;
    ThrowErrno("pseudo-terminal");
  }
  devicePath_ = name;
  ::cfmakeraw(&raw);
  ::tcsetattr(slave_, TCSANOW, &raw);
  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  wake_ = ::eventfd(0, EFD_CLOEXEC);
  kick_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wake_ < 0 || kick_ < 0) {
    const int saved = errno;
    if (wake_ >= 0) ::close(wake_);
    if (kick_ >= 0) ::close(kick_);
    ::close(master_);
    ::close(slave_);
    errno = saved;
    ThrowErrno("eventfd");
  }
}

ModemSim::~ModemSim() {
  Stop();
  ::close(kick_);
  ::close(wake_);
  ::close(slave_);
  ::close(master_);
}

void ModemSim::SetLogSink(std::function<void(const std::string&)> sink) {
  std::lock_guard guard(lock_);
  sink_ = std::move(sink);
}

void ModemSim::Start() {
  if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
}

void ModemSim::Stop() {
  if (!thread_.joinable()) return;
  Signal(wake_);
  thread_.join();
}

void ModemSim::AddLog(std::string line) {
  if (sink_) sink_(line);
  else log_.push_back(std::move(line));
  changed_.notify_all();
}

int ModemSim::Store(const ReceivedSms& sms) {
  const std::string pdu = BuildDeliverPdu(sms);
  std::lock_guard guard(lock_);
  const int index = modem_.Sim().Store(pdu);
  AddLog(index ? "SIM: message " + std::to_string(index) + " from " + sms.sender + ": \"" + VisibleText(sms.text) + "\""
               : "SIM: full, message from " + sms.sender + " not stored");
  return index;
}

int ModemSim::StoreRawPdu(std::string hex, int stat) {
  std::lock_guard guard(lock_);
  const std::string shown = hex;
  const int index = modem_.Sim().Store(std::move(hex), stat);
  AddLog(index ? "SIM: message " + std::to_string(index) + " (status " + std::to_string(stat) + ") as the PDU " + shown
               : "SIM: full, the PDU " + shown + " not stored");
  return index;
}

std::vector<int> ModemSim::StoreNotReceived() {
  return {StoreRawPdu(SubmitPdu("+79161234567", "Not sent yet"), 2),
          StoreRawPdu(SubmitPdu("+79161234567", "Sent already"), 3), StoreRawPdu(std::string(kSimStatusReport), 0)};
}

void ModemSim::Say(std::string bytes) {
  std::lock_guard guard(lock_);
  AddLog("> " + VisibleText(bytes) + "   (of its own accord)");
  Queue(std::move(bytes));
  Signal(kick_);
}

void ModemSim::FailSends(int count, int error) {
  std::lock_guard guard(lock_);
  modem_.Faults().cmsErrorSends = count;
  modem_.Faults().cmsError = error;
}

void ModemSim::NoticeBeforeSends(int count) {
  std::lock_guard guard(lock_);
  modem_.Faults().noticeSends = count;
}

void ModemSim::SetSilent(bool silent) {
  std::lock_guard guard(lock_);
  modem_.Faults().silent = silent;
}

void ModemSim::SetByteDelay(std::chrono::milliseconds delay) {
  std::lock_guard guard(lock_);
  byteDelay_ = delay;
}

void ModemSim::SetDoze(std::chrono::milliseconds spell) {
  std::lock_guard guard(lock_);
  doze_ = spell;
}

void ModemSim::SetUnsolicited(bool unsolicited) {
  std::lock_guard guard(lock_);
  modem_.Faults().unsolicited = unsolicited;
}

void ModemSim::RefusePduMode(bool refuse) {
  std::lock_guard guard(lock_);
  modem_.Faults().refusePduMode = refuse;
}

void ModemSim::SetVendorLines(bool on) {
  std::lock_guard guard(lock_);
  modem_.Faults().vendorLines = on;
}

void ModemSim::SetNoiseBytes(bool on) {
  std::lock_guard guard(lock_);
  modem_.Faults().noiseBytes = on;
}

void ModemSim::SetLateDeletes(std::chrono::milliseconds late) {
  std::lock_guard guard(lock_);
  modem_.Faults().lateDeletes = late;
}

void ModemSim::SetLowercaseListing(bool on) {
  std::lock_guard guard(lock_);
  modem_.Faults().lowercaseListing = on;
}

void ModemSim::SetAnswerDelay(std::chrono::milliseconds delay) {
  std::lock_guard guard(lock_);
  modem_.Faults().answerDelay = delay;
}

void ModemSim::SetNotSupportWord(bool on) {
  std::lock_guard guard(lock_);
  modem_.Faults().notSupportWord = on;
}

void ModemSim::SetDirectDelivery(bool on) {
  std::lock_guard guard(lock_);
  modem_.Faults().directDelivery = on;
}

void ModemSim::SetRenumbering(bool on) {
  std::lock_guard guard(lock_);
  modem_.Sim().SetRenumbering(on);
}

void ModemSim::SetChatter(std::chrono::milliseconds every) {
  std::lock_guard guard(lock_);
  chatter_ = every;
  nextChatter_ = Clock::now() + every;
  Signal(kick_);
}

void ModemSim::SetStrayOk(std::chrono::milliseconds after) {
  std::lock_guard guard(lock_);
  strayOk_ = after;
  Signal(kick_);
}

std::vector<std::string> ModemSim::Log() const {
  std::lock_guard guard(lock_);
  return log_;
}

std::vector<SimSend> ModemSim::Sends() const {
  std::lock_guard guard(lock_);
  return modem_.Sends();
}

std::vector<StoredSms> ModemSim::Stored() const {
  std::lock_guard guard(lock_);
  return modem_.Sim().Messages();
}

bool ModemSim::WaitFor(const std::function<bool(const ModemSimView&)>& done, std::chrono::milliseconds limit) {
  std::unique_lock guard(lock_);
  return changed_.wait_for(guard, limit, [&] { return done(ModemSimView{log_, modem_.Sends(), modem_.Sim()}); });
}

void ModemSim::Queue(std::string bytes, std::chrono::milliseconds after) {
  if (bytes.empty()) return;
  Clock::time_point due = Clock::now();
  if (!pending_.empty() && pending_.back().due > due) due = pending_.back().due;
  pending_.push_back({due + after, std::move(bytes)});
}

void ModemSim::SayOfItsOwnAccord(Clock::time_point now) {
  if (chatter_.count() != 0 && now >= nextChatter_) {
    const std::string report = "^RSSI:" + std::to_string(signal_);
    signal_ = signal_ % 31 + 1;
    AddLog("> " + report);
    Queue("\r\n" + report + "\r\n");
    nextChatter_ = now + chatter_;
  }
  const Clock::time_point quietSince = lastHeard_.value_or(Clock::time_point{});
  if (strayOk_.count() != 0 && !strayDone_ && lastHeard_ && now - quietSince >= strayOk_) {
    AddLog("> OK   (nobody's)");
    Queue("\r\nOK\r\n");
    strayDone_ = true;
  }
}

bool ModemSim::Due() const {
  const auto now = Clock::now();
  return !pending_.empty() && pending_.front().due <= now && (byteDelay_.count() == 0 || nextByte_ <= now);
}

int ModemSim::PollTimeout() const {
  std::optional<Clock::time_point> next;
  const auto sooner = [&](Clock::time_point t) {
    if (!next || t < *next) next = t;
  };
  // What is due already waits for room on the terminal (POLLOUT), not for time.
  if (!pending_.empty() && !Due()) sooner(std::max(pending_.front().due, byteDelay_.count() != 0 ? nextByte_ : Clock::time_point{}));
  if (chatter_.count() != 0) sooner(nextChatter_);
  if (strayOk_.count() != 0 && !strayDone_ && lastHeard_) sooner(*lastHeard_ + strayOk_);
  if (!next) return -1;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(*next - Clock::now());
  return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
}

bool ModemSim::Flush() {
  const auto now = Clock::now();
  while (!pending_.empty() && pending_.front().due <= now) {
    if (byteDelay_.count() != 0 && now < nextByte_) return true;
    std::string& bytes = pending_.front().bytes;
    const ssize_t n = ::write(master_, bytes.data(), byteDelay_.count() != 0 ? 1 : bytes.size());
    if (n > 0) {
      bytes.erase(0, static_cast<std::size_t>(n));
      if (bytes.empty()) pending_.pop_front();
      if (byteDelay_.count() != 0) {
        nextByte_ = now + byteDelay_;
        return true;
      }
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
  }
  return true;
}

void ModemSim::Run() {
  char buffer[4096];
  for (;;) {
    int timeout;
    bool due;
    {
      std::lock_guard guard(lock_);
      timeout = PollTimeout();
      due = Due();
    }
    pollfd fds[3] = {
        {wake_, POLLIN, 0}, {kick_, POLLIN, 0}, {master_, static_cast<short>(POLLIN | (due ? POLLOUT : 0)), 0}};
    if (::poll(fds, 3, timeout) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (fds[0].revents != 0) break;
    if (fds[1].revents != 0) {
      std::uint64_t count;
      while (::read(kick_, &count, sizeof count) > 0) {
      }
    }
    std::lock_guard guard(lock_);
    const auto now = Clock::now();
    if ((fds[2].revents & POLLIN) != 0) {
      const ssize_t n = ::read(master_, buffer, sizeof buffer);
      if (n > 0) {
        if (doze_.count() != 0 && (!lastHeard_ || now - *lastHeard_ >= doze_)) modem_.Doze();
        lastHeard_ = now;
        strayDone_ = false;
        for (SimOutput& out : modem_.Receive(std::string_view(buffer, static_cast<std::size_t>(n))))
          Queue(std::move(out.bytes), out.after);
      }
    }
    SayOfItsOwnAccord(now);
    // The slave stays open on our side, so an error or hang-up here is for good:
    // stop rather than spin on it.
    const bool broken = (fds[2].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0;
    if (broken || !Flush()) {
      AddLog("pseudo-terminal failed: the simulator stops answering");
      break;
    }
  }
}
