#pragma once
// One whole record over a stream socket, enciphered over all 1076 bytes.
#include <functional>

#include "protocol/packet.h"

// Sends the whole record, looping on partial sends; never raises SIGPIPE. The
// caller's packet is plain again afterwards whatever the outcome. False on failure.
bool SendPacket(int socket, packet& p);

// Called whenever the socket takes no more of a record for now: waits until it
// can take more (true) or gives up (false).
using SendWait = std::function<bool(int socket)>;

// The same send without ever blocking in the socket: whenever it is full,
// `wait` decides how long to wait for it and whether to go on, so a caller can
// bound the whole record by one deadline or turn its own loop meanwhile.
bool SendPacket(int socket, packet& p, const SendWait& wait);

// Reads until 1076 bytes have arrived and deciphers them. False when the peer
// closed or the socket failed before a whole record came. The caller checks
// PacketVerify before acting on it.
bool RecvPacket(int socket, packet& p);
