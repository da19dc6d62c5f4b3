#pragma once
// Which alphabet a text goes in and how it is split into parts. The client's
// part counter and the server's splitter both use this, so the count a user
// sees is the count the modem sends.
#include <cstddef>
#include <string_view>
#include <vector>

struct SmsCoding {
  bool ucs2 = false;           // UCS2 when a character has no place in the 7-bit alphabet
  std::size_t limit = 160;     // units in a single SMS: septets in 7-bit, characters in UCS2
  std::size_t partSize = 153;  // units per part of a concatenated SMS
};

// 7-bit when every byte (Windows-1251) has a place in the 7-bit alphabet or its
// extension table, else UCS2: a Cyrillic letter, and as well "Ё", "№", "«", "»",
// the Ukrainian and Belarusian letters, the grave accent.
SmsCoding ChooseSmsCoding(std::string_view ansiText);

// The text as one SMS when it fits (an empty text too), else its parts in
// order, each as long as a part may be: in 7-bit a character of the extension
// table counts two septets, and its escape is never parted from it.
std::vector<std::string_view> SmsParts(std::string_view ansiText, const SmsCoding& coding);
