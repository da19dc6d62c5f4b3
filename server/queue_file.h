#pragma once
// The files that carry the queues across a restart: plain packet records back to
// back. inbox.db holds the outgoing queue, outbox.db the incoming one.
#include <string>

#include "server/server_state.h"

inline constexpr const char* kOutgoingQueueFile = "inbox.db";
inline constexpr const char* kIncomingQueueFile = "outbox.db";

// Appends every whole record of the file to the back of the queue, in file order;
// a trailing partial record is dropped. A missing file adds nothing. Checksums are
// not checked: the records were checked when they arrived. False, with errno set
// and nothing added, when the file is there but cannot be read.
bool LoadQueueFile(const std::string& path, PacketQueue& queue);

// Writes the queue into the file, front first, and empties it once the file is in
// place. An empty queue writes nothing and leaves any file alone. The file is
// written aside and renamed into place. False, with errno set, when it could not
// be written: the queue then keeps every packet and the old file is left as it was.
bool SaveQueueFile(const std::string& path, PacketQueue& queue);
