#pragma once
// Defaults the serial layer keeps for programs that dial, transfer files or fax
// through it. Nothing here reads them: the gateway sends its own AT commands.
#include <cstdint>
#include <string_view>

inline constexpr std::int32_t DefConnectAttempts = 1;
inline constexpr std::int32_t DefMaxRetries = 2;
inline constexpr std::int32_t DefStatusTimeout = 1;
inline constexpr std::int32_t DefStatusBytes = 10000;
inline constexpr std::int32_t MaxBadPercent = 10;
inline constexpr std::int32_t FlushWait = 500;
inline constexpr std::int32_t FrameWait = 20;
inline constexpr std::int32_t DefFaxOptions = 0;

// Modem initialisation strings, differing only in how much of the call progress
// (X4 busy and dial tone, X3 busy, X2 dial tone, X1 neither) the modem reports.
inline constexpr std::string_view DefNormalInit = "ATE0Q0V1X4S0=0S2=43";
inline constexpr std::string_view DefBlindInit = "ATE0Q0V1X3S0=0S2=43";
inline constexpr std::string_view DefNoDetectBusyInit = "ATE0Q0V1X2S0=0S2=43";
inline constexpr std::string_view DefX1Init = "ATE0Q0V1X1S0=0S2=43";
inline constexpr std::string_view DefTapiInit = "ATE0Q0V1S0=0S2=43";
