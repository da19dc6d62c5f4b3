#include "platform/termios_comm_device.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <iterator>
#include <mutex>
#include <utility>

#include "platform/errno_map.h"
#include "platform/event.h"
#include "platform/last_error.h"

namespace {

constexpr std::pair<std::uint32_t, speed_t> kBauds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

bool SpeedOf(std::uint32_t baud, speed_t& speed) {
  for (const auto& [rate, code] : kBauds)
    if (rate == baud) return speed = code, true;
  return false;
}

std::uint32_t BaudOf(speed_t speed) {
  for (const auto& [rate, code] : kBauds)
    if (code == speed) return rate;
  return 9600;
}

// A driver without modem lines or counters (a pseudo-terminal) says so with
// one of these; the layer reads that as "no lines", not as a failure.
bool NoSuchControl(int err) { return err == ENOTTY || err == EINVAL; }

int RetryIoctl(int fd, unsigned long request, void* arg) {
  int r;
  while ((r = ioctl(fd, request, arg)) < 0 && errno == EINTR) {
  }
  return r;
}

// Modem lines are sampled this often while a wait watches them: the driver
// cannot wake a poll when a line changes.
constexpr std::uint32_t kLineSampleMs = 50;

class TermiosCommDevice final : public CommDevice {
 public:
  TermiosCommDevice(int fd, const termios& t) : fd_(fd), wake_(true) {
    int lines;
    hasLines_ = RetryIoctl(fd_, TIOCMGET, &lines) == 0;
    if (hasLines_) lastLines_ = LinesOf(lines);
    hasCounts_ = RetryIoctl(fd_, TIOCGICOUNT, &errorBase_) == 0;
    eventBase_ = errorBase_;
    ReadBack(t);
  }

  ~TermiosCommDevice() override {
    RetryIoctl(fd_, TIOCNXCL, nullptr);
    close(fd_);  // also drops the flock
  }

  int Handle() const override { return fd_; }

  bool SetupQueues(std::uint32_t, std::uint32_t) override { return true; }

  bool GetState(TCommDcb& dcb) override {
    std::lock_guard lock(mutex_);
    dcb = shadow_;
    return true;
  }

  bool SetState(const TCommDcb& dcb) override {
    speed_t speed;
    if (!SpeedOf(dcb.BaudRate, speed) || dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > 4 ||
        dcb.StopBits > 2) {
      SetLastSysError(kSysInvalidParameter);
      return false;
    }
    termios t;
    if (tcgetattr(fd_, &t) < 0) return Fail();
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    t.c_cflag |= kSizes[dcb.ByteSize - 5];
    constexpr tcflag_t kParities[] = {0, PARENB | PARODD, PARENB, PARENB | CMSPAR | PARODD,
                                      PARENB | CMSPAR};
    t.c_cflag |= kParities[dcb.Parity];
    if (dcb.StopBits != 0) t.c_cflag |= CSTOPB;  // one and a half with five data bits
    const TCommDcbFlags& f = dcb.Flags;
    if (f.fOutxCtsFlow || f.fRtsControl == kRtsControlHandshake) t.c_cflag |= CRTSCTS;
    t.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
    if (f.fOutX) t.c_iflag |= IXON;
    if (f.fInX) t.c_iflag |= IXOFF;
    if (f.fParity) t.c_iflag |= INPCK;
    t.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    if (tcsetattr(fd_, TCSANOW, &t) < 0) return Fail();
    if (f.fDtrControl != kDtrControlHandshake && !SetLine(TIOCM_DTR, f.fDtrControl == kDtrControlEnable))
      return false;
    if (f.fRtsControl <= kRtsControlEnable && !SetLine(TIOCM_RTS, f.fRtsControl == kRtsControlEnable))
      return false;
    std::lock_guard lock(mutex_);
    shadow_ = dcb;
    return true;
  }

  bool Escape(std::uint32_t function) override {
    switch (function) {
      case kEscSetDtr: return SetLine(TIOCM_DTR, true);
      case kEscClrDtr: return SetLine(TIOCM_DTR, false);
      case kEscSetRts: return SetLine(TIOCM_RTS, true);
      case kEscClrRts: return SetLine(TIOCM_RTS, false);
      case kEscSetBreak: return Control(TIOCSBRK);
      case kEscClrBreak: return Control(TIOCCBRK);
      case kEscSetXoff: return tcflow(fd_, TCOOFF) == 0 || Fail();
      case kEscSetXon: return tcflow(fd_, TCOON) == 0 || Fail();
      case kEscResetDev: return true;
      default: SetLastSysError(kSysInvalidParameter); return false;
    }
  }

  bool ModemStatus(std::uint32_t& status) override {
    status = 0;
    int lines;
    if (RetryIoctl(fd_, TIOCMGET, &lines) == 0) {
      status = LinesOf(lines);
      return true;
    }
    return NoSuchControl(errno) || Fail();
  }

  std::uint32_t TakeErrors(TCommStat& stat) override {
    stat = {};
    std::uint32_t errors = 0;
    serial_icounter_struct now;
    if (hasCounts_ && RetryIoctl(fd_, TIOCGICOUNT, &now) == 0) {
      std::lock_guard lock(mutex_);
      if (now.buf_overrun != errorBase_.buf_overrun) errors |= kCeRxOver;
      if (now.overrun != errorBase_.overrun) errors |= kCeOverrun;
      if (now.parity != errorBase_.parity) errors |= kCeRxParity;
      if (now.frame != errorBase_.frame) errors |= kCeFrame;
      if (now.brk != errorBase_.brk) errors |= kCeBreak;
      errorBase_ = now;
    }
    int count = 0;
    if (RetryIoctl(fd_, FIONREAD, &count) == 0) stat.cbInQue = static_cast<std::uint32_t>(count);
    if (RetryIoctl(fd_, TIOCOUTQ, &count) == 0) stat.cbOutQue = static_cast<std::uint32_t>(count);
    std::uint32_t lines = 0;
    if (hasLines_ && ModemStatus(lines)) {
      std::lock_guard lock(mutex_);
      const TCommDcbFlags& f = shadow_.Flags;
      if ((f.fOutxCtsFlow || f.fRtsControl == kRtsControlHandshake) && !(lines & kMsCtsOn))
        stat.Flags |= kCtsHold;
      if (f.fOutxDsrFlow && !(lines & kMsDsrOn)) stat.Flags |= kDsrHold;
    }
    return errors;
  }

  std::uint32_t TakeCommEvents() override {
    std::lock_guard lock(mutex_);
    SampleLines();
    return std::exchange(pendingEvents_, 0);
  }

  bool Purge(std::uint32_t flags) override {
    if ((flags & (kPurgeTxAbort | kPurgeTxClear)) && tcflush(fd_, TCOFLUSH) < 0) return Fail();
    if ((flags & (kPurgeRxAbort | kPurgeRxClear)) && tcflush(fd_, TCIFLUSH) < 0) return Fail();
    return true;
  }

  std::int32_t Read(std::span<std::uint8_t> buffer) override {
    if (buffer.empty()) return 0;
    for (;;) {
      const ssize_t n = read(fd_, buffer.data(), buffer.size());
      if (n > 0) return static_cast<std::int32_t>(n);
      if (n == 0) {
        // Read at least one byte or "try again" (VMIN 1): 0 is the far end hanging up.
        pollfd check = {fd_, POLLIN, 0};
        if (PollFor(&check, 1, 0) == 1 && (check.revents & (POLLHUP | POLLERR | POLLNVAL))) {
          SetLastSysError(kSysDeviceNotConnected);
          return -1;
        }
        return 0;
      }
      if (errno == EINTR) continue;
      if (errno == EAGAIN) return 0;
      return FailCount();
    }
  }

  std::int32_t Write(std::span<const std::uint8_t> bytes) override {
    if (bytes.empty()) return 0;
    for (;;) {
      const ssize_t n = write(fd_, bytes.data(), bytes.size());
      if (n >= 0) return static_cast<std::int32_t>(n);
      if (errno == EINTR) continue;
      if (errno == EAGAIN) return 0;
      return FailCount();
    }
  }

  std::uint32_t Wait(std::uint32_t what, std::uint32_t timeoutMs, const TEvent* also) override {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    const bool sampleLines = (what & kCommLineEvent) && (hasLines_ || hasCounts_);
    for (;;) {
      const short deviceEvents = static_cast<short>(((what & kCommData) ? POLLIN : 0) |
                                                    ((what & kCommWritable) ? POLLOUT : 0));
      pollfd fds[3];
      nfds_t count = 0;
      fds[count++] = {wake_.Descriptor(), POLLIN, 0};
      // A hang-up is reported whatever events are asked for, none included.
      if (deviceEvents || (what & kCommHangUp)) fds[count++] = {fd_, deviceEvents, 0};
      if (also) fds[count++] = {also->Descriptor(), POLLIN, 0};
      std::uint32_t slice = timeoutMs;
      if (timeoutMs != kInfinite) {
        // Rounded up: a poll that ends a little early must not be followed
        // by polls of 0 ms until the deadline passes.
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        slice = left > 0 ? static_cast<std::uint32_t>(left) : 0;
      }
      // Without lines to sample the wait is one piece.
      if (sampleLines) slice = std::min(slice, kLineSampleMs);
      if (PollFor(fds, count, slice) < 0) {
        SetLastSysErrorFromErrno(errno);
        return kCommFailed;
      }
      std::uint32_t happened = 0;
      for (nfds_t i = 0; i < count; ++i) {
        const short re = fds[i].revents;
        if (!re) continue;
        if (i == 0) {
          happened |= kCommWake;
        } else if (fds[i].fd == fd_) {
          const bool broken = re & (POLLHUP | POLLERR | POLLNVAL);
          if ((what & kCommData) && ((re & POLLIN) || broken)) happened |= kCommData;
          if ((what & kCommWritable) && ((re & POLLOUT) || broken)) happened |= kCommWritable;
          if ((what & kCommHangUp) && broken) {
            SetLastSysError(kSysDeviceNotConnected);
            happened |= kCommHangUp;
          }
        } else {
          happened |= kCommOther;
        }
      }
      if (sampleLines) {
        std::lock_guard lock(mutex_);
        SampleLines();
        if (pendingEvents_) happened |= kCommLineEvent;
      }
      if (happened) return happened;
      if (timeoutMs != kInfinite && Clock::now() >= deadline) return 0;
    }
  }

  void Wake() override { wake_.Set(); }
  void ClearWake() override { wake_.Reset(); }

 private:
  static std::uint32_t LinesOf(int lines) {
    return ((lines & TIOCM_CTS) ? kMsCtsOn : 0) | ((lines & TIOCM_DSR) ? kMsDsrOn : 0) |
           ((lines & TIOCM_RNG) ? kMsRingOn : 0) | ((lines & TIOCM_CAR) ? kMsRlsdOn : 0);
  }

  static bool Fail() {
    SetLastSysErrorFromErrno(errno);
    return false;
  }
  static std::int32_t FailCount() {
    SetLastSysErrorFromErrno(errno);
    return -1;
  }

  bool SetLine(int line, bool on) {
    if (RetryIoctl(fd_, on ? TIOCMBIS : TIOCMBIC, &line) == 0) return true;
    return NoSuchControl(errno) || Fail();
  }

  bool Control(unsigned long request) {
    if (RetryIoctl(fd_, request, nullptr) == 0) return true;
    return NoSuchControl(errno) || Fail();
  }

  // Adds the events since the last sample to pendingEvents_. Caller holds mutex_.
  void SampleLines() {
    serial_icounter_struct now;
    if (hasCounts_ && RetryIoctl(fd_, TIOCGICOUNT, &now) == 0) {
      if (now.cts != eventBase_.cts) pendingEvents_ |= kEvCts;
      if (now.dsr != eventBase_.dsr) pendingEvents_ |= kEvDsr;
      if (now.dcd != eventBase_.dcd) pendingEvents_ |= kEvRlsd;
      if (now.rng != eventBase_.rng) pendingEvents_ |= kEvRing;
      if (now.brk != eventBase_.brk) pendingEvents_ |= kEvBreak;
      if (now.frame != eventBase_.frame || now.overrun != eventBase_.overrun ||
          now.parity != eventBase_.parity || now.buf_overrun != eventBase_.buf_overrun)
        pendingEvents_ |= kEvErr;
      eventBase_ = now;
      return;
    }
    int lines;
    if (hasLines_ && RetryIoctl(fd_, TIOCMGET, &lines) == 0) {
      const std::uint32_t now_lines = LinesOf(lines);
      pendingEvents_ |= LineChangeEvents(lastLines_, now_lines);
      lastLines_ = now_lines;
    }
  }

  // The settings as the terminal holds them after open.
  void ReadBack(const termios& t) {
    TCommDcb& d = shadow_;
    d.BaudRate = BaudOf(cfgetospeed(&t));
    constexpr std::pair<tcflag_t, std::uint8_t> kSizes[] = {{CS5, 5}, {CS6, 6}, {CS7, 7}, {CS8, 8}};
    for (const auto& [bits, size] : kSizes)
      if ((t.c_cflag & CSIZE) == bits) d.ByteSize = size;
    d.Parity = !(t.c_cflag & PARENB) ? 0
               : (t.c_cflag & CMSPAR) ? ((t.c_cflag & PARODD) ? 3 : 4)
                                      : ((t.c_cflag & PARODD) ? 1 : 2);
    d.StopBits = (t.c_cflag & CSTOPB) ? 2 : 0;
    d.Flags.fOutxCtsFlow = t.c_cflag & CRTSCTS;
    d.Flags.fRtsControl = (t.c_cflag & CRTSCTS) ? kRtsControlHandshake : kRtsControlEnable;
    d.Flags.fOutX = t.c_iflag & IXON;
    d.Flags.fInX = t.c_iflag & IXOFF;
    d.XonChar = static_cast<char>(t.c_cc[VSTART]);
    d.XoffChar = static_cast<char>(t.c_cc[VSTOP]);
  }

  const int fd_;
  TEvent wake_;
  bool hasLines_ = false;
  bool hasCounts_ = false;
  std::mutex mutex_;  // guards what follows
  TCommDcb shadow_;
  serial_icounter_struct errorBase_{};
  serial_icounter_struct eventBase_{};
  std::uint32_t lastLines_ = 0;
  std::uint32_t pendingEvents_ = 0;
};

}  // namespace

std::unique_ptr<CommDevice> OpenTermiosDevice(const std::string& path) {
  int fd;
  while ((fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) < 0 && errno == EINTR) {
  }
  if (fd < 0) {
    SetLastSysErrorFromErrno(errno);
    return nullptr;
  }
  // The terminal's own exclusive mode does not stop root; the lock does.
  termios t;
  int err = 0;
  if (flock(fd, LOCK_EX | LOCK_NB) < 0 || tcgetattr(fd, &t) < 0) err = errno;
  if (!err) {
    RetryIoctl(fd, TIOCEXCL, nullptr);
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 1;  // with O_NONBLOCK: no data reads as EAGAIN, a hang-up as 0
    t.c_cc[VTIME] = 0;
    if (tcsetattr(fd, TCSANOW, &t) < 0) err = errno;
  }
  if (err) {
    close(fd);
    SetLastSysErrorFromErrno(err);
    return nullptr;
  }
  return std::make_unique<TermiosCommDevice>(fd, t);
}
