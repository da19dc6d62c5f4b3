#pragma once
// One client's connection as the thread that serves it reads it: whole packets,
// until the connection ends or the server stops. A stop does not cut off what the
// client has handed over already: the client counts a message as sent once its
// connection took it, and more of what it sent may still be on its way from the
// client's machine. So after a stop the connection is read until it has been
// quiet for a moment; once the close's time is up, the packets that are whole in
// the connection are still read, and only then does it end.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "protocol/packet.h"

// How a stop reaches the connections.
struct ConnectionStop {
  using Clock = std::chrono::steady_clock;

  // Turns true when the server stops; `wake` (a descriptor) turns readable then.
  const std::atomic<bool>& stopping;
  int wake;
  // The close's time is up at this moment (the steady clock's count), set before
  // `stopping` turns true.
  const std::atomic<Clock::rep>& deadline;
  // A connection this long without a byte after the stop has said all it had.
  std::chrono::milliseconds quiet;
};

class ClientConnection {
 public:
  // `stop` and what it names must outlive the connection.
  ClientConnection(int socket, const ConnectionStop& stop) : socket_(socket), stop_(stop) {}

  // Reads one whole record, deciphers it and checks it. False when the connection
  // ended or failed first, the record fails its check, or the server stopped and
  // the connection fell quiet or the close's time ran out with no whole packet
  // left waiting.
  bool ReceivePacket(packet& p);

 private:
  using Clock = ConnectionStop::Clock;

  // Whole packets the connection holds with the `inHand` bytes already read.
  std::size_t WaitingPackets(std::size_t inHand) const;
  // Waits for bytes: for good before the stop, then until the connection has been
  // quiet for its while or the close's time is up. False when it could not wait.
  bool WaitReadable();

  const int socket_;
  const ConnectionStop& stop_;
  bool stopSeen_ = false;
  Clock::time_point deadline_;
  Clock::time_point lastBytes_;      // once stopping: when bytes last came
  std::optional<std::size_t> left_;  // once the close's time is up: packets still to be read
};
