#pragma once
// File-name parts in the layer's own path convention: ':' and '\' delimit,
// '/' does not. The Z routines write into `dest` with its size (z_strings.h).
#include <span>
#include <string>
#include <string_view>

// The directory part: everything before the last delimiter, keeping the
// delimiter of a drive ("C:\x" gives "C:\", "C:x" gives "C:"); a lone leading
// delimiter stays; empty without a delimiter.
char* JustPathnameZ(std::span<char> dest, std::string_view path_name);

// The part after the last delimiter, at most 255 characters.
char* JustFilenameZ(std::span<char> dest, std::string_view path_name);

// The first three characters of the extension. Without an extension `dest` is
// left untouched and an empty text of this unit's own is returned.
const char* JustExtensionZ(std::span<char> dest, std::string_view name);

// `dir_name` with '\' appended unless it is empty or ends with a delimiter.
char* AddBackSlashZ(std::span<char> dest, std::string_view dir_name);

// `name` with its extension replaced by (or, without one, given) "." + ext.
char* ForceExtensionZ(std::span<char> dest, std::string_view name, std::string_view ext);

// `name` unchanged when it has an extension, else with "." + ext added.
char* DefaultExtensionZ(std::span<char> dest, std::string_view name, std::string_view ext);

// The file name without directory, cut before its first '.'.
std::string JustName(std::string_view path_name);

// As AddBackSlashZ; a closing double quote stays last, the backslash going inside it.
std::string AddBackSlash(std::string_view dir_name);
