#pragma once
// The numbers the modem can take. A client may write a number as people do
// ("8 (916) 123-45-67"); the PDU needs digits only, and a number the modem can
// never take would be refused at every try, so it is turned away before it is
// queued.
#include <optional>
#include <string>
#include <string_view>

// The number without its spaces, dashes, dots and brackets, when what is left is
// an optional leading "+" and 1 to 20 digits; nothing otherwise.
std::optional<std::string> ModemNumber(std::string_view number);
