#include "server/server_state.h"

std::size_t ServerState::OutgoingCount() {
  std::lock_guard guard(QueueLock);
  return OutgoingQueue.size();
}

std::size_t ServerState::IncomingCount() {
  std::lock_guard guard(QueueLock);
  return IncomingQueue.size();
}
