#pragma once
// One send job: a type-1 packet per recipient handed to the connection, and the
// packets the connection took recorded in outbox.db. A packet it did not take
// (a lost connection, a server that stopped reading) is counted, not recorded,
// so the sent list never shows a message that did not leave.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/date_time.h"
#include "protocol/packet.h"

// Hands one packet to the connection, which leaves it plain whatever the
// outcome; true when the connection took all of it.
using SendOnePacket = std::function<bool(packet&)>;
// Called after each packet with the count handed over so far; false stops the
// job there.
using JobProgress = std::function<bool(std::size_t sent)>;

struct SendJob {
  std::vector<std::string> numbers;  // in the order typed, empty ones included
  std::string text;                  // Windows-1251
  std::string date;                  // one date for every packet of the job
};

// The job's date: short date, a blank, long time (also at midnight).
std::string JobDateText(const DateTime& t);

// The job's packet for one recipient.
packet MessagePacket(std::string_view number, std::string_view text, std::string_view date);

struct SendJobResult {
  std::size_t notSent = 0;  // packets the connection did not take
  bool recorded = true;     // false when outbox.db could not be written
};

// Sends the packets in recipient order until done or stopped, appending each one
// the connection took to outbox.db as it goes; the file is flushed at the end.
SendJobResult RunSendJob(const SendJob& job, const std::string& outboxPath, const SendOnePacket& send,
                         const JobProgress& progress = {});
