#include "platform/message_box.h"

#include <mutex>

#include "platform/codepage.h"
#include "platform/stderr_lines.h"

namespace {

std::mutex& HandlerLock() {
  static std::mutex lock;
  return lock;
}

MessageBoxHandler& Handler() {
  static MessageBoxHandler handler;
  return handler;
}

MbResult FirstButton(MbButtons buttons) {
  return buttons == MbButtons::YesNo || buttons == MbButtons::YesNoCancel ? MbResult::Yes : MbResult::Ok;
}

}  // namespace

MbResult MessageBox(std::string_view text, std::string_view caption, MbButtons buttons, MbIcon icon) {
  MessageBoxHandler handler;
  {
    std::lock_guard guard(HandlerLock());
    handler = Handler();
  }
  MessageBoxRequest request{std::string(text), std::string(caption), buttons, icon};
  if (handler) return handler(request);
  StderrPrintf("[%s] %s\n", AnsiToUtf8(request.caption).c_str(), AnsiToUtf8(request.text).c_str());
  return FirstButton(buttons);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
  std::lock_guard guard(HandlerLock());
  std::swap(Handler(), handler);
  return handler;
}
