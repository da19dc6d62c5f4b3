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

// Joins a directory and a file name with one separator.
std::string PathJoin(std::string_view dir, std::string_view name);
