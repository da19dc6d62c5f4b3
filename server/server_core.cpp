#include "server/server_core.h"

#include <cerrno>
#include <chrono>
#include <thread>
#include <unistd.h>

#include "platform/file_io.h"
#include "platform/message_window.h"
#include "serial/port/com_port.h"
#include "server/modem_worker.h"
#include "server/queue_file.h"

ServerCore::ServerCore(std::string appDir) : appDir_(std::move(appDir)) {}

ServerCore::~ServerCore() {
  if (running_) Close();
}

std::string ServerCore::FilePath(const char* name) const { return PathJoin(appDir_, name); }

std::array<ServerCore::QueueFile, 2> ServerCore::QueueFiles() {
  return {{{kOutgoingQueueFile, &state_.OutgoingQueue, &failed_[0]},
           {kIncomingQueueFile, &state_.IncomingQueue, &failed_[1]}}};
}

bool ServerCore::Start(const ServerConfig& config) {
  config_ = config;
  listener_ = std::make_unique<stream_server>(config_.UCNT);
  listener_->set_port(config_.EthernetPort);

  for (const QueueFile& f : QueueFiles()) {
    const std::string path = FilePath(f.name);
    if (!LoadQueueFile(path, *f.queue, *f.failed)) {
      ReportUnreadableQueueFile(path, errno);
      return AbandonStart();
    }
  }
  NetStartup();
  // The files still hold what was loaded until the server listens; a start that
  // ends before leaves them to the next one.
  if (!listener_->ListenerListen()) {
    LogListenFailure(config_.EthernetPort, errno);
    return AbandonStart();
  }
  if (!RemoveQueueFiles()) return AbandonStart();

  service_ = std::make_unique<ClientService>(state_, *listener_, config_, FilePath(kRegistryFile));
  service_->StartAcceptThread();
  running_ = true;
  return true;
}

bool ServerCore::RemoveQueueFiles() {
  const auto files = QueueFiles();
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::string path = FilePath(files[i].name);
    const bool setAside = SetAside(files[i]);
    if (setAside && (::unlink(path.c_str()) == 0 || errno == ENOENT)) continue;
    const int error = errno;
    // Put back those already removed, so that every file stays as it was (less
    // the records now set aside).
    for (std::size_t j = 0; j < i; ++j) SaveQueue(files[j]);
    if (setAside) ReportUnremovableQueueFile(path, error);
    else ReportUnwritableSetAsideFile(path, SetAsideFile(path), error);
    return false;
  }
  // The removals made durable: files a power cut brought back would have their
  // messages, already queued, sent again at the next start. A failed flush
  // changes nothing of this start.
  if (!files.empty()) SyncFolderOf(FilePath(files.front().name));
  return true;
}

bool ServerCore::SetAside(const QueueFile& file) {
  if (file.failed->empty()) return true;
  const std::string path = FilePath(file.name);
  if (!SetAsideRecords(path, *file.failed)) return false;
  LogSetAsideRecords(path, SetAsideFile(path), file.failed->size());
  file.failed->clear();
  return true;
}

bool ServerCore::AbandonStart() {
  state_.StopFlag.store(true);
  listener_.reset();
  NetCleanup();
  state_.OutgoingQueue.clear();
  state_.IncomingQueue.clear();
  for (auto& failed : failed_) failed.clear();
  return false;
}

void ServerCore::SaveQueue(const QueueFile& file) {
  const std::string path = FilePath(file.name);
  std::lock_guard guard(state_.QueueLock);
  if (SaveQueueFile(path, *file.queue)) return;
  const int error = errno;
  saveFaults_.push_back({path, error, file.queue->size()});
  LogUnsavedQueue(saveFaults_.back());
}

void ServerCore::AddModemPort(std::unique_ptr<TDevaCustomComPort> port) {
  ModemPort& modem = modems_.emplace_back();
  modem.port = std::move(port);
  modem.worker = std::make_unique<ModemWorker>(*modem.port, state_, config_.CheckMail, FilePath(kRegistryFile),
                                               modemLimits_);
  modem.worker->Start();
}

void ServerCore::StopModemWorkers() {
  for (ModemPort& modem : modems_) modem.worker->Stop();
}

void ServerCore::FreeModemPorts() {
  for (ModemPort& modem : modems_) modem.worker.reset();
  modems_.clear();
}

bool ServerCore::Close() {
  const SynchronizeRefusal refusal;
  const bool wasRunning = std::exchange(running_, false);
  if (wasRunning) {
    state_.StopFlag.store(true);
    // Before either queue is saved: a packet the worker puts back is saved with it.
    StopModemWorkers();
    if (closeWaitMs_ > 0) std::this_thread::sleep_for(std::chrono::milliseconds(closeWaitMs_));
    listener_->ListenerClose();
    service_->Stop();
  }
  // A queue that could not be saved before is tried again; a saved one is empty
  // and writes nothing.
  saveFaults_.clear();
  const auto files = QueueFiles();
  SaveQueue(files[0]);
  FreeModemPorts();
  SaveQueue(files[1]);
  if (wasRunning) {
    service_.reset();
    listener_.reset();
    NetCleanup();
  }
  return saveFaults_.empty();
}
