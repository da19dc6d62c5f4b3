#pragma once
// The server without its window: start-up (queues from their stores, the
// listener, the accept thread), the modem port with its worker, and the orderly
// close (threads ended, stores compacted). The main form drives it; tests drive
// it directly.
#include <array>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "server/clients/client_service.h"
#include "server/clients/server_config.h"
#include "server/clients/stream_server.h"
#include "server/modem/modem_limits.h"
#include "server/modem/port_open_report.h"
#include "server/store/queue_file.h"
#include "server/store/queue_file_report.h"
#include "server/store/server_state.h"

class ModemWorker;
class TDevaCustomComPort;

class ServerCore {
 public:
  // appDir: the folder holding the queue files and the registry file.
  explicit ServerCore(std::string appDir);
  ~ServerCore();  // Close, when started and not closed yet
  ServerCore(const ServerCore&) = delete;
  ServerCore& operator=(const ServerCore&) = delete;

  // Loads both queues from their stores, listens, sets aside the records that are
  // no sound message (each file's beside it, said on standard error), lets the
  // stores take over their files and starts the accept thread. False when the
  // server must end: a queue file or its log could not be read or is no regular
  // file, listening failed, or a store could not write its files or set aside
  // what it must (each reported). The queue files, their logs and their set-aside
  // files then say what they said before, so nothing in them is lost, sent twice
  // or set aside twice.
  bool Start(const ServerConfig& config);

  // Sets StopFlag and stops the modem workers (each lets the modem finish a
  // part's confirmation or the delete of a message taken from the SIM, up to
  // about 10 s); the listener takes in the clients waiting in its backlog and
  // closes, and each connection reads what its client still sends until it has
  // been quiet for a moment, for `closeWaitMs` at most. Then every client thread
  // is ended, the outgoing store is compacted, the modem ports are freed and the
  // incoming store is compacted, so the queue files hold exactly the queues. True
  // when both are saved. A queue whose records could not all be written keeps
  // them and is logged on standard error (save_faults() says which); calling
  // Close again tries it again. The close never waits for ever: a client thread
  // that does not end in time is left to end by itself, and what it holds was in
  // the stores already. Threads that wait for the main thread meanwhile (a
  // message box of theirs) are let go.
  bool Close();

  // The modem ports the server drives (OpenModemPort keeps it to one).
  std::size_t ModemPortCount() const { return modems_.size(); }
  // The worker of the modem the server drives; null while it has none.
  ModemWorker* Modem() const { return modems_.empty() ? nullptr : modems_.front().worker.get(); }
  // Takes an open modem port and starts the modem worker on it; the port is freed
  // by Close, after the worker has ended.
  void AddModemPort(std::unique_ptr<TDevaCustomComPort> port);

  // Says on standard error why the modem's port did not open, once per cause.
  PortOpenReport& port_open_report() { return portOpenReport_; }

  // The queue files the last Close could not write.
  const std::vector<QueueFileFault>& save_faults() const { return saveFaults_; }

  // The time Close gives connections to finish what they are doing.
  void set_close_wait_ms(int ms) { closeWaitMs_ = ms; }
  // How long a connection must be quiet after a stop to be done (200 ms).
  void set_quiet_ms(int ms);
  // The most messages a queue holds (kQueueLimit); set before Start.
  void set_queue_limit(std::size_t limit) { state_->QueueLimit = limit; }
  // How long the modem workers started from now on wait for the modem's answers.
  void set_modem_limits(const ModemLimits& limits) { modemLimits_ = limits; }

  ServerState& state() { return *state_; }
  // Connections being served right now (0 when not running).
  std::size_t Connections() { return service_ ? service_->Connections() : 0; }
  // The TCP port clients reach it on; 0 when not listening.
  std::uint16_t ListeningPort() const { return listener_ ? listener_->ListeningPort() : 0; }
  const ServerConfig& config() const { return config_; }
  const std::string& app_dir() const { return appDir_; }
  std::string FilePath(const char* name) const;

 private:
  struct QueueFile {
    const char* name;
    PacketQueue* queue;
    QueueFileRejects* rejects;  // what the load found, until set aside
  };
  // In the order they are saved at close: the outgoing queue first.
  std::array<QueueFile, 2> QueueFiles();
  bool LoadQueueFiles();
  // The last step of the start: the stores take over their files, all or none.
  bool OpenStores();
  bool AbandonStart();  // false
  void SaveQueue(const QueueFile& file);
  void StopModemWorkers();
  void FreeModemPorts();

  struct ModemPort {
    std::unique_ptr<TDevaCustomComPort> port;
    std::unique_ptr<ModemWorker> worker;  // uses the port: goes first
  };

  const std::string appDir_;
  ServerConfig config_;
  // Shared with the client service, whose threads hold it while they run.
  std::shared_ptr<ServerState> state_;
  std::unique_ptr<stream_server> listener_;
  std::shared_ptr<ClientService> service_;
  std::vector<ModemPort> modems_;  // after state_, which the workers use
  std::vector<QueueFileFault> saveFaults_;
  std::array<QueueFileRejects, 2> rejects_;  // QueueFiles' order
  int closeWaitMs_ = 2000;
  int quietMs_ = 200;
  ModemLimits modemLimits_;
  PortOpenReport portOpenReport_;
  bool running_ = false;
};

inline constexpr const char* kConfigFile = "Config.ini";
inline constexpr const char* kRegistryFile = "registry.reg";
