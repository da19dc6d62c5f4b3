#pragma once
// The files that carry the queues across a restart: plain packet records back to
// back. inbox.db holds the outgoing queue, outbox.db the incoming one.
#include <string>

#include "server/server_state.h"

inline constexpr const char* kOutgoingQueueFile = "inbox.db";
inline constexpr const char* kIncomingQueueFile = "outbox.db";

// Appends every whole record of the file to the back of the queue, in file order;
// a trailing partial record is dropped. A missing file adds nothing. Checksums are
// not checked: the records were checked when they arrived.
void LoadQueueFile(const std::string& path, PacketQueue& queue);

// Empties the queue into the file, front first. An empty queue writes nothing and
// leaves any file alone. The file is written aside and renamed into place. False
// when it could not be written.
bool SaveQueueFile(const std::string& path, PacketQueue& queue);
