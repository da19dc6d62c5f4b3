// The line trace: a ring of the latest bytes sent and read, each with its
// kind, and its dump to a text file. The ring and the dump are guarded by
// TriggerLock, so a dump never sees half a block that another thread traces.
#include <new>
#include <string>

#include "serial/base/dump_text.h"
#include "serial/base/result_codes.h"
#include "serial/dispatch/base_dispatcher.h"

namespace {

std::string TraceHeading(char kind) {
  if (kind == 'R') return "Receive: ";
  if (kind == 'T') return "Transmit: ";
  return std::string("Special-") + kind + ": ";
}

}  // namespace

std::int32_t TDevaBaseDispatcher::InitTracing(std::uint32_t NumEntries) {
  TCriticalSectionGuard lock(TriggerLock);
  // A ring that exists keeps its size: the port aborts first to resize it.
  if (!TraceRing) {
    if (NumEntries > kMaxTraceEntries) return ecBadArgument;
    if (NumEntries > 0) {
      try {
        TraceRing = std::make_unique<TTraceEntry[]>(NumEntries);
      } catch (const std::bad_alloc&) {
        return ecOutOfMemory;  // no trace, but the process goes on
      }
    }
    TraceCapacity = NumEntries;
  }
  TraceHead = 0;
  TraceWrapped = false;
  TracingOn = true;
  return ecOK;
}

std::int32_t TDevaBaseDispatcher::ClearTracing() {
  TCriticalSectionGuard lock(TriggerLock);
  TraceHead = 0;
  TraceWrapped = false;
  return ecOK;
}

void TDevaBaseDispatcher::AbortTracing() {
  TCriticalSectionGuard lock(TriggerLock);
  TracingOn = false;
  TraceRing.reset();
  TraceCapacity = TraceHead = 0;
  TraceWrapped = false;
}

void TDevaBaseDispatcher::StartTracing() {
  TCriticalSectionGuard lock(TriggerLock);
  if (TraceRing) TracingOn = true;
}

void TDevaBaseDispatcher::StopTracing() {
  TCriticalSectionGuard lock(TriggerLock);
  TracingOn = false;
}

std::int32_t TDevaBaseDispatcher::DumpTrace(const char* FName, bool InHex, bool AllHex) {
  return DumpTracePrim(FName, false, InHex, AllHex);
}

std::int32_t TDevaBaseDispatcher::AppendTrace(const char* FName, bool InHex, bool AllHex) {
  return DumpTracePrim(FName, true, InHex, AllHex);
}

std::int32_t TDevaBaseDispatcher::DumpTracePrim(const char* FName, bool Append, bool InHex,
                                                bool AllHex) {
  // Held through the file writes: tracing threads wait rather than overwrite
  // what is being written.
  TCriticalSectionGuard lock(TriggerLock);
  if (!TraceRing || (!TraceWrapped && TraceHead == 0)) return ecOK;  // no file for nothing

  std::int32_t result;
  try {
    TextFile file(kDumpBufferSize);
    result = OpenDumpFile(file, FName, Append);
    if (result != ecOK) {
      AbortTracing();
      return result;
    }
    DumpLine line(file, 0, 0, 0);
    char lastKind = 0;  // a first entry of kind 0 gets no heading
    bool first = true;
    std::uint32_t i = TraceWrapped ? TraceHead : 0;
    do {
      const TTraceEntry entry = TraceRing[i];
      if (entry.Kind != lastKind) {
        if (!first) {
          file.WriteLn();
          file.WriteLn();  // an empty line between two blocks
        }
        file.WriteLn(TraceHeading(entry.Kind));
        line.SetColumn(0);
        lastKind = entry.Kind;
      }
      first = false;
      line.Put(DumpItem(entry.Value, InHex, AllHex));
      if (++i == TraceCapacity) i = 0;
    } while (i != TraceHead);
    result = file.Close();
  } catch (const std::bad_alloc&) {
    result = ecOutOfMemory;
  }
  // Written or not, the ring starts over, recording.
  InitTracing(TraceCapacity);
  return result;
}
