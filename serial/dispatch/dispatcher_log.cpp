// The dispatch log: time-stamped events of the dispatcher queued in LogQueue,
// and their dump to a text file. Entries are added without a dispatcher lock
// (the queue has its own); a dump holds TriggerLock so that no two dumps mix.
#include <new>
#include <span>

#include "serial/base/dump_text.h"
#include "serial/base/result_codes.h"
#include "serial/dispatch/base_dispatcher.h"
#include "serial/dispatch/log_dump_format.h"

namespace {

// The attached bytes start after the columns, and go on there on new lines.
constexpr std::uint32_t kBytesColumn = 45;

void WriteLogEntry(TextFile& file, const TLogBuffer& entry, bool inHex, bool allHex) {
  file.Write(LogEntryColumns(entry));
  if (entry.Size > 0 && entry.Bytes) {
    const std::span<const std::uint8_t> bytes(entry.Bytes.get(), static_cast<std::size_t>(entry.Size));
    if (entry.SubKind == dstStatusTrigger &&
        (entry.Kind == dtTriggerAlloc || entry.Kind == dtTriggerDispose)) {
      file.Write(StatusTriggerTypeName(bytes[0]));
    } else {
      DumpLine line(file, kBytesColumn, kBytesColumn, kBytesColumn - 1);
      for (const std::uint8_t b : bytes)
        line.Put(allHex && entry.Kind == dtUser ? std::string(1, static_cast<char>(b))
                                                : DumpItem(b, inHex, allHex));
    }
    if (entry.SubKind == dstModemStatus) file.Write(ModemStatusTags(entry.Value));
  } else if (entry.Kind == dtTelnet) {
    file.Write(TelnetOptionText(entry.Value));
  }
  file.WriteLn();
}

}  // namespace

void TDevaBaseDispatcher::InitDispatchLogging(std::uint32_t Cap) {
  LogQueue.Clear();
  LogCap = Cap;
  DLoggingOn = true;
}

void TDevaBaseDispatcher::ClearDispatchLogging() { LogQueue.Clear(); }

void TDevaBaseDispatcher::AbortDispatchLogging() {
  DLoggingOn = false;
  LogQueue.Clear();
}

void TDevaBaseDispatcher::StartDispatchLogging() { DLoggingOn = true; }

void TDevaBaseDispatcher::StopDispatchLogging() { DLoggingOn = false; }

std::int32_t TDevaBaseDispatcher::DumpDispatchLog(const char* FName, bool InHex, bool AllHex) {
  return DumpDispatchLogPrim(FName, false, InHex, AllHex);
}

std::int32_t TDevaBaseDispatcher::AppendDispatchLog(const char* FName, bool InHex, bool AllHex) {
  return DumpDispatchLogPrim(FName, true, InHex, AllHex);
}

std::int32_t TDevaBaseDispatcher::DumpDispatchLogPrim(const char* FName, bool Append, bool InHex,
                                                      bool AllHex) {
  if (LogQueue.Count() == 0) return ecOK;  // no file for nothing
  TCriticalSectionGuard lock(TriggerLock);
  try {
    TextFile file(kDumpBufferSize);
    // A file that cannot be opened leaves the log as it was, for another try.
    if (const std::int32_t code = OpenDumpFile(file, FName, Append); code != ecOK) return code;
    for (const std::string& line : LogHeaderLines(DeviceName)) file.WriteLn(line);
    // Entries that come in meanwhile are written too.
    while (const std::unique_ptr<TIOBuffer> item = LogQueue.Pop())
      WriteLogEntry(file, static_cast<const TLogBuffer&>(*item), InHex, AllHex);
    return file.Close();
  } catch (const std::bad_alloc&) {
    return ecOutOfMemory;
  }
}
