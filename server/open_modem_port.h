#pragma once
// Opening the GSM modem's serial port and starting the modem worker on it.

class ServerCore;

// False when a modem port is already open: the server drives one modem only.
// Otherwise opens COM `comNumber` (resolved in the server's registry file) at
// 115200 baud with DTR/RTS flow control on the calling thread, hands the port to
// the server and starts the modem worker on it; true. A port that cannot be
// opened raises the port component's exception, and nothing is kept or started;
// standard error then names the port and its device (once per cause).
bool OpenModemPort(ServerCore& core, int comNumber);
