#pragma once
// The files that carry the queues: plain packet records back to back. inbox.db
// holds the outgoing queue, outbox.db the incoming one. While the server runs
// they grow with what is taken in; what leaves the queue is noted beside them
// (store_log.h) until the file is written anew.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "protocol/packet.h"

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

// Opens a file the store reads for reading, after looking at it: opening a FIFO
// would wait for a writer for good. Only a regular file, not a link: the store
// writes these files too. Loaded with `fd` open, or why not.
QueueFileLoad OpenStoredFile(const std::string& path, int& fd);

// A sound record of a queue file and its place there.
struct FileRecord {
  std::uint64_t place = 0;
  PacketPtr packet;
};

// Reads the queue file: the records `left(place)` says have left the queue are
// passed over, the others are checked. A record is sound when it checks as a
// packet from the wire does, is a message and, in the outgoing file (`toSend`),
// has a number the modem can take, which it then holds without its separators (a
// received message's sender may be a name). Anything else would be handed on
// broken: to a client, whose connection ends and every message after it with it,
// or to the modem, which would be asked to send nothing, or the same refused
// number for ever. The sound records go to `sound` in file order, the others to
// `rejects`, and `records` is the count of whole records. Unless the result is
// Loaded, nothing is added.
QueueFileLoad ReadQueueFile(const std::string& path, bool toSend, const std::function<bool(std::uint64_t)>& left,
                            std::vector<FileRecord>& sound, QueueFileRejects& rejects, std::uint64_t& records);
