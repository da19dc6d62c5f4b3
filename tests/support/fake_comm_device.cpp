#include "tests/support/fake_comm_device.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/errno_map.h"
#include "platform/last_error.h"

FakeCommDevice::FakeCommDevice() = default;

void FakeCommDevice::UpdateReadable() {
  if (!input_.empty() || hungUp_ || readError_)
    readable_.Set();
  else
    readable_.Reset();
}

void FakeCommDevice::Send(std::string_view bytes) {
  std::lock_guard lock(mutex_);
  input_ += bytes;
  UpdateReadable();
}

void FakeCommDevice::HangUp() {
  std::lock_guard lock(mutex_);
  hungUp_ = true;
  hungUpEvent_.Set();
  UpdateReadable();
}

void FakeCommDevice::FailReads(int sysError) {
  std::lock_guard lock(mutex_);
  readError_ = sysError;
  UpdateReadable();
}

void FakeCommDevice::SetModemLines(std::uint32_t lines) {
  std::lock_guard lock(mutex_);
  events_ |= LineChangeEvents(lines_, lines);
  lines_ = lines;
  if (events_) lineEvent_.Set();
}

void FakeCommDevice::AddLineErrors(std::uint32_t errors) {
  std::lock_guard lock(mutex_);
  errors_ |= errors;
  events_ |= (errors & kCeBreak) ? kEvBreak : 0;
  events_ |= (errors & ~kCeBreak) ? kEvErr : 0;
  if (events_) lineEvent_.Set();
}

void FakeCommDevice::SetHoldFlags(std::uint32_t flags) {
  std::lock_guard lock(mutex_);
  holdFlags_ = flags;
}

void FakeCommDevice::StallWrites(bool stalled) {
  std::lock_guard lock(mutex_);
  stalled_ = stalled;
  if (stalled)
    writable_.Reset();
  else
    writable_.Set();
}

void FakeCommDevice::FailSetState(int sysError) {
  std::lock_guard lock(mutex_);
  setStateError_ = sysError;
}

std::string FakeCommDevice::Written() const {
  std::lock_guard lock(mutex_);
  return written_;
}

std::size_t FakeCommDevice::Unread() const {
  std::lock_guard lock(mutex_);
  return input_.size();
}

std::vector<std::uint32_t> FakeCommDevice::Escapes() const {
  std::lock_guard lock(mutex_);
  return escapes_;
}

int FakeCommDevice::SetStateCalls() const {
  std::lock_guard lock(mutex_);
  return setStateCalls_;
}

std::uint32_t FakeCommDevice::Purges() const {
  std::lock_guard lock(mutex_);
  return purges_;
}

bool FakeCommDevice::DtrUp() const {
  std::lock_guard lock(mutex_);
  return dtr_;
}

bool FakeCommDevice::RtsUp() const {
  std::lock_guard lock(mutex_);
  return rts_;
}

int FakeCommDevice::Handle() const { return readable_.Descriptor(); }

bool FakeCommDevice::SetupQueues(std::uint32_t, std::uint32_t) { return true; }

bool FakeCommDevice::GetState(TCommDcb& dcb) {
  std::lock_guard lock(mutex_);
  dcb = state_;
  return true;
}

bool FakeCommDevice::SetState(const TCommDcb& dcb) {
  std::lock_guard lock(mutex_);
  ++setStateCalls_;
  if (setStateError_) {
    SetLastSysError(setStateError_);
    return false;
  }
  state_ = dcb;
  if (dcb.Flags.fDtrControl != kDtrControlHandshake) dtr_ = dcb.Flags.fDtrControl == kDtrControlEnable;
  if (dcb.Flags.fRtsControl <= kRtsControlEnable) rts_ = dcb.Flags.fRtsControl == kRtsControlEnable;
  return true;
}

bool FakeCommDevice::Escape(std::uint32_t function) {
  std::lock_guard lock(mutex_);
  escapes_.push_back(function);
  if (function == kEscSetDtr || function == kEscClrDtr) dtr_ = function == kEscSetDtr;
  if (function == kEscSetRts || function == kEscClrRts) rts_ = function == kEscSetRts;
  return true;
}

bool FakeCommDevice::ModemStatus(std::uint32_t& status) {
  std::lock_guard lock(mutex_);
  status = lines_;
  return true;
}

std::uint32_t FakeCommDevice::TakeErrors(TCommStat& stat) {
  std::lock_guard lock(mutex_);
  stat.Flags = holdFlags_;
  stat.cbInQue = static_cast<std::uint32_t>(input_.size());
  stat.cbOutQue = 0;
  return std::exchange(errors_, 0);
}

std::uint32_t FakeCommDevice::TakeCommEvents() {
  std::lock_guard lock(mutex_);
  lineEvent_.Reset();
  return std::exchange(events_, 0);
}

bool FakeCommDevice::Purge(std::uint32_t flags) {
  std::lock_guard lock(mutex_);
  purges_ |= flags;
  if (flags & (kPurgeRxAbort | kPurgeRxClear)) input_.clear();
  UpdateReadable();
  return true;
}

std::int32_t FakeCommDevice::Read(std::span<std::uint8_t> buffer) {
  std::lock_guard lock(mutex_);
  if (readError_ || (hungUp_ && input_.empty())) {
    SetLastSysError(readError_ ? readError_ : kSysDeviceNotConnected);
    return -1;
  }
  const std::size_t n = std::min(buffer.size(), input_.size());
  std::memcpy(buffer.data(), input_.data(), n);
  input_.erase(0, n);
  UpdateReadable();
  return static_cast<std::int32_t>(n);
}

std::int32_t FakeCommDevice::Write(std::span<const std::uint8_t> bytes) {
  std::lock_guard lock(mutex_);
  if (stalled_) return 0;
  written_.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  return static_cast<std::int32_t>(bytes.size());
}

std::uint32_t FakeCommDevice::Wait(std::uint32_t what, std::uint32_t timeoutMs, const TEvent* also) {
  struct Source {
    const TEvent* event;
    std::uint32_t bit;
  };
  std::vector<Source> sources = {{&wake_, kCommWake}};
  if (what & kCommData) sources.push_back({&readable_, kCommData});
  if (what & kCommWritable) sources.push_back({&writable_, kCommWritable});
  if (what & kCommLineEvent) sources.push_back({&lineEvent_, kCommLineEvent});
  if (what & kCommHangUp) sources.push_back({&hungUpEvent_, kCommHangUp});
  if (also) sources.push_back({also, kCommOther});
  std::vector<pollfd> fds;
  for (const Source& s : sources) fds.push_back({s.event->Descriptor(), POLLIN, 0});
  const int r = PollFor(fds.data(), fds.size(), timeoutMs);
  if (r < 0) {
    SetLastSysErrorFromErrno(errno);
    return kCommFailed;
  }
  std::uint32_t happened = 0;
  for (std::size_t i = 0; i < fds.size(); ++i)
    if (fds[i].revents & POLLIN) happened |= sources[i].bit;
  if (happened & kCommHangUp) SetLastSysError(kSysDeviceNotConnected);
  return happened;
}
