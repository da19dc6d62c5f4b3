#pragma once
// Messages to store as the simulator program takes them, one a line:
//   SENDER;TIME;TEXT   TIME as 2026-03-12 14:05:23 (seconds optional) in local
//                      time, or empty for now; TEXT is the rest of the line
//   pdu;HEX            a PDU stored as given
// In a file, blank lines and lines starting with # are skipped.
#include <string>
#include <string_view>
#include <vector>

#include "tools/modem_sim/deliver_pdu.h"

struct MessageLine {
  bool raw = false;
  ReceivedSms sms;  // when not raw
  std::string pdu;  // when raw
};

// Throws std::invalid_argument saying what is wrong with the line.
MessageLine ParseMessageLine(std::string_view line);

// Every message of a file; throws std::invalid_argument naming the file and line.
std::vector<MessageLine> ReadMessageLines(const std::string& path);

// The local time now, with its offset from UTC.
SmsTime LocalSmsTime();
