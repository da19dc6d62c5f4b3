#pragma once
// The server without its window: start-up (queues from their files, the listener,
// the accept thread), the modem port with its worker, and the orderly close
// (threads ended, queues saved). The main form drives it; tests drive it directly.
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "server/clients/client_service.h"
#include "server/modem/modem_limits.h"
#include "server/modem/port_open_report.h"
#include "server/store/queue_file.h"
#include "server/store/queue_file_report.h"
#include "server/clients/server_config.h"
#include "server/store/server_state.h"
#include "server/clients/stream_server.h"

class ModemWorker;
class TDevaCustomComPort;

class ServerCore {
 public:
  // appDir: the folder holding the queue files and the registry file.
  explicit ServerCore(std::string appDir);
  ~ServerCore();  // Close, when started and not closed yet
  ServerCore(const ServerCore&) = delete;
  ServerCore& operator=(const ServerCore&) = delete;

  // Loads both queues from their files, listens, sets aside the records that are
  // no sound message (each file's beside it, said on standard error), removes the
  // files and starts the accept thread. False when the server must end: a queue
  // file could not be read or is no regular file, listening failed, or a loaded
  // file could not be set aside or removed (each reported). The queue files and
  // their set-aside files are then left exactly as they were, so nothing in them
  // is lost, sent twice or set aside twice.
  bool Start(const ServerConfig& config);

  // Sets StopFlag, stops the modem workers, gives the other threads `closeWaitMs`
  // to notice the flag, closes the listener, ends every client thread, then writes
  // the outgoing queue, frees the modem ports and writes the incoming queue. True
  // when both queues are saved. A queue that could not be written keeps its
  // packets and is logged on standard error (save_faults() says which); calling
  // Close again tries it again. Threads that wait for the main thread meanwhile
  // (a message box of theirs) are let go, so the close never waits for ever.
  bool Close();

  // The modem ports the server drives (OpenModemPort keeps it to one).
  std::size_t ModemPortCount() const { return modems_.size(); }
  // Takes an open modem port and starts the modem worker on it; the port is freed
  // by Close, after the worker has ended.
  void AddModemPort(std::unique_ptr<TDevaCustomComPort> port);

  // Says on standard error why the modem's port did not open, once per cause.
  PortOpenReport& port_open_report() { return portOpenReport_; }

  // The queue files the last Close could not write.
  const std::vector<QueueFileFault>& save_faults() const { return saveFaults_; }

  // The time Close gives connections to finish what they are doing.
  void set_close_wait_ms(int ms) { closeWaitMs_ = ms; }
  // How long the modem workers started from now on wait for the modem's answers.
  void set_modem_limits(const ModemLimits& limits) { modemLimits_ = limits; }

  ServerState& state() { return state_; }
  // Connections being served right now (0 when not running).
  std::size_t Connections() { return service_ ? service_->Connections() : 0; }
  // The TCP port clients reach it on; 0 when not listening.
  std::uint16_t ListeningPort() const { return listener_ ? listener_->ListeningPort() : 0; }
  const ServerConfig& config() const { return config_; }
  const std::string& app_dir() const { return appDir_; }
  std::string FilePath(const char* name) const;

 private:
  // What the start found in a queue file.
  struct Loaded {
    bool present = false;
    QueueFileRejects rejects;  // what was not queued from it, until set aside
  };
  struct QueueFile {
    const char* name;
    PacketQueue* queue;
    bool toSend;  // its numbers must be ones the modem can take
    Loaded* loaded;
  };
  // In the order they are written at close: the outgoing queue first.
  std::array<QueueFile, 2> QueueFiles();
  bool LoadQueueFiles();
  // The last step of the start: the rejects set aside and the loaded files removed,
  // all or nothing.
  bool CommitQueueFiles();
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
  ServerState state_;
  std::unique_ptr<stream_server> listener_;
  std::unique_ptr<ClientService> service_;
  std::vector<ModemPort> modems_;  // after state_, which the workers use
  std::vector<QueueFileFault> saveFaults_;
  std::array<Loaded, 2> loaded_;  // QueueFiles' order
  int closeWaitMs_ = 2000;
  ModemLimits modemLimits_;
  PortOpenReport portOpenReport_;
  bool running_ = false;
};

inline constexpr const char* kConfigFile = "Config.ini";
inline constexpr const char* kRegistryFile = "registry.reg";
