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

// The contact dialog: number characters first, then both fields filled, then
// what ab.db could not give back as typed (a line break, a group with blanks
// at its ends). An empty group stands for the default one and passes.
std::optional<InputWarning> CheckContactInput(std::string_view name, std::string_view number,
                                              std::string_view group);
// The compose dialog: message, then recipients (each entry a number; blanks
// around an entry and empty entries do not count), then their characters.
std::optional<InputWarning> CheckComposeInput(std::string_view message, std::string_view recipients);

// What the dialog is about to do with a text that holds characters the code
// page lacks.
enum class CodePageUse { Send, Save };
// Names the characters (as U+XXXX codes, the code page cannot show them) and
// says why they cannot be sent or saved.
InputWarning CodePageWarning(std::u32string_view characters, CodePageUse use);
