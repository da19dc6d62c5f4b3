#pragma once
// The file beside a queue file that keeps what was not queued from it, for a
// person to look at: the damaged records of the file at start, and messages that
// clients handed in to numbers the modem can never take. It is a message file of
// whole records like the queue file, and only grows.
#include <cstdint>
#include <string>

#include "protocol/packet.h"
#include "server/store/queue_file.h"

// inbox.db.bad beside inbox.db.
std::string SetAsideFile(const std::string& queuePath);

// The set-aside file as it was before a start added to it, so that a start refused
// afterwards leaves it as it found it.
struct SetAsideMark {
  bool existed = false;
  std::uint64_t size = 0;  // its whole records
};

// Copies the rejected records of the queue file at `queuePath`, which is still in
// place, to the end of its set-aside file in file order (a record cut short as one
// record, padded with zero bytes, so that the file stays one of whole records) and
// flushes it. `mark` is what the file was before. False, with errno set, when they
// could not all be kept: the set-aside file is then put back as it was.
bool SetAsideRejects(const std::string& queuePath, const QueueFileRejects& rejects, SetAsideMark& mark);

// Puts the set-aside file of the queue file back as `mark` found it.
void UndoSetAside(const std::string& queuePath, const SetAsideMark& mark);

// Appends one packet to the set-aside file of the queue file and flushes it.
// False, with errno set, when it could not be written.
bool SetAsidePacket(const std::string& queuePath, const packet& p);
