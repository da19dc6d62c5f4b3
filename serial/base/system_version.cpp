#include "serial/base/system_version.h"

#include <cstdio>
#include <sys/utsname.h>

OsVersionInfo GetOsVersion() {
  OsVersionInfo info;
  struct utsname u {};
  if (::uname(&u) != 0) return info;
  unsigned major = 0, minor = 0, build = 0;
  std::sscanf(u.release, "%u.%u.%u", &major, &minor, &build);
  info.MajorVersion = major;
  info.MinorVersion = minor;
  info.BuildNumber = build;
  info.CSDVersion = u.version;
  return info;
}

bool IsWinNT(const OsVersionInfo& info) { return info.PlatformId == kPlatformNT; }
bool IsWinNT() { return IsWinNT(GetOsVersion()); }

bool IsWin2000(const OsVersionInfo& info) {
  return info.PlatformId == kPlatformNT && info.MinorVersion == 0;
}
bool IsWin2000() { return IsWin2000(GetOsVersion()); }
