#include "serial/base/message_table.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "serial/base/dispatch_types.h"
#include "serial/base/message_table_rows.h"
#include "serial/base/row_text.h"

namespace {

// The names of the dispatch-log rows: "_s" followed by the value's name, kept
// alive here because the table holds views of them.
struct DispatchRowNames {
  std::vector<std::string> types, subtypes;
  DispatchRowNames() {
    for (const char* n : kDispatchTypeNames) types.push_back(std::string("_s") + n);
    for (const char* n : kDispatchSubTypeNames) subtypes.push_back(std::string("_s") + n);
    // The one row whose name is spelled apart from its value.
    subtypes[dsttzSinit] = "_sdsttzSInit";
  }
};

std::uint32_t Magnitude(std::int32_t code) {
  return code < 0 ? 0u - static_cast<std::uint32_t>(code) : static_cast<std::uint32_t>(code);
}

std::vector<AdMessageNumberLookupRecord> BuildTable() {
  static const DispatchRowNames& dispatch_names = *new DispatchRowNames;
  std::vector<AdMessageNumberLookupRecord> rows;
  rows.reserve(kMessageTableRows);
  for (const MessageNameRun& run : MessageNameRuns()) {
    std::int32_t code = run.first;
    std::string_view rest = run.names;
    while (!rest.empty()) {
      const std::size_t end = std::min(rest.find(' '), rest.size());
      const std::string_view name = rest.substr(0, end);
      rows.push_back({code, TextFromRowName(name), name});
      rest.remove_prefix(std::min(end + 1, rest.size()));
      code += run.step;
    }
  }
  for (int i = 0; i < kDispatchTypeCount; ++i)
    rows.push_back({kDispatchTypeRowBase + i, kDispatchTypeLabels[i], dispatch_names.types[i]});
  for (int i = 0; i < kDispatchSubTypeCount; ++i)
    rows.push_back(
        {kDispatchSubTypeRowBase + i, DispatchSubTypeLabel(i), dispatch_names.subtypes[i]});

  std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
    return Magnitude(a.code) < Magnitude(b.code);
  });
  for (const MessageFixedText& fixed : MessageFixedTexts()) {
    auto it = std::lower_bound(rows.begin(), rows.end(), Magnitude(fixed.code),
                               [](const auto& r, std::uint32_t m) { return Magnitude(r.code) < m; });
    if (it != rows.end() && it->code == fixed.code) it->text = fixed.text;
  }
  return rows;
}

// Midpoint rounded to the nearest integer, a half to the even neighbour.
int Middle(int low, int high) {
  const int sum = low + high;
  int mid = sum / 2;
  if (sum % 2 != 0 && mid % 2 != 0) ++mid;
  return mid;
}

}  // namespace

std::span<const AdMessageNumberLookupRecord> AdMessageNumberLookup() {
  // Never freed: code that runs while the program ends may still look texts up.
  static const auto* table = new std::vector<AdMessageNumberLookupRecord>(BuildTable());
  return *table;
}

std::string MessageNumberToString(std::int32_t code) {
  const auto table = AdMessageNumberLookup();
  const std::uint32_t target = Magnitude(code);
  int low = 0;
  int high = static_cast<int>(table.size()) - 1;
  while (low <= high) {
    const int mid = Middle(low, high);
    const std::uint32_t m = Magnitude(table[mid].code);
    if (m == target) return table[mid].text.substr(0, kMaxMessageText);
    if (target < m)
      high = mid - 1;
    else
      low = mid + 1;
  }
  return {};
}

const AdMessageNumberLookupRecord* FindMessageRow(std::string_view name) {
  for (const auto& row : AdMessageNumberLookup())
    if (row.name == name) return &row;
  return nullptr;
}
