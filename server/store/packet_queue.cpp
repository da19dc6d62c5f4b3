#include "server/store/packet_queue.h"

#include <algorithm>

#include "server/store/message_store.h"

void PacketQueue::Append(PacketPtr p) {
  // A place first: a store that has the record and a queue that failed to grow
  // would leave a message in the file that no thread could send.
  items_.emplace_back();
  try {
    items_.back().id = store_.Append(*p);
  } catch (...) {
    items_.pop_back();
    throw;
  }
  items_.back().packet = std::move(p);
  Counted();
}

void PacketQueue::push_back(QueuedPacket p) {
  items_.push_back(std::move(p));
  Counted();
}

void PacketQueue::push_front(QueuedPacket p) {
  items_.push_front(std::move(p));
  Counted();
}

void PacketQueue::PutBackInOrder(QueuedPacket p) {
  const auto later = std::find_if(items_.begin(), items_.end(), [&](const QueuedPacket& q) { return q.id > p.id; });
  items_.insert(later, std::move(p));
  Counted();
}

QueuedPacket PacketQueue::TakeFront() {
  QueuedPacket p = std::move(items_.front());
  items_.pop_front();
  Counted();
  return p;
}

void PacketQueue::clear() {
  items_.clear();
  Counted();
}
