#pragma once
#include <string>

// The system's text for an error number (errno), in the system code page,
// for the message boxes that show one. Unknown numbers still give a text.
std::string SysErrorMessage(int error);
