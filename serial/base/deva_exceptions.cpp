#include "serial/base/deva_exceptions.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "platform/codepage.h"
#include "serial/base/component.h"
#include "serial/base/deva_text.h"
#include "serial/base/message_table.h"
#include "serial/base/result_codes.h"

namespace {

std::string WideToAnsi(const std::wstring& text) {
  std::string out;
  out.reserve(text.size());
  for (wchar_t c : text) {
    std::uint8_t byte = '?';
    UnicodeToCp1251(static_cast<char32_t>(c), byte);
    out += static_cast<char>(byte);
  }
  return out;
}

using Raiser = void (*)(std::int32_t code);

struct MappedCode {
  std::int32_t code;
  Raiser raise;
};

// The codes that raise a class of their own, sorted for lookup. Built once from
// the class list; a row name that the table lacks would be a build mistake.
std::vector<MappedCode> BuildMapping() {
  std::vector<MappedCode> map;
  auto add = [&map](std::string_view row, Raiser raise) {
    if (row.empty()) return;
    const AdMessageNumberLookupRecord* r = FindMessageRow(row);
    if (r == nullptr) std::abort();
    map.push_back({r->code, raise});
  };
#define TRELM_MAP_CLASS(Class, Parent, Row) \
  add(Row, [](std::int32_t code) { throw Class(code); });
  TRELM_DEVA_EXCEPTION_GROUPS(TRELM_MAP_CLASS)
  TRELM_DEVA_EXCEPTION_LEAVES(TRELM_MAP_CLASS)
#undef TRELM_MAP_CLASS
#define TRELM_MAP_EXTRA(Class, Row) add(Row, [](std::int32_t code) { throw Class(code); });
  TRELM_DEVA_EXCEPTION_EXTRA_ROWS(TRELM_MAP_EXTRA)
#undef TRELM_MAP_EXTRA
  std::sort(map.begin(), map.end(), [](auto& a, auto& b) { return a.code < b.code; });
  return map;
}

const MappedCode* FindMapped(std::int32_t code) {
  static const std::vector<MappedCode>& map = *new std::vector<MappedCode>(BuildMapping());
  auto it = std::lower_bound(map.begin(), map.end(), code,
                             [](const MappedCode& m, std::int32_t c) { return m.code < c; });
  return it != map.end() && it->code == code ? &*it : nullptr;
}

// The run-time library's band of file and device errors.
constexpr std::int32_t kFirstIoCode = -2;
constexpr std::int32_t kLastIoCode = -162;
constexpr std::int32_t kForeignExceptionCode = -9999;

}  // namespace

void OutOfMemoryError() { throw EOutOfMemory(); }

EDevaException::EDevaException(std::int32_t code)
    : Exception(DevaLoadStr(MapCodeToStringID(code))), ErrorCode(code) {}

EDevaException::EDevaException(std::string message)
    : Exception(std::move(message)), ErrorCode(0) {}

EAdStreamError::EAdStreamError(std::int32_t file_position, const std::wstring& message)
    : EXML(WideToAnsi(message)), FilePosition(file_position) {}

EAdFilterError::EAdFilterError(std::int32_t file_position, std::int32_t line,
                               std::int32_t line_position, const std::wstring& reason)
    : EAdStreamError(file_position, reason),
      Reason(reason),
      Line(line),
      LinePosition(line_position) {}

std::int32_t CheckException(const TComponent* owner, std::int32_t code) {
  if (code >= 0) return code;
  if (owner != nullptr && owner->IsLoading()) return code;
  if (const MappedCode* mapped = FindMapped(code)) mapped->raise(code);
  if (code <= kFirstIoCode && code >= kLastIoCode) {
    if (code == ecOutOfMemory) OutOfMemoryError();
    throw EInOutError(DevaLoadStr(-code), -code);
  }
  throw EDevaException(std::string(kDevaExceptionText));
}

std::int32_t XlatException(const std::exception& e) {
  if (auto* deva = dynamic_cast<const EDevaException*>(&e)) return deva->ErrorCode;
  if (auto* io = dynamic_cast<const EInOutError*>(&e)) return -io->ErrorCode;
  if (dynamic_cast<const EOutOfMemory*>(&e) != nullptr) return ecOutOfMemory;
  return kForeignExceptionCode;
}
