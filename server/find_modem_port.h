#pragma once
// The search for the GSM modem's serial port, run two seconds after start and
// again while the server looks for its modem (ModemSearch).
#include <functional>

class ServerCore;

// Opens the modem's port by its COM number and starts the modem worker on it
// (OpenModemPort). False when a modem port is already open: the server drives one
// modem only.
using OpenModemPortFn = std::function<bool(int comNumber)>;

// Collects the port names of the USB devices registered under the modem's two
// vendor/product ids, then walks the system's serial ports in the order the
// registry lists them. A port that is a modem's and that Config.ini allows in
// section DEVICEMAP (any non-empty value) is handed to openModemPort. Without a
// modem the server goes on serving clients and keeps their messages queued.
// Throws when an allowed port's name is not three letters and a port number; the
// ports after it are then not looked at.
void FindModemPort(ServerCore& core, const OpenModemPortFn& openModemPort);
