// How fast the SMS codec builds and parses: a 1024-character Cyrillic text,
// which goes as 17 UCS2 parts. Prints PDUs per second for each direction.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "protocol/packet.h"
#include "server/modem/send_message.h"
#include "sms/tsms.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string CyrillicText(std::size_t n) {
  std::string s;
  for (std::size_t i = 0; i < n; ++i) s += static_cast<char>(i % 11 == 10 ? ' ' : 0xC0 + i % 64);
  return s;
}

template <class Step>
double PerSecond(std::size_t pdusPerStep, Step step) {
  const auto minimum = std::chrono::seconds(1);
  std::size_t pdus = 0;
  const auto start = Clock::now();
  auto now = start;
  while (now - start < minimum) {
    for (int i = 0; i < 20; ++i) {
      step();
      pdus += pdusPerStep;
    }
    now = Clock::now();
  }
  return static_cast<double>(pdus) / std::chrono::duration<double>(now - start).count();
}

}  // namespace

int main() {
  packet msg{};
  PacketInit(msg);
  PacketSetNumber(msg, "+79161234567");
  PacketSetText(msg, CyrillicText(1024));

  std::vector<std::string> pdus;
  const auto send = [&] {
    pdus.clear();
    SendMessageText(
        msg, [&](const std::string& pdu) { pdus.push_back(pdu); return true; }, [] { return std::string("2A"); });
  };
  send();
  const std::size_t parts = pdus.size();

  std::size_t checksum = 0;
  const double built = PerSecond(parts, send);
  const double parsed = PerSecond(parts, [&] {
    for (const auto& pdu : pdus) {
      TSMS sms;
      sms.ParsePdu(pdu);
      checksum += sms.GetNumber().size() + sms.GetTimestamp().size() + sms.GetText().size();
    }
  });
  std::printf("1024-character Cyrillic text, %zu UCS2 parts\n", parts);
  std::printf("built:  %.0f PDUs/s\n", built);
  std::printf("parsed: %.0f PDUs/s (number, time stamp and text of each)\n", parsed);
  return checksum == 0 ? 1 : 0;
}
