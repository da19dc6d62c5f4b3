#include "tests/support/message_box_answers.h"

#include <chrono>

#include "platform/codepage.h"

MessageBoxAnswers::MessageBoxAnswers(MbResult answer) : answer_(answer) {
  previous_ = SetMessageBoxHandler([this](const MessageBoxRequest& r) {
    std::lock_guard guard(lock_);
    asked_.push_back(r);
    changed_.notify_all();
    return answer_;
  });
}

MessageBoxAnswers::~MessageBoxAnswers() { SetMessageBoxHandler(previous_); }

void MessageBoxAnswers::SetAnswer(MbResult answer) {
  std::lock_guard guard(lock_);
  answer_ = answer;
}

std::vector<MessageBoxRequest> MessageBoxAnswers::Asked() const {
  std::lock_guard guard(lock_);
  return asked_;
}

std::vector<std::string> MessageBoxAnswers::TextsUtf8() const {
  std::vector<std::string> out;
  for (const auto& r : Asked()) out.push_back(AnsiToUtf8(r.text));
  return out;
}

bool MessageBoxAnswers::WaitFor(std::size_t count, int timeoutMs) const {
  std::unique_lock guard(lock_);
  return changed_.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] { return asked_.size() >= count; });
}
