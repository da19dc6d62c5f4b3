#include "server/clients/client_threads.h"

#include <sys/socket.h>
#include <system_error>
#include <unistd.h>

ClientThreads::~ClientThreads() { StopAll(); }

std::vector<std::thread> ClientThreads::TakeFinished() {
  std::lock_guard guard(lock_);
  return std::exchange(finished_, {});
}

void ClientThreads::Start(int socket, std::function<void(int)> serve) {
  for (std::thread& t : TakeFinished()) t.join();

  std::lock_guard guard(lock_);
  if (stopping_) {
    ::close(socket);
    return;
  }
  const std::uint64_t id = nextId_++;
  Client& client = running_[id];
  client.socket = socket;
  try {
    // The new thread's first step, Finished, needs lock_ only at its end, and the
    // entry exists before the thread can reach it.
    client.thread = std::thread([this, id, socket, serve = std::move(serve)] {
      serve(socket);
      Finished(id);
    });
  } catch (const std::system_error&) {
    running_.erase(id);
    ::close(socket);
  }
}

void ClientThreads::Finished(std::uint64_t id) {
  std::lock_guard guard(lock_);
  auto it = running_.find(id);
  ::close(it->second.socket);
  finished_.push_back(std::move(it->second.thread));
  running_.erase(it);
  if (running_.empty()) allEnded_.notify_all();
}

void ClientThreads::StopAll() {
  {
    std::unique_lock guard(lock_);
    stopping_ = true;
    for (auto& [id, client] : running_) ::shutdown(client.socket, SHUT_RDWR);
    allEnded_.wait(guard, [this] { return running_.empty(); });
  }
  for (std::thread& t : TakeFinished()) t.join();
}

std::size_t ClientThreads::Running() {
  std::lock_guard guard(lock_);
  return running_.size();
}
