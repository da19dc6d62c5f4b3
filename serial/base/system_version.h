#pragma once
// What the operating system reports of its version, and the layer's two tests of it.
#include <cstdint>
#include <string>

inline constexpr std::uint32_t kPlatformWin32s = 0;
inline constexpr std::uint32_t kPlatformWindows = 1;
// The platform family on which user programs cannot reach the UART's ports
// directly; ours is one of them.
inline constexpr std::uint32_t kPlatformNT = 2;

struct OsVersionInfo {
  std::uint32_t MajorVersion = 0;
  std::uint32_t MinorVersion = 0;
  std::uint32_t BuildNumber = 0;
  std::uint32_t PlatformId = kPlatformNT;
  std::string CSDVersion;  // the service-pack text; here the kernel's version text
};

// The running kernel's release numbers, reported on the NT platform family.
OsVersionInfo GetOsVersion();

bool IsWinNT(const OsVersionInfo& info);
bool IsWinNT();
// The NT family with minor version 0 (the major is not looked at).
bool IsWin2000(const OsVersionInfo& info);
bool IsWin2000();
