#pragma once
// One client's connection as the thread that serves it reads it: whole packets,
// until the connection ends or the server stops. A stop does not cut off what the
// client has handed over already: the packets that are whole in the connection
// when the thread sees the stop are still read, and only then does it end.
#include <atomic>
#include <cstddef>
#include <optional>

#include "protocol/packet.h"

class ClientConnection {
 public:
  // `stopping` turns true, and `stopWake` (a descriptor) readable, when the server
  // stops; both must outlive the connection.
  ClientConnection(int socket, const std::atomic<bool>& stopping, int stopWake)
      : socket_(socket), stopping_(stopping), stopWake_(stopWake) {}

  // Reads one whole record, deciphers it and checks it. False when the connection
  // ended or failed first, the record fails its check, or the server stopped and
  // no whole packet is left waiting.
  bool ReceivePacket(packet& p);

 private:
  // Whole packets the connection holds with the `inHand` bytes already read.
  std::size_t WaitingPackets(std::size_t inHand) const;
  bool WaitReadable() const;

  const int socket_;
  const std::atomic<bool>& stopping_;
  const int stopWake_;
  std::optional<std::size_t> left_;  // once stopping: packets still to be read
};
