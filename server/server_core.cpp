#include "server/server_core.h"

#include <chrono>
#include <cstdio>
#include <thread>
#include <unistd.h>

#include "platform/file_io.h"
#include "server/queue_file.h"

ServerCore::ServerCore(std::string appDir) : appDir_(std::move(appDir)) {}

ServerCore::~ServerCore() {
  if (running_) Close();
}

std::string ServerCore::FilePath(const char* name) const { return PathJoin(appDir_, name); }

bool ServerCore::Start(const ServerConfig& config) {
  config_ = config;
  listener_ = std::make_unique<stream_server>(static_cast<std::int32_t>(config_.UCNT));
  listener_->set_port(static_cast<std::int32_t>(config_.EthernetPort));

  LoadQueueFile(FilePath(kOutgoingQueueFile), state_.OutgoingQueue);
  LoadQueueFile(FilePath(kIncomingQueueFile), state_.IncomingQueue);

  NetStartup();
  if (!listener_->ListenerListen()) {
    state_.StopFlag.store(true);
    NetCleanup();
    listener_.reset();
    // The files still hold what was loaded; they are read again at the next start.
    state_.OutgoingQueue.clear();
    state_.IncomingQueue.clear();
    return false;
  }
  // The queues live in memory from now on, and are written back at close.
  ::unlink(FilePath(kOutgoingQueueFile).c_str());
  ::unlink(FilePath(kIncomingQueueFile).c_str());

  service_ = std::make_unique<ClientService>(state_, *listener_, config_, FilePath(kRegistryFile));
  service_->StartAcceptThread();
  running_ = true;
  return true;
}

namespace {

void Save(const std::string& path, ServerState& state, PacketQueue& queue) {
  std::lock_guard guard(state.QueueLock);
  if (!SaveQueueFile(path, queue)) std::fprintf(stderr, "trelmsrv: could not write %s\n", path.c_str());
}

}  // namespace

void ServerCore::Close(const std::function<void()>& freeModemPorts) {
  if (!running_) return;
  running_ = false;
  state_.StopFlag.store(true);
  if (closeWaitMs_ > 0) std::this_thread::sleep_for(std::chrono::milliseconds(closeWaitMs_));
  listener_->ListenerClose();
  service_->Stop();

  Save(FilePath(kOutgoingQueueFile), state_, state_.OutgoingQueue);
  if (freeModemPorts) freeModemPorts();
  Save(FilePath(kIncomingQueueFile), state_, state_.IncomingQueue);

  service_.reset();
  listener_.reset();
  NetCleanup();
}
