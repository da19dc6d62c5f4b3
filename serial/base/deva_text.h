#pragma once
// Message texts of result codes: the table's text, else the system's text.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// The table text for the code's magnitude; when the row is missing or empty,
// the system's text for that error number (in the layer's numbering,
// platform/errno_map.h), cleaned; empty when neither exists.
std::string DevaLoadStr(std::int32_t code);
std::string ErrorMsg(std::int32_t code);

// DevaLoadStr into `dest` as zero-terminated text, cut to fit; returns dest.data().
char* DevaLoadZ(std::span<char> dest, std::int32_t code);

// A system text made one line: cut to 255 characters, control characters
// turned into blanks, runs of blanks shrunk to one.
std::string CleanSystemText(std::string_view text);
