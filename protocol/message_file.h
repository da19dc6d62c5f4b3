#pragma once
// Message files: plain packet records back to back, no header. The record count
// is the file size divided by 1076; a trailing partial record is ignored.
#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/packet.h"

// Every whole record in file order; a missing or unreadable file gives none.
std::vector<packet> ReadMessageFile(const std::string& path);
// The whole records of a message file's bytes, in order.
std::vector<packet> MessageRecords(std::string_view bytes);
// The bytes of `count` records back to back, record(i) being the i-th: what a
// message file holds, for whoever keeps its records in some other list.
std::string MessageFileImage(std::size_t count, const std::function<const packet&(std::size_t)>& record);
// Replaces the file atomically with these records.
bool WriteMessageFile(const std::string& path, std::span<const packet> records);
