#include "server/store/server_state.h"

void PacketQueue::push_back(PacketPtr p) {
  items_.push_back(std::move(p));
  Counted();
}

void PacketQueue::push_front(PacketPtr p) {
  items_.push_front(std::move(p));
  Counted();
}

PacketPtr PacketQueue::TakeFront() {
  PacketPtr p = std::move(items_.front());
  items_.pop_front();
  Counted();
  return p;
}

void PacketQueue::clear() {
  items_.clear();
  Counted();
}
