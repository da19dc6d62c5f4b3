#include "server/modem/modem_worker.h"

#include <stdexcept>

#include "platform/application.h"
#include "serial/port/com_port.h"
#include "server/modem/send_message.h"

namespace {

using namespace std::chrono_literals;

constexpr auto kRest = 2000ms;            // after every pass that sent nothing
constexpr auto kRestAfterMail = 3000ms;   // after a read of the SIM, before kRest
constexpr const char* kSimStorage = "\"SM\"";

}  // namespace

ModemWorker::ModemWorker(TDevaCustomComPort& port, ServerState& state, bool checkMail, std::string registryFile,
                         const ModemLimits& limits)
    : port_(port),
      state_(state),
      checkMail_(checkMail),
      messageRefs_(std::move(registryFile)),
      dialogue_(port, state, limits) {}

ModemWorker::~ModemWorker() { Stop(); }

void ModemWorker::Start() {
  thread_ = std::thread([this] { ModemThread(); });
}

void ModemWorker::Stop() {
  {
    std::lock_guard guard(restLock_);
    state_.StopFlag.store(true);
  }
  restEnded_.notify_all();
  if (!thread_.joinable()) return;
  try {
    // Ends a wait on the port, at once unless the modem is to be let finish.
    dialogue_.CloseWhenFinished();
  } catch (const std::exception&) {
    // The worker's own close at its end, or the port's owner, finishes it.
  }
  thread_.join();
}

void ModemWorker::Rest(std::chrono::milliseconds time) {
  std::unique_lock guard(restLock_);
  restEnded_.wait_for(guard, time, [this] { return state_.StopFlag.load(); });
}

void ModemWorker::ModemThread() {
  while (!state_.StopFlag.load()) {
    QueuedPacket sending;
    try {
      Pass(sending);
    } catch (...) {
      if (sending) PutBack(std::move(sending));
      Recover(std::current_exception());
    }
    ++passes_;
  }
  try {
    dialogue_.ClosePort();
  } catch (const std::exception&) {
    // The port's owner frees it all the same.
  }
}

void ModemWorker::Pass(QueuedPacket& sending) {
  if (state_.OutgoingQueue.Count() == 0) return Idle();
  if (!Ready()) return Rest(kRest);
  {
    std::lock_guard lock(state_.QueueLock);
    if (state_.OutgoingQueue.empty()) return;
    sending = state_.OutgoingQueue.TakeFront();
  }
  if (state_.StopFlag.load()) return PutBack(std::move(sending));

  const bool sent = SendMessageText(
      *sending.packet, [this](const std::string& pdu) { return dialogue_.SendPdu(pdu); },
      [this] { return messageRefs_.NextMessageRef(); });
  if (sent) {
    MessageStore& store = state_.OutgoingQueue.store();
    store.Acknowledge(sending.id);
    sending = {};
    store.Flush();
    return;  // the next one goes at once
  }
  PutBack(std::move(sending));
  Idle();
}

void ModemWorker::Idle() {
  if (checkMail_ && Ready()) {
    dialogue_.ReadStoredMessages(kSimStorage);
    Rest(kRestAfterMail);
  }
  Rest(kRest);
}

bool ModemWorker::Ready() {
  if (!dialogue_.ModemReady()) return false;
  failureShown_ = false;  // the modem answers again: a new failure is news
  return true;
}

void ModemWorker::PutBack(QueuedPacket p) {
  std::lock_guard guard(state_.QueueLock);
  if (state_.StopFlag.load()) {
    state_.OutgoingQueue.push_front(std::move(p));  // its place, which the store never left
  } else {
    state_.OutgoingQueue.store().MoveToBack(p.id);
    state_.OutgoingQueue.push_back(std::move(p));
  }
}

void ModemWorker::Recover(const std::exception_ptr& failure) {
  if (state_.StopFlag.load()) return;  // the stop closed the port under the worker
  if (!failureShown_) {
    failureShown_ = true;
    try {
      std::rethrow_exception(failure);
    } catch (const std::exception& e) {
      Application().ShowException(e);
    } catch (...) {
      Application().ShowException(std::runtime_error(""));
    }
  }
  // The next pass opens the port afresh.
  try {
    dialogue_.ClosePort();
  } catch (const std::exception&) {
    // Closed all the same; what failed is left to the next open.
  }
  Rest(kRest);
}
