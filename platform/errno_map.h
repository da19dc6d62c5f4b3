#pragma once
// The serial layer reads system errors in the numbering it was designed for
// (2 file not found, 5 access denied and so on). The platform's error numbers
// are translated here, explicitly, before they reach it.

// The numbers the layer tests for and reports.
enum SysErrorNumber : int {
  kSysNoError = 0,
  kSysInvalidFunction = 1,
  kSysFileNotFound = 2,
  kSysPathNotFound = 3,
  kSysTooManyOpenFiles = 4,
  kSysAccessDenied = 5,
  kSysInvalidHandle = 6,
  kSysNotEnoughMemory = 8,
  kSysWriteProtect = 19,
  kSysGenFailure = 31,
  kSysSharingViolation = 32,
  kSysInvalidParameter = 87,
  kSysBrokenPipe = 109,
  kSysDiskFull = 112,
  kSysOperationAborted = 995,
  kSysIoPending = 997,
  kSysDeviceNotConnected = 1167,
  kSysTimeout = 1460,
};

// A missing device is "file not found"; a device that another holds is a
// "sharing violation", one that we may not open "access denied" (kept apart, so
// that someone setting up a modem is not sent looking for another program); a
// device that hung up is "not connected". Numbers without a counterpart become
// "general failure".
int SysErrorFromErrno(int err);

// The platform error number behind a translated one, for its text; 0 when none.
int ErrnoFromSysError(int sys_error);
