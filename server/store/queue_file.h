#pragma once
// The files that carry the queues across a restart: plain packet records back to
// back. inbox.db holds the outgoing queue, outbox.db the incoming one.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "server/store/server_state.h"

inline constexpr const char* kOutgoingQueueFile = "inbox.db";
inline constexpr const char* kIncomingQueueFile = "outbox.db";

// Why a record of a queue file is not queued.
enum class RecordFault : std::size_t {
  Check,        // its checksum fails, or its length runs past the text
  NotAMessage,  // its type is not a message's
  Number,       // a message to send whose number the modem cannot take
  CutShort,     // the file ends in the middle of it
};
inline constexpr std::size_t kRecordFaults = 4;

// The records of a queue file that are no sound message, by their place in the
// file: they are set aside only once the start goes on, and a damaged file may be
// large, so they are not held meanwhile.
struct QueueFileRejects {
  std::vector<std::uint64_t> offsets;  // of the whole records, in file order
  std::uint64_t tailOffset = 0;        // where a record cut short at the end begins
  std::size_t tailBytes = 0;           // its bytes; 0 when the file ends with a whole record
  std::array<std::size_t, kRecordFaults> counts{};  // by RecordFault

  std::size_t Count() const { return offsets.size() + (tailBytes != 0 ? 1 : 0); }
  bool empty() const { return Count() == 0; }
};

enum class QueueFileLoad {
  Loaded,
  Missing,     // no such file: nothing to load
  Unreadable,  // errno says why
  NotAFile,    // a FIFO, a device or a folder in the file's place
};

// Appends the sound records of the file to the back of the queue, in file order,
// and notes the others in `rejects`. A record is sound when it checks as a packet
// from the wire does, is a message and, in the outgoing file (`toSend`), has a
// number the modem can take, which is queued without its separators (a received
// message's sender may be a name). Anything else would be handed on broken: to a
// client, whose connection ends and every message after it with it, or to the
// modem, which would be asked to send nothing, or the same refused number for
// ever. Unless the result is Loaded, nothing is added.
QueueFileLoad LoadQueueFile(const std::string& path, bool toSend, PacketQueue& queue, QueueFileRejects& rejects);

// Writes the queue into the file, front first, and empties it once the file is in
// place. An empty queue writes nothing and leaves any file alone. The file is
// written aside and renamed into place. False, with errno set, when it could not
// be written: the queue then keeps every packet and the old file is left as it
// was, and `failedEntry` (when given) names what was in the way.
bool SaveQueueFile(const std::string& path, PacketQueue& queue, std::string* failedEntry = nullptr);
