#pragma once
// The recipients text of the compose dialog: phone numbers separated by ",".
#include <string>
#include <string_view>
#include <vector>

// The numbers, in the order typed, repeats kept: the text cut at every ",",
// each entry without the blanks around it. An entry left empty is no recipient.
std::vector<std::string> SplitRecipients(std::string_view text);

// Appends `number` after a "," unless it already occurs anywhere in the text, even
// inside a longer number. True when it was appended.
bool AddRecipient(std::string& recipients, std::string_view number);
