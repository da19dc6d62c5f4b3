#include "platform/application.h"

#include "platform/message_box.h"

namespace {

// Asks the application window to show the texts queued for it.
constexpr std::uint32_t kShowQueued = 0x0400;

}  // namespace

TApplication& Application() {
  // Never destroyed: threads may still show an exception while the program ends.
  static TApplication* application = new TApplication;
  return *application;
}

bool TApplication::Terminated() const {
  std::lock_guard lock(lock_);
  return terminated_;
}

void TApplication::Terminate() {
  std::vector<MessageWaitWake> wakes;
  {
    std::lock_guard lock(lock_);
    terminated_ = true;
    for (const auto& entry : terminateWakes_) wakes.push_back(entry.second);
  }
  for (const MessageWaitWake& wake : wakes) wake();
}

int TApplication::AddTerminateWake(MessageWaitWake wake) {
  int id;
  bool now;
  {
    std::lock_guard lock(lock_);
    id = nextWake_++;
    terminateWakes_.emplace_back(id, wake);
    now = terminated_;
  }
  if (now) wake();
  return id;
}

void TApplication::RemoveTerminateWake(int id) {
  std::lock_guard lock(lock_);
  std::erase_if(terminateWakes_, [id](const auto& entry) { return entry.first == id; });
}

void TApplication::ProcessMessages() {
  ProcessWindowMessages();
  WindowMessage m;
  if (IsMainThread() && PeekWindowMessage(m, false) && m.message == kQuitMessage) Terminate();
}

void TApplication::SetTitle(std::string title) {
  std::lock_guard lock(lock_);
  title_ = std::move(title);
}

void TApplication::ShowText(const std::string& text) {
  std::string title;
  {
    std::lock_guard lock(lock_);
    title = title_;
  }
  MessageBox(text, title, MbButtons::Ok, MbIcon::Error);
}

void TApplication::ShowException(const std::exception& e) {
  if (!IsMainThread()) {
    WindowHandle window;
    {
      std::lock_guard lock(lock_);
      window = window_;
      if (window) queued_.emplace_back(e.what());
    }
    if (window) {
      if (!PostWindowMessage(window, kShowQueued, 0, 0)) ShowQueued();  // the loop has ended
      return;
    }
  }
  ShowText(e.what());
}

void TApplication::ShowQueued() {
  for (;;) {
    std::string text;
    {
      std::lock_guard lock(lock_);
      if (queued_.empty()) return;
      text = std::move(queued_.front());
      queued_.erase(queued_.begin());
    }
    ShowText(text);
  }
}

void TApplication::ServeExceptionsHere() {
  std::lock_guard lock(lock_);
  if (window_) return;
  window_ = CreateMessageWindow([this](WindowHandle, std::uint32_t message, std::uintptr_t, std::intptr_t) {
    if (message == kShowQueued) ShowQueued();
    return std::intptr_t{0};
  });
}
