#pragma once
// Starting a program and waiting for its end.
#include <cstdint>
#include <string>
#include <vector>

// Runs `file_name` followed directly by `command_line` (the caller puts a blank
// first) as one command line of at most 511 characters, waits without limit
// for the program to end and returns its exit code; -1 when it cannot be
// started. No shell is involved. `visibility` is accepted for callers written
// for windowed systems and has no effect here.
std::int32_t ApWinExecAndWait32(const char* file_name, const char* command_line, int visibility);

// Splits a command line into arguments: blanks separate them, double quotes
// group blanks into one and are dropped, a backslash before a quote makes it literal.
std::vector<std::string> SplitCommandLine(const std::string& command_line);
