#pragma once
// Whole-file reads and crash-safe writes: every file the programs write is
// written aside and renamed into place, so a crash never leaves it half written.
#include <optional>
#include <string>
#include <string_view>

// The file's bytes, or nothing when it cannot be read (missing, a directory, no
// right); errno then says why.
std::optional<std::string> ReadWholeFile(const std::string& path);

// Writes `bytes` to path + ".tmp", flushes it to disk and renames it over `path`.
// On failure the old file is left as it was, errno says why and false is returned.
bool WriteFileAtomically(const std::string& path, std::string_view bytes);

// Appends `bytes` in one write after the whole records of `recordSize` bytes
// already in the file (created when absent), and flushes it to disk. Files of
// records that only ever grow are appended in place rather than rewritten: the
// records already there are never touched, a torn tail that an interrupted
// append left is cut off first, and on failure the file is cut back to its
// whole records and false is returned.
bool AppendWholeRecords(const std::string& path, std::string_view bytes, std::size_t recordSize);

// Joins a directory and a file name with one separator.
std::string PathJoin(std::string_view dir, std::string_view name);
