#pragma once
// How many SMS a text needs. The client's part counter and the server's splitter
// both use this, so the count a user sees is the count the modem sends.
#include <cstddef>
#include <string_view>

struct SmsCoding {
  bool ucs2 = false;           // UCS2 when the text holds a Cyrillic letter
  std::size_t limit = 160;     // characters in a single SMS
  std::size_t partSize = 153;  // characters per part of a concatenated SMS
};

// Only bytes 0xC0-0xFF (the Cyrillic letters of Windows-1251) switch to UCS2;
// 0x80-0xBF stay 7-bit.
SmsCoding ChooseSmsCoding(std::string_view ansiText);

// 1 up to the limit (an empty text too), else the length divided by the part
// size, rounded up.
std::size_t SmsPartCount(std::size_t length, const SmsCoding& coding);
