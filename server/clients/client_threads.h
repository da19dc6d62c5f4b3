#pragma once
// One thread per connected client. Threads that end are joined by the next start,
// so thousands of short connections leave nothing behind; StopAll wakes the
// connections still open and joins every thread, so none outlives the queues.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

class ClientThreads {
 public:
  ClientThreads() = default;
  ~ClientThreads();  // StopAll, waiting for as long as it takes
  ClientThreads(const ClientThreads&) = delete;
  ClientThreads& operator=(const ClientThreads&) = delete;

  // Runs serve(socket) on a thread of its own and closes the socket when it returns.
  // After StopAll, or when no thread can be made, the socket is closed at once.
  void Start(int socket, std::function<void(int)> serve);

  // Shuts every open connection down both ways (a pending receive or send fails)
  // and joins all threads. A thread that has not ended within `limit` is left to
  // end by itself, detached: false then. What its serve uses must then outlive it,
  // and so must this object, which it tells when it ends. Starts nothing afterwards.
  bool StopAll(std::chrono::milliseconds limit = std::chrono::milliseconds::max());

  std::size_t Running();
  // Waits until no connection is served, or `until`; false then.
  bool WaitUntilNone(std::chrono::steady_clock::time_point until);

 private:
  void Finished(std::uint64_t id);
  std::vector<std::thread> TakeFinished();

  struct Client {
    int socket = -1;
    std::thread thread;
  };
  std::mutex lock_;
  std::condition_variable allEnded_;
  std::map<std::uint64_t, Client> running_;
  std::vector<std::thread> finished_;
  std::uint64_t nextId_ = 0;
  bool stopping_ = false;
};
