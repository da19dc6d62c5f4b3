#pragma once
// The GSM 7-bit default alphabet and its extension table as a handset shows them:
// codes to and from the characters themselves (UTF-16). The server's codec maps
// codes to its code page's bytes instead; the modem works with characters.
#include <optional>
#include <string>
#include <string_view>

// 7-bit codes, one per byte; a character of the extension table is the escape
// code 27 and its own code. Nothing when a character is in neither table.
std::optional<std::string> TextToGsmCodes(std::u16string_view text);

// The characters of 7-bit codes. An escape with a code the extension table lacks
// shows that code's character of the main table; a trailing escape shows nothing.
std::u16string GsmCodesToText(std::string_view codes);
