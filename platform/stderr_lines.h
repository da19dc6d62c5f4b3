#pragma once
// Lines on standard error that never hold up the thread that says them. A thread
// of their own writes them, so a pipe that nobody reads or a paused terminal stops
// only that thread: a thread that holds a message (a client's connection, the
// modem worker) goes on, and so does the program's close. Lines that do not fit
// while standard error is held up are dropped and counted, and the count is said
// once lines go out again.
#include <chrono>
#include <cstddef>

// printf-like; the format ends the line with its own "\n".
void StderrPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Waits until every line said so far has been written, or `limit` has passed;
// false then. For the program's end, and for whoever reads what was said.
bool FlushStderrLines(std::chrono::milliseconds limit);

// Lines dropped so far.
std::size_t DroppedStderrLines();

// The most lines and bytes held while standard error is held up.
inline constexpr std::size_t kHeldStderrLines = 1000;
inline constexpr std::size_t kHeldStderrBytes = 256 * 1024;
