#pragma once
// The texts of the dispatch-log dump: its header, and the parts of one entry's
// line that are not the attached bytes themselves.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "serial/dispatch/io_queue.h"

// The header, one line per item: title, compiler, system, device, local date
// and time ("dd.mm.yy, hh:mm:ss"), and the two lines over the columns.
std::vector<std::string> LogHeaderLines(std::string_view deviceName);

// Milliseconds as seconds and milliseconds, at least seven digits: 1234 gives
// "0001.234".
std::string LogTimeText(std::uint32_t ms);

// Time, type, subtype and data in their columns, up to where the bytes start.
std::string LogEntryColumns(const TLogBuffer& entry);

// "(Modem status)" and the like for a status-trigger type; empty for none.
std::string StatusTriggerTypeName(std::uint8_t type);

// The tags of the modem-status bits set in `data`, in bit order, in
// parentheses: "(CTS DSR DCD)"; "()" for none.
std::string ModemStatusTags(std::uint32_t data);

// "[Echo]" for Telnet option 1; "[]" for an option without a name.
std::string TelnetOptionText(std::uint32_t option);
