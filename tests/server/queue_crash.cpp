#include "tests/server/queue_crash.h"

packet CrashMessage(int i) {
  packet p;
  PacketInit(p);
  p.set_type(kPacketMessage);
  PacketSetNumber(p, "+7916000" + std::to_string(1000 + i));
  PacketSetDate(p, "09.12.2026 21:16:07");
  PacketSetText(p, "m" + std::to_string(i));
  return p;
}

std::vector<int> StoreDayQueue() {
  std::vector<int> queue;
  for (int i = 13; i < 100; ++i) queue.push_back(i);
  queue.push_back(10);
  queue.push_back(11);
  for (int i = 100; i <= 120; ++i) queue.push_back(i);
  return queue;
}
