#include "server/server_core.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/file_io.h"
#include "platform/message_window.h"
#include "platform/stderr_lines.h"
#include "serial/port/com_port.h"
#include "server/modem/modem_worker.h"
#include "server/store/set_aside.h"

namespace {

// How long the close waits for connections that its time ran out on: each reads
// what it holds whole and ends, which takes a moment, unless it is stuck.
constexpr auto kStragglers = std::chrono::milliseconds(1000);

}  // namespace

ServerCore::ServerCore(std::string appDir)
    : appDir_(std::move(appDir)), state_(std::make_shared<ServerState>(appDir_)) {}

ServerCore::~ServerCore() {
  if (running_) Close();
}

std::string ServerCore::FilePath(const char* name) const { return PathJoin(appDir_, name); }

void ServerCore::set_quiet_ms(int ms) {
  quietMs_ = ms;
  if (service_) service_->set_quiet(std::chrono::milliseconds(ms));
}

std::array<ServerCore::QueueFile, 2> ServerCore::QueueFiles() {
  return {{{kOutgoingQueueFile, &state_->OutgoingQueue, &rejects_[0]},
           {kIncomingQueueFile, &state_->IncomingQueue, &rejects_[1]}}};
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
  if (!OpenStores()) return AbandonStart();

  service_ = std::make_shared<ClientService>(state_, *listener_, config_, FilePath(kRegistryFile),
                                             FilePath(kOutgoingQueueFile));
  service_->set_quiet(std::chrono::milliseconds(quietMs_));
  service_->StartAcceptThread();
  running_ = true;
  return true;
}

bool ServerCore::LoadQueueFiles() {
  for (const QueueFile& f : QueueFiles()) {
    StoreFault fault;
    switch (f.queue->store().Load(*f.queue, *f.rejects, fault)) {
      case QueueFileLoad::Loaded:
      case QueueFileLoad::Missing:
        break;
      case QueueFileLoad::Unreadable:
        ReportUnreadableQueueFile(fault.path, fault.error);
        return false;
      case QueueFileLoad::NotAFile:
        ReportIrregularQueueFile(fault.path);
        return false;
    }
  }
  return true;
}

bool ServerCore::OpenStores() {
  const auto files = QueueFiles();
  for (std::size_t i = 0; i < files.size(); ++i) {
    StoreFault fault;
    if (files[i].queue->store().Open(fault)) continue;
    for (std::size_t j = 0; j < i; ++j) files[j].queue->store().Abandon();
    const std::string path = FilePath(files[i].name);
    if (fault.setAside) ReportUnwritableSetAsideFile(path, fault.path, fault.error);
    else ReportUnwritableQueueFile(fault.path, fault.error);
    return false;
  }
  for (const QueueFile& f : files) {
    const std::string path = FilePath(f.name);
    if (!f.rejects->empty()) LogSetAsideRecords(path, SetAsideFile(path), *f.rejects);
    *f.rejects = {};
  }
  return true;
}

bool ServerCore::AbandonStart() {
  state_->StopFlag.store(true);
  listener_.reset();
  NetCleanup();
  state_->OutgoingQueue.clear();
  state_->IncomingQueue.clear();
  rejects_ = {};
  return false;
}

void ServerCore::SaveQueue(const QueueFile& file) {
  const std::string path = FilePath(file.name);
  std::string entry;
  if (file.queue->store().Compact(entry)) {
    std::lock_guard guard(state_->QueueLock);
    file.queue->clear();
    return;
  }
  const int error = errno;
  std::lock_guard guard(state_->QueueLock);
  saveFaults_.push_back({path, entry, error, file.queue->size()});
  LogUnsavedQueue(saveFaults_.back());
}

void ServerCore::AddModemPort(std::unique_ptr<TDevaCustomComPort> port) {
  ModemPort& modem = modems_.emplace_back();
  modem.port = std::move(port);
  modem.worker = std::make_unique<ModemWorker>(*modem.port, *state_, config_.CheckMail, FilePath(kRegistryFile),
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
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(closeWaitMs_);
    // The connections take in what their clients still send while the others end.
    service_->BeginStop(deadline);
    // Before either queue is saved: a packet the worker puts back is saved with it.
    StopModemWorkers();
    service_->WaitForConnections(deadline + kStragglers);
    if (!service_->Stop(kStragglers))
      StderrPrintf("trelmsrv: %zu client connections did not end in time; the queues are saved without them\n",
                   service_->Connections());
  }
  // A queue that could not be saved before is tried again; a saved one has
  // nothing left to write.
  saveFaults_.clear();
  const auto files = QueueFiles();
  SaveQueue(files[0]);
  FreeModemPorts();
  SaveQueue(files[1]);
  if (wasRunning) {
    service_.reset();  // a thread that did not end holds it on
    listener_.reset();
    NetCleanup();
  }
  return saveFaults_.empty();
}
