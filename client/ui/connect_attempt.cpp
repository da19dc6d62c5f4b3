#include "client/ui/connect_attempt.h"

#include <algorithm>
#include <chrono>

ConnectAttempt::ConnectAttempt(stream_client& client, std::unique_ptr<PendingConnect> pending, QObject* parent)
    : QObject(parent),
      client_(client),
      pending_(std::move(pending)),
      answered_(static_cast<qintptr>(pending_->socket()), QSocketNotifier::Write) {
  // A connecting socket turns writable once the server has taken or refused it.
  connect(&answered_, &QSocketNotifier::activated, this, &ConnectAttempt::Finish);
  limit_.setSingleShot(true);
  limit_.setTimerType(Qt::PreciseTimer);
  connect(&limit_, &QTimer::timeout, this, &ConnectAttempt::Finish);
  const auto left =
      std::chrono::ceil<std::chrono::milliseconds>(pending_->deadline() - std::chrono::steady_clock::now());
  limit_.start(std::max(left, std::chrono::milliseconds::zero()));
}

void ConnectAttempt::Finish() {
  if (finished_) return;
  finished_ = true;
  answered_.setEnabled(false);
  limit_.stop();
  emit Finished(client_.FinishConnect(*pending_));
}
