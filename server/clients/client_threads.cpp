#include "server/clients/client_threads.h"

#include <exception>
#include <sys/socket.h>
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
  try {
    Client& client = running_[id];
    client.socket = socket;
    // The new thread's first step, Finished, needs lock_ only at its end, and the
    // entry exists before the thread can reach it.
    client.thread = std::thread([this, id, socket, serve = std::move(serve)] {
      serve(socket);
      Finished(id);
    });
  } catch (const std::exception&) {
    // No thread, or no memory for one: this connection is not served.
    running_.erase(id);
    ::close(socket);
  }
}

void ClientThreads::Finished(std::uint64_t id) {
  std::lock_guard guard(lock_);
  auto it = running_.find(id);
  ::close(it->second.socket);
  // A thread left to end by itself is detached already: there is nothing to join.
  if (it->second.thread.joinable()) finished_.push_back(std::move(it->second.thread));
  running_.erase(it);
  if (running_.empty()) allEnded_.notify_all();
}

bool ClientThreads::StopAll(std::chrono::milliseconds limit) {
  bool ended = true;
  {
    std::unique_lock guard(lock_);
    stopping_ = true;
    for (auto& [id, client] : running_) ::shutdown(client.socket, SHUT_RDWR);
    const auto done = [this] { return running_.empty(); };
    if (limit == std::chrono::milliseconds::max()) allEnded_.wait(guard, done);
    else ended = allEnded_.wait_for(guard, limit, done);
    if (!ended)
      for (auto& [id, client] : running_)
        if (client.thread.joinable()) client.thread.detach();
  }
  for (std::thread& t : TakeFinished()) t.join();
  return ended;
}

std::size_t ClientThreads::Running() {
  std::lock_guard guard(lock_);
  return running_.size();
}

bool ClientThreads::WaitUntilNone(std::chrono::steady_clock::time_point until) {
  std::unique_lock guard(lock_);
  return allEnded_.wait_until(guard, until, [this] { return running_.empty(); });
}
