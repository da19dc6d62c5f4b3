#include "client/core/receive_thread.h"

#include <chrono>

#include "platform/codepage.h"
#include "platform/file_io.h"
#include "protocol/message_file.h"

namespace {

// Two receive threads may overlap for a moment after a reconnect; appends to
// inbox.db take turns.
std::mutex& InboxLock() {
  static std::mutex lock;
  return lock;
}

// The server answers a fetch with its messages back to back; a pause this long
// ends what one fetch brought.
constexpr std::chrono::milliseconds kFetchPause{100};
// Received messages held at most before they are stored, whatever follows.
constexpr std::size_t kMostHeld = 4096;

}  // namespace

void StoreReceivedMessages(std::span<const packet> messages, ReceiveHooks& hooks) {
  if (messages.empty()) return;
  const std::string inbox = PathJoin(hooks.AppDir(), "inbox.db");
  bool stored;
  {
    std::lock_guard guard(InboxLock());
    stored = AppendMessageFile(inbox, messages);
  }
  // The server has let go of the messages: say so rather than lose them unseen.
  if (!stored) hooks.ShowWarning(Ansi("Не удалось записать файл ") + inbox);
}

void HandleServerPacket(stream_client& client, const ConnectionPtr& connection, const packet& p,
                        ReceiveHooks& hooks) {
  switch (p.type()) {
    case kPacketMessage:
      StoreReceivedMessages(std::span(&p, 1), hooks);
      break;
    case kPacketLogin:
      ShowLoginDialog(client, connection, hooks);
      break;
    case kPacketLoginRefused:
      hooks.ShowConnectionMessage(Ansi("Отказ в регистрации"));
      break;
    default:
      break;
  }
}

void ShowLoginDialog(stream_client& client, const ConnectionPtr& connection, ReceiveHooks& hooks) {
  hooks.RunLoginDialog([&client, connection](const LoginAnswer& answer) {
    packet reply{};
    PacketInit(reply);
    reply.set_type(kPacketLogin);
    PacketSetNumber(reply, answer.userName);
    PacketSetText(reply, answer.password);
    client.Send(connection, reply);
  });
}

int ClientReceiveThread(stream_client& client, ConnectionPtr connection, ReceiveHooks& hooks) {
  auto received = PacketNew();
  // Messages received and not yet stored: what one fetch brings goes to inbox.db
  // in one write, before anything else the server sends is acted on.
  std::vector<packet> held;
  do {
    if (!client.Receive(connection, *received)) break;
    if (received->type() == kPacketMessage) {
      held.push_back(*received);
      if (held.size() < kMostHeld && connection->WaitReadable(kFetchPause)) continue;
      StoreReceivedMessages(held, hooks);
      held.clear();
    } else {
      StoreReceivedMessages(held, hooks);
      held.clear();
      HandleServerPacket(client, connection, *received, hooks);
    }
  } while (connection->open());
  StoreReceivedMessages(held, hooks);
  PacketFree(received);
  connection.reset();  // lets the socket close before the user reads the message
  hooks.ShowConnectionMessage(Ansi("Сервер сбросил соединение"));
  return 0;
}

ReceiveThreads::~ReceiveThreads() { JoinAll(); }

void ReceiveThreads::StartReceiveThread(stream_client& client, ReceiveHooks& hooks) {
  ConnectionPtr connection = client.Current();
  if (!connection) return;
  std::vector<Entry> finished;
  std::lock_guard guard(lock_);
  for (auto it = threads_.begin(); it != threads_.end();) {
    if (it->done->load()) {
      finished.push_back(std::move(*it));
      it = threads_.erase(it);
    } else {
      ++it;
    }
  }
  for (auto& entry : finished) entry.thread.join();
  auto done = std::make_shared<std::atomic<bool>>(false);
  std::thread thread([&client, &hooks, connection = std::move(connection), done]() mutable {
    ClientReceiveThread(client, std::move(connection), hooks);
    done->store(true);
  });
  threads_.push_back(Entry{std::move(thread), std::move(done)});
}

void ReceiveThreads::JoinAll() {
  std::vector<Entry> all;
  {
    std::lock_guard guard(lock_);
    all.swap(threads_);
  }
  for (auto& entry : all) entry.thread.join();
}

std::size_t ReceiveThreads::Running() const {
  std::lock_guard guard(lock_);
  std::size_t running = 0;
  for (const auto& entry : threads_) running += entry.done->load() ? 0 : 1;
  return running;
}
