#pragma once
// Checks of what the user typed in the contact and compose dialogs, in the order
// the dialogs apply them. Texts are Windows-1251; a result names the warning to show.
#include <optional>
#include <string>
#include <string_view>

struct InputWarning {
  std::string text;     // Windows-1251
  std::string caption;  // Windows-1251
};

// Only "+" and the digits 0-9 (an empty text passes).
bool IsPhoneNumberText(std::string_view text);
// Phone number characters and the separator ",".
bool IsRecipientsText(std::string_view text);

// The contact dialog: number characters first, then both fields filled.
std::optional<InputWarning> CheckContactInput(std::string_view name, std::string_view number);
// The compose dialog: message, then recipients, then their characters.
std::optional<InputWarning> CheckComposeInput(std::string_view message, std::string_view recipients);
