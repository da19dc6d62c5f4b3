#include <gtest/gtest.h>

#include <cerrno>

#include "platform/errno_map.h"

namespace {

TEST(ErrnoMap, PlatformErrorsBecomeTheNumbersTheSerialLayerTests) {
  struct Case {
    int err, sys;
  };
  const Case cases[] = {
      {0, kSysNoError},
      {ENOENT, kSysFileNotFound},  // no such device node
      {ENODEV, kSysFileNotFound},  // a missing device is not "access denied"
      {ENXIO, kSysFileNotFound},
      {ENOTDIR, kSysPathNotFound},
      {EBUSY, kSysSharingViolation},        // held by another: what the layer calls in use
      {EWOULDBLOCK, kSysSharingViolation},  // its lock held by another
      {EACCES, kSysAccessDenied},           // not allowed: never taken for "in use"
      {EPERM, kSysAccessDenied},
      {EBADF, kSysInvalidHandle},
      {EINVAL, kSysInvalidParameter},
      {ECANCELED, kSysOperationAborted},
      {EIO, kSysDeviceNotConnected},  // the device hung up
      {ENOMEM, kSysNotEnoughMemory},
      {EDOM, kSysGenFailure},         // no counterpart
  };
  for (const Case& c : cases) EXPECT_EQ(SysErrorFromErrno(c.err), c.sys) << c.err;
}

TEST(ErrnoMap, TranslatedNumbersLeadBackToAPlatformErrorForTheirText) {
  EXPECT_EQ(ErrnoFromSysError(kSysFileNotFound), ENOENT);
  EXPECT_EQ(ErrnoFromSysError(kSysAccessDenied), EACCES);
  EXPECT_EQ(ErrnoFromSysError(kSysSharingViolation), EBUSY);
  EXPECT_EQ(ErrnoFromSysError(kSysInvalidParameter), EINVAL);
  EXPECT_EQ(ErrnoFromSysError(kSysGenFailure), EIO);
  EXPECT_EQ(ErrnoFromSysError(7), 0);
  EXPECT_EQ(ErrnoFromSysError(4200), 0);
}

}  // namespace
