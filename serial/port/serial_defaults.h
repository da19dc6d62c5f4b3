#pragma once
// Defaults of the serial library's modem and transfer features. The gateway
// sends its own AT commands; these stay for the library's completeness.
#include <string_view>

inline constexpr int DefConnectAttempts = 1;
inline constexpr int DefMaxRetries = 2;
inline constexpr int DefStatusTimeout = 1;
inline constexpr int DefStatusBytes = 10000;
inline constexpr int MaxBadPercent = 10;
inline constexpr int FlushWait = 500;
inline constexpr int FrameWait = 20;
inline constexpr int DefFaxOptions = 0;

inline constexpr std::string_view DefNormalInit = "ATE0Q0V1X4S0=0S2=43";
inline constexpr std::string_view DefBlindInit = "ATE0Q0V1X3S0=0S2=43";
inline constexpr std::string_view DefNoDetectBusyInit = "ATE0Q0V1X2S0=0S2=43";
inline constexpr std::string_view DefX1Init = "ATE0Q0V1X1S0=0S2=43";
inline constexpr std::string_view DefTapiInit = "ATE0Q0V1S0=0S2=43";
