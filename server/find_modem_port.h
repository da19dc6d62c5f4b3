#pragma once
// The search for the GSM modem's serial port, run once two seconds after start.
class ServerCore;

// Finds the modem's port and, when Config.ini allows it, opens it and starts the
// modem worker. Without a modem the server goes on serving clients and keeps
// their messages queued.
void FindModemPort(ServerCore& core);
