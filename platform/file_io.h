#pragma once
// Whole-file reads and crash-safe writes: every file the programs write is
// written aside and renamed into place, so a crash never leaves it half written,
// and its folder is flushed, so a power cut does not undo the rename.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <sys/types.h>

// The file's bytes, or nothing when it cannot be read (missing, a directory, no
// right); errno then says why.
std::optional<std::string> ReadWholeFile(const std::string& path);

// Fills `out` from the open file `fd` at `offset`, across short reads: the count
// read, fewer than asked only where the file ends; -1, with errno set, on failure.
ssize_t ReadAt(int fd, std::span<std::uint8_t> out, std::uint64_t offset);

// Writes `bytes` to path + ".tmp", flushes it to disk, renames it over `path` and
// flushes the folder. On failure errno says why and false is returned: the old
// file is left as it was, except when only the folder could not be flushed (the
// new file is then in place, but a power cut may still bring the old one back).
bool WriteFileAtomically(const std::string& path, std::string_view bytes);

// Flushes the folder that holds `path` to disk, so that a file made, renamed or
// removed there stays so after a power cut. False, with errno set, on failure.
bool SyncFolderOf(const std::string& path);

// Joins a directory and a file name with one separator.
std::string PathJoin(std::string_view dir, std::string_view name);
