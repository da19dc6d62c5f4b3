#pragma once
// The receive side of the connection: one thread per successful connect reads
// the server's packets and acts on them. What it needs of the program around it
// (the login dialog, message boxes, the program directory) comes through
// ReceiveHooks, so this part runs and is tested without any user interface.
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "client/core/stream_client.h"
#include "protocol/message_file_appender.h"

// What the user typed into the login dialog, Windows-1251.
struct LoginAnswer {
  std::string userName;
  std::string password;
};

class ReceiveHooks {
 public:
  virtual ~ReceiveHooks() = default;
  // Directory of the client's files.
  virtual std::string AppDir() const = 0;
  // Shows the login dialog and waits until it is closed. When the user confirms,
  // `send` is called at once, before the user can do anything else, so the
  // answer reaches the server ahead of any request made after the dialog.
  using SendLogin = std::function<void(const LoginAnswer&)>;
  virtual void RunLoginDialog(const SendLogin& send) = 0;
  // A message box captioned with the server address; returns once it is closed
  // and the status line shows the current connection state.
  virtual void ShowConnectionMessage(std::string_view text) = 0;
  // A warning ("Предупреждение") the user must see, e.g. a message that could
  // not be stored; returns once it is closed.
  virtual void ShowWarning(std::string_view text) = 0;
};

// Flushes inbox.db to disk; a message that could not be stored is shown as a warning.
void FlushInbox(MessageFileAppender& inbox, ReceiveHooks& hooks);

// Acts on one verified packet from the server: 1 is appended to `inbox` (the
// caller flushes it), 2 asks for a login, 3 and 4 settle it (4 is reported);
// every other type is ignored.
void HandleServerPacket(stream_client& client, const ConnectionPtr& connection, const packet& p,
                        ReceiveHooks& hooks, MessageFileAppender& inbox);

// Runs the login dialog and, when confirmed, answers on `connection`: the one
// whose server asked, never a newer one.
void ShowLoginDialog(stream_client& client, const ConnectionPtr& connection, ReceiveHooks& hooks);

// Sends the login answer on `connection`, which then awaits the server's verdict.
void SendLoginAnswer(stream_client& client, const ConnectionPtr& connection, const LoginAnswer& answer);

// The receive loop for one connection; ends when it fails, a packet fails its
// checksum or the connection is closed, with "Сервер сбросил соединение" unless
// the user closed it.
int ClientReceiveThread(stream_client& client, ConnectionPtr connection, ReceiveHooks& hooks);

// The receive threads of one client. Finished ones are joined when the next
// starts; the rest when the owner ends (after it has closed the connection and
// released whatever a thread may be waiting for).
class ReceiveThreads {
 public:
  ReceiveThreads() = default;
  ~ReceiveThreads();
  ReceiveThreads(const ReceiveThreads&) = delete;
  ReceiveThreads& operator=(const ReceiveThreads&) = delete;

  // Starts ClientReceiveThread for the client's open connection.
  void StartReceiveThread(stream_client& client, ReceiveHooks& hooks);
  void JoinAll();
  // Threads started and not yet finished.
  std::size_t Running() const;

 private:
  struct Entry {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };
  mutable std::mutex lock_;
  std::vector<Entry> threads_;
};
