#include "platform/errno_map.h"

#include <cerrno>
#include <utility>

namespace {

// Read both ways: the first pair with a platform number gives its translation,
// the first pair with a translated number gives the platform number back.
constexpr std::pair<int, int> kPairs[] = {
    {ENOENT, kSysFileNotFound},      {ENODEV, kSysFileNotFound},
    {ENXIO, kSysFileNotFound},       {ENOTDIR, kSysPathNotFound},
    {EMFILE, kSysTooManyOpenFiles},  {ENFILE, kSysTooManyOpenFiles},
    {EACCES, kSysAccessDenied},      {EPERM, kSysAccessDenied},
    {EBUSY, kSysSharingViolation},   {EWOULDBLOCK, kSysSharingViolation},
    {EBADF, kSysInvalidHandle},      {ENOMEM, kSysNotEnoughMemory},
    {EROFS, kSysWriteProtect},       {EINVAL, kSysInvalidParameter},
    {ENOTTY, kSysInvalidFunction},   {ENOSYS, kSysInvalidFunction},
    {EPIPE, kSysBrokenPipe},         {ENOSPC, kSysDiskFull},
    {ECANCELED, kSysOperationAborted}, {EINTR, kSysOperationAborted},
    {EINPROGRESS, kSysIoPending},    {EIO, kSysDeviceNotConnected},
    {ETIMEDOUT, kSysTimeout},        {EIO, kSysGenFailure},
};

}  // namespace

int SysErrorFromErrno(int err) {
  if (err == 0) return kSysNoError;
  for (const auto& [platform, sys] : kPairs)
    if (platform == err) return sys;
  return kSysGenFailure;
}

int ErrnoFromSysError(int sys_error) {
  for (const auto& [platform, sys] : kPairs)
    if (sys == sys_error) return platform;
  return 0;
}
