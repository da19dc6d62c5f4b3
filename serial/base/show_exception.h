#pragma once
// Where the serial layer's threads show a failure that nothing above them can
// catch: a thread's failure code as an exception, or an exception a user's
// handler threw. The application object's display stands behind it, which
// never makes a thread wait for the user.

// Shows the exception being handled, whatever its type.
void ShowCurrentException();
