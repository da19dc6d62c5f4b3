#include "platform/last_error.h"

#include "platform/errno_map.h"

namespace {
thread_local int lastSysError = 0;
}

int GetLastSysError() { return lastSysError; }

void SetLastSysError(int sysError) { lastSysError = sysError; }

int SetLastSysErrorFromErrno(int err) {
  lastSysError = SysErrorFromErrno(err);
  return lastSysError;
}
