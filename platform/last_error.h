#pragma once
// The calling thread's last system error, in the numbering of platform/errno_map
// (2 file not found, 5 access denied, ...). Each thread has its own, as the
// serial layer expects: a failing call leaves it for its caller to read.
int GetLastSysError();
void SetLastSysError(int sysError);

// Records the translation of a platform error number and returns it.
int SetLastSysErrorFromErrno(int err);
