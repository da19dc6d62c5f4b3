#pragma once
// The code table's data in compact form: runs of row names on consecutive
// codes, and the texts that are fixed word for word.
#include <cstdint>
#include <span>
#include <string_view>

struct MessageNameRun {
  std::int32_t first;      // code of the first name
  std::int32_t step;       // +1 upwards, -1 downwards
  std::string_view names;  // blank-separated row names
};

struct MessageFixedText {
  std::int32_t code;
  std::string_view text;
};

// Every row except the dispatch-log kinds and subkinds, which come from dispatch_types.h.
std::span<const MessageNameRun> MessageNameRuns();
std::span<const MessageFixedText> MessageFixedTexts();

inline constexpr std::int32_t kDispatchTypeRowBase = 15001;
inline constexpr std::int32_t kDispatchSubTypeRowBase = 15100;
