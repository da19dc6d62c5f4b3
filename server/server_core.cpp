#include "server/server_core.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <thread>
#include <unistd.h>

#include "platform/file_io.h"
#include "platform/message_window.h"
#include "serial/port/com_port.h"
#include "server/modem/modem_worker.h"
#include "server/store/set_aside.h"

ServerCore::ServerCore(std::string appDir) : appDir_(std::move(appDir)) {}

ServerCore::~ServerCore() {
  if (running_) Close();
}

std::string ServerCore::FilePath(const char* name) const { return PathJoin(appDir_, name); }

std::array<ServerCore::QueueFile, 2> ServerCore::QueueFiles() {
  return {{{kOutgoingQueueFile, &state_.OutgoingQueue, true, &loaded_[0]},
           {kIncomingQueueFile, &state_.IncomingQueue, false, &loaded_[1]}}};
}

bool ServerCore::Start(const ServerConfig& config) {
  config_ = config;
  listener_ = std::make_unique<stream_server>(config_.UCNT);
  listener_->set_port(config_.EthernetPort);

  if (!LoadQueueFiles()) return AbandonStart();
  NetStartup();
  // Nothing on disk changes until the server listens; a start that ends before
  // leaves every file to the next one.
  if (!listener_->ListenerListen()) {
    LogListenFailure(config_.EthernetPort, errno);
    return AbandonStart();
  }
  if (!CommitQueueFiles()) return AbandonStart();

  service_ = std::make_unique<ClientService>(state_, *listener_, config_, FilePath(kRegistryFile),
                                             FilePath(kOutgoingQueueFile));
  service_->StartAcceptThread();
  running_ = true;
  return true;
}

bool ServerCore::LoadQueueFiles() {
  for (const QueueFile& f : QueueFiles()) {
    const std::string path = FilePath(f.name);
    switch (LoadQueueFile(path, f.toSend, *f.queue, f.loaded->rejects)) {
      case QueueFileLoad::Loaded:
        f.loaded->present = true;
        break;
      case QueueFileLoad::Missing:
        break;
      case QueueFileLoad::Unreadable:
        ReportUnreadableQueueFile(path, errno);
        return false;
      case QueueFileLoad::NotAFile:
        ReportIrregularQueueFile(path);
        return false;
    }
  }
  return true;
}

namespace {

// Where a loaded queue file goes on its way out.
std::string Removing(const std::string& path) { return path + ".removing"; }

}  // namespace

// A loaded file is renamed out of the way before it is removed: what keeps a file
// from being removed (a read-only folder, a file mounted over it) keeps it from
// being renamed too, and one renamed already goes back by a rename, which needs no
// room, where a removed one would have to be written anew, and could fail to be.
bool ServerCore::CommitQueueFiles() {
  const auto files = QueueFiles();
  std::array<SetAsideMark, 2> marks;
  std::size_t setAside = 0;
  const auto undoSetAside = [&] {
    for (std::size_t j = 0; j < setAside; ++j)
      if (!files[j].loaded->rejects.empty()) UndoSetAside(FilePath(files[j].name), marks[j]);
  };
  for (; setAside < files.size(); ++setAside) {
    const std::string path = FilePath(files[setAside].name);
    if (SetAsideRejects(path, files[setAside].loaded->rejects, marks[setAside])) continue;
    const int error = errno;
    undoSetAside();
    ReportUnwritableSetAsideFile(path, SetAsideFile(path), error);
    return false;
  }
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::string path = FilePath(files[i].name);
    if (!files[i].loaded->present || std::rename(path.c_str(), Removing(path).c_str()) == 0) continue;
    const int error = errno;
    for (std::size_t j = 0; j < i; ++j) {
      const std::string moved = FilePath(files[j].name);
      if (files[j].loaded->present && std::rename(Removing(moved).c_str(), moved.c_str()) != 0)
        LogUnrestoredQueueFile(moved, Removing(moved), errno);
    }
    undoSetAside();
    ReportUnremovableQueueFile(path, error);
    return false;
  }
  for (const QueueFile& f : files) {
    const std::string path = FilePath(f.name);
    if (f.loaded->present) ::unlink(Removing(path).c_str());
    if (!f.loaded->rejects.empty()) LogSetAsideRecords(path, SetAsideFile(path), f.loaded->rejects);
    *f.loaded = {};
  }
  // The removals made durable: files a power cut brought back would have their
  // messages, already queued, sent again at the next start. A failed flush
  // changes nothing of this start.
  SyncFolderOf(FilePath(files.front().name));
  return true;
}

bool ServerCore::AbandonStart() {
  state_.StopFlag.store(true);
  listener_.reset();
  NetCleanup();
  state_.OutgoingQueue.clear();
  state_.IncomingQueue.clear();
  loaded_ = {};
  return false;
}

void ServerCore::SaveQueue(const QueueFile& file) {
  const std::string path = FilePath(file.name);
  std::lock_guard guard(state_.QueueLock);
  std::string entry;
  if (SaveQueueFile(path, *file.queue, &entry)) return;
  const int error = errno;
  saveFaults_.push_back({path, entry, error, file.queue->size()});
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
    // The connections take in what they hold while the others end.
    service_->BeginStop();
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
