#pragma once
// The server's settings files as the start finds them: Config.ini and the
// registry file.
#include <string>

// True when each is a regular file that can be read, or is missing (its defaults,
// an empty registry). One that is there but cannot be read, or is no regular file
// (a FIFO would hold the start, or the modem search, for good), stops the start
// as an unreadable queue file does, and is reported: read as empty, Config.ini
// would give its defaults (no login asked), and the registry, written back, would
// lose every user.
bool SettingsFilesReadable(const std::string& appDir);
