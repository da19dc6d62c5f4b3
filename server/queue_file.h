#pragma once
// The files that carry the queues across a restart: plain packet records back to
// back. inbox.db holds the outgoing queue, outbox.db the incoming one.
#include <span>
#include <string>
#include <vector>

#include "server/server_state.h"

inline constexpr const char* kOutgoingQueueFile = "inbox.db";
inline constexpr const char* kIncomingQueueFile = "outbox.db";

// Appends every whole record of the file to the back of the queue, in file order;
// a trailing partial record is dropped. Each record is checked as a packet from
// the wire is: one that fails (a bad checksum, a length past the text) would end
// the connection of the client it went to, and every message sent after it would
// be lost with it, so it goes to `failed` instead, in file order. A missing file
// adds nothing. False, with errno set and nothing added, when the file is there
// but cannot be read.
bool LoadQueueFile(const std::string& path, PacketQueue& queue, std::vector<packet>& failed);

// The file beside a queue file that keeps the records which failed the check,
// for a person to look at.
std::string SetAsideFile(const std::string& path);

// Appends the records to the set-aside file of the queue file at `path` and
// flushes it. False, with errno set, when they could not be written.
bool SetAsideRecords(const std::string& path, std::span<const packet> records);

// Writes the queue into the file, front first, and empties it once the file is in
// place. An empty queue writes nothing and leaves any file alone. The file is
// written aside and renamed into place. False, with errno set, when it could not
// be written: the queue then keeps every packet and the old file is left as it was.
bool SaveQueueFile(const std::string& path, PacketQueue& queue);
