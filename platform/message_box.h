#pragma once
// Every message box of the programs goes through MessageBox, so one place shows
// it (a Qt dialog on the user-interface thread) and tests can answer it.
// Texts are in the system code page.
#include <functional>
#include <string>
#include <string_view>

enum class MbButtons { Ok, OkCancel, OkNo, YesNo, YesNoCancel };
enum class MbIcon { None, Information, Warning, Error, Question };
enum class MbResult { Ok, Cancel, Yes, No };

struct MessageBoxRequest {
  std::string text;     // Windows-1251
  std::string caption;  // Windows-1251
  MbButtons buttons = MbButtons::Ok;
  MbIcon icon = MbIcon::None;
};

using MessageBoxHandler = std::function<MbResult(const MessageBoxRequest&)>;

// Shows the box and returns the button pressed. May be called from any thread.
MbResult MessageBox(std::string_view text, std::string_view caption,
                    MbButtons buttons = MbButtons::Ok, MbIcon icon = MbIcon::None);

// Replaces the handler and returns the previous one. Without one installed, the
// box is written to standard error and answered with its first button.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);
