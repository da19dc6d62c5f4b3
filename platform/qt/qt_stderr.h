#pragma once
// Qt's own warnings go to standard error by the program's line writer
// (stderr_lines.h), so that a standard error nobody reads holds up no thread of
// the program, the main thread least of all.
void RouteQtMessagesToStderrLines();
