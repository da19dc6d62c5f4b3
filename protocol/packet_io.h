#pragma once
// One whole record over a stream socket, enciphered over all 1076 bytes.
#include "protocol/packet.h"

// Sends the whole record, looping on partial sends; never raises SIGPIPE. The
// caller's packet is plain again afterwards whatever the outcome. False on failure.
bool SendPacket(int socket, packet& p);

// Reads until 1076 bytes have arrived and deciphers them. False when the peer
// closed or the socket failed before a whole record came. The caller checks
// PacketVerify before acting on it.
bool RecvPacket(int socket, packet& p);
