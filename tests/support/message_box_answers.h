#pragma once
// Answers every message box while alive and records what was asked.
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/message_box.h"

class MessageBoxAnswers {
 public:
  explicit MessageBoxAnswers(MbResult answer = MbResult::Ok);
  ~MessageBoxAnswers();

  void SetAnswer(MbResult answer);
  std::vector<MessageBoxRequest> Asked() const;
  // Texts (UTF-8) of the boxes shown so far, for readable expectations.
  std::vector<std::string> TextsUtf8() const;
  // Waits until `count` boxes were shown; false after `timeoutMs`.
  bool WaitFor(std::size_t count, int timeoutMs = 10000) const;

 private:
  mutable std::mutex lock_;
  mutable std::condition_variable changed_;
  MbResult answer_;
  std::vector<MessageBoxRequest> asked_;
  MessageBoxHandler previous_;
};
