#pragma once
// Where a queue is kept while the server runs, so that a crash, a power cut or a
// kill at any moment loses none of what the server had taken. What is taken in
// (a hand-in, a message read from the SIM) is appended; what leaves the queue (a
// message sent, or handed to a client) is acknowledged, and a message the modem
// did not send goes to the back; at the close the store is compacted, so its file
// holds exactly the queue. The queue in memory (PacketQueue) is the one the
// threads take from; the store keeps the same queue on disk.
#include <string>

#include "server/store/packet_queue.h"
#include "server/store/queue_file.h"

// Why a store could not load or take over its files at start.
struct StoreFault {
  std::string path;  // the file that could not be read or written
  int error = 0;     // errno
  bool setAside = false;  // it was the set-aside file (the damaged records had nowhere to go)
};

class MessageStore {
 public:
  virtual ~MessageStore() = default;

  // At start: appends the queue that the store's files hold to `queue`, front
  // first, and notes in `rejects` the records that are no sound message. Changes no
  // file. Unless the result is Loaded (or Missing: no files), nothing is added and
  // `fault` names the file.
  virtual QueueFileLoad Load(PacketQueue& queue, QueueFileRejects& rejects, StoreFault& fault) = 0;
  // The start goes on: the rejects are set aside and the store takes over its
  // files. False, with `fault` saying which file and why, leaves them as Load
  // found them.
  virtual bool Open(StoreFault& fault) = 0;
  // A start refused after Open: the files go back to what Load found.
  virtual void Abandon() = 0;

  // Takes a record in. It is on disk within about 100 ms, in a batch with others,
  // or once Flush has returned true.
  virtual RecordId Append(const packet& p) = 0;
  // The record left the queue: sent, handed to a client, or not taken after all.
  virtual void Acknowledge(RecordId id) = 0;
  // The record goes to the back of the queue, behind every record taken so far.
  virtual void MoveToBack(RecordId id) = 0;
  // Waits until every change made so far is on disk. False, with errno set, when
  // it could not be written; the store goes on trying.
  virtual bool Flush() = 0;
  // The close: the queue file is written anew with exactly the queue, and nothing
  // is left beside it. False, with errno set and `failedEntry` naming the file
  // that could not be written, when not every record taken could be (the store
  // keeps them, and Compact may be tried again).
  virtual bool Compact(std::string& failedEntry) = 0;
};
