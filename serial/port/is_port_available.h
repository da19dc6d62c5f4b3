#pragma once
// Whether a COM port can be used: the probe behind the port selection dialog.

// Probe through a temporary dispatcher (true) or through a bare device open.
inline bool UseDispatcherForAvail = true;
// A port that exists but is held by another program counts as available: it
// is listed, and opening it then says that it is in use.
inline bool ShowPortsInUse = true;

// Whether "\\.\COM<ComNum>" opens now (or, with ShowPortsInUse, exists but is
// held elsewhere). Port 0 names no port and is never probed. The probe's open
// is closed again before it answers.
bool IsPortAvailable(unsigned ComNum);
