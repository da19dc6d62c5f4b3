#pragma once
// The one table of result codes and texts: failure codes (negative), status
// texts and dispatch-log labels (positive), looked up by the code's magnitude.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

struct AdMessageNumberLookupRecord {
  std::int32_t code;       // negative for failures, positive for texts
  std::string text;        // at most 255 characters when read
  std::string_view name;   // the row's resource name, e.g. "_secBadId"
};

inline constexpr std::size_t kMessageTableRows = 897;
inline constexpr std::size_t kMaxMessageText = 255;

// The rows in strictly increasing magnitude of code. Built on first use
// (thread-safe), before any port can need it, and never changed afterwards.
std::span<const AdMessageNumberLookupRecord> AdMessageNumberLookup();

// The row text for the code's magnitude, cut to 255 characters; empty when no
// row has that magnitude. Codes beyond the 16-bit range find no row.
std::string MessageNumberToString(std::int32_t code);

// The row with that name, or nullptr.
const AdMessageNumberLookupRecord* FindMessageRow(std::string_view name);
