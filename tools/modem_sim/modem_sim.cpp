#include "tools/modem_sim/modem_sim.h"

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
  if (wake_ < 0) {
    const int saved = errno;
    ::close(master_);
    ::close(slave_);
    errno = saved;
    ThrowErrno("eventfd");
  }
}

ModemSim::~ModemSim() {
  Stop();
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
  const std::uint64_t one = 1;
  while (::write(wake_, &one, sizeof one) < 0 && errno == EINTR) {
  }
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

int ModemSim::StoreRawPdu(std::string hex) {
  std::lock_guard guard(lock_);
  const std::string shown = hex;
  const int index = modem_.Sim().Store(std::move(hex));
  AddLog(index ? "SIM: message " + std::to_string(index) + " as the PDU " + shown
               : "SIM: full, the PDU " + shown + " not stored");
  return index;
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

int ModemSim::PollTimeout(const std::string& pending) const {
  std::lock_guard guard(lock_);
  if (pending.empty() || byteDelay_.count() == 0) return -1;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(nextByte_ - std::chrono::steady_clock::now());
  return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
}

bool ModemSim::Flush(std::string& pending) {
  std::chrono::milliseconds delay;
  {
    std::lock_guard guard(lock_);
    delay = byteDelay_;
  }
  const auto now = std::chrono::steady_clock::now();
  if (delay.count() != 0 && now < nextByte_) return true;
  while (!pending.empty()) {
    const ssize_t n = ::write(master_, pending.data(), delay.count() != 0 ? 1 : pending.size());
    if (n > 0) {
      pending.erase(0, static_cast<std::size_t>(n));
      if (delay.count() != 0) {
        nextByte_ = now + delay;
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
  std::string pending;  // answer bytes the terminal has no room for yet, or not due yet
  char buffer[4096];
  for (;;) {
    const int timeout = PollTimeout(pending);
    const bool due = !pending.empty() && timeout <= 0;
    pollfd fds[2] = {{wake_, POLLIN, 0}, {master_, static_cast<short>(POLLIN | (due ? POLLOUT : 0)), 0}};
    if (::poll(fds, 2, timeout) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (fds[0].revents != 0) break;
    if ((fds[1].revents & POLLIN) != 0) {
      const ssize_t n = ::read(master_, buffer, sizeof buffer);
      if (n > 0) {
        const auto now = std::chrono::steady_clock::now();
        std::lock_guard guard(lock_);
        if (doze_.count() != 0 && (!lastHeard_ || now - *lastHeard_ >= doze_)) modem_.Doze();
        lastHeard_ = now;
        pending += modem_.Receive(std::string_view(buffer, static_cast<std::size_t>(n)));
      }
    }
    // The slave stays open on our side, so an error or hang-up here is for good:
    // stop rather than spin on it.
    const bool broken = (fds[1].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0;
    if (broken || !Flush(pending)) {
      std::lock_guard guard(lock_);
      AddLog("pseudo-terminal failed: the simulator stops answering");
      break;
    }
  }
}
