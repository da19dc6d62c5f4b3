#pragma once
// The server without its window: start-up (queues from their files, the listener,
// the accept thread) and the orderly close (threads ended, queues saved). The main
// form drives it; tests drive it directly.
#include <functional>
#include <memory>
#include <string>

#include "server/client_service.h"
#include "server/server_config.h"
#include "server/server_state.h"
#include "server/stream_server.h"

class ServerCore {
 public:
  // appDir: the folder holding the queue files and the registry file.
  explicit ServerCore(std::string appDir);
  ~ServerCore();  // Close, when started and not closed yet
  ServerCore(const ServerCore&) = delete;
  ServerCore& operator=(const ServerCore&) = delete;

  // Loads both queues from their files, listens and starts the accept thread.
  // When listening fails (a message has been shown, except for port 0) the queue
  // files are left as they were, so nothing loaded from them is lost, and false is
  // returned; the server must then end.
  bool Start(const ServerConfig& config);

  // Sets StopFlag, gives the other threads `closeWaitMs` to notice it, closes the
  // listener, ends every client thread, then writes the outgoing queue, runs
  // freeModemPorts and writes the incoming queue. Idempotent.
  void Close(const std::function<void()>& freeModemPorts = {});

  // The time Close gives connections to finish what they are doing.
  void set_close_wait_ms(int ms) { closeWaitMs_ = ms; }

  ServerState& state() { return state_; }
  // Connections being served right now (0 when not running).
  std::size_t Connections() { return service_ ? service_->Connections() : 0; }
  // The TCP port clients reach it on; 0 when not listening.
  std::uint16_t ListeningPort() const { return listener_ ? listener_->ListeningPort() : 0; }
  const ServerConfig& config() const { return config_; }
  const std::string& app_dir() const { return appDir_; }
  std::string FilePath(const char* name) const;

 private:
  const std::string appDir_;
  ServerConfig config_;
  ServerState state_;
  std::unique_ptr<stream_server> listener_;
  std::unique_ptr<ClientService> service_;
  int closeWaitMs_ = 2000;
  bool running_ = false;
};

inline constexpr const char* kConfigFile = "Config.ini";
inline constexpr const char* kRegistryFile = "registry.reg";
