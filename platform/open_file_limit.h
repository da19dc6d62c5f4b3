#pragma once
// The number of files a process may hold open. A server keeps a descriptor for
// every connected client; a soft limit left at the usual 1024 under a far higher
// hard one would turn clients away a thousand connections in.

// Raises the soft limit on open files to the hard one (to the system's ceiling
// when the hard one is unlimited). The soft limit in force afterwards; 0 when it
// could not be read.
unsigned long RaiseOpenFileLimit();
