#pragma once
// Message files: plain packet records back to back, no header. The record count
// is the file size divided by 1076; a trailing partial record is ignored.
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/packet.h"

// Every whole record in file order; a missing or unreadable file gives none.
std::vector<packet> ReadMessageFile(const std::string& path);
// The whole records of a message file's bytes, in order.
std::vector<packet> MessageRecords(std::string_view bytes);
// Replaces the file atomically with these records.
bool WriteMessageFile(const std::string& path, std::span<const packet> records);
// Appends the records in one write after the whole records already there (a
// trailing partial record is dropped so the new ones stay aligned). The file
// grows in place: what it held is never rewritten, so an append costs what it
// adds, however long the list.
bool AppendMessageFile(const std::string& path, std::span<const packet> records);
