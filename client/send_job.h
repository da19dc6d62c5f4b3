#pragma once
// One send job: a type-1 packet per recipient handed to the connection, and every
// packet recorded in outbox.db, whether or not its send succeeded.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/date_time.h"
#include "protocol/packet.h"

// Hands one packet to the connection (the connection reports no result).
using SendOnePacket = std::function<void(packet&)>;
// Called after each packet with the count handed over so far.
using JobProgress = std::function<void(std::size_t sent)>;

struct SendJob {
  std::vector<std::string> numbers;  // in the order typed, empty ones included
  std::string text;                  // Windows-1251
  std::string date;                  // one date for every packet of the job
};

// The job's date: short date, a blank, long time (also at midnight).
std::string JobDateText(const DateTime& t);

// The job's packet for one recipient.
packet MessagePacket(std::string_view number, std::string_view text, std::string_view date);

// Sends the packets in recipient order, then appends them all to outbox.db in one
// atomic replace. False when outbox.db could not be written.
bool RunSendJob(const SendJob& job, const std::string& outboxPath, const SendOnePacket& send,
                const JobProgress& progress = {});
