#include "server/find_modem_port.h"

// Modem discovery is not in this build yet: the search finds no modem, which the
// server handles as a machine without one.
void FindModemPort(ServerCore&) {}
