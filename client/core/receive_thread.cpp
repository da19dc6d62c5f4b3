#include "client/core/receive_thread.h"

#include <chrono>

#include "platform/codepage.h"
#include "platform/file_io.h"

namespace {

// The server answers a fetch with its messages back to back; a pause this long
// ends what one fetch brought, and inbox.db is then flushed to disk.
constexpr std::chrono::milliseconds kFetchPause{100};
// Messages appended at most before a flush, however long the stream runs on.
constexpr std::size_t kMostUnflushed = 4096;

}  // namespace

void FlushInbox(MessageFileAppender& inbox, ReceiveHooks& hooks) {
  // The server has let go of the messages: say so rather than lose them unseen.
  if (!inbox.Flush()) hooks.ShowWarning(Ansi("Не удалось записать файл ") + inbox.Path());
}

void HandleServerPacket(stream_client& client, const ConnectionPtr& connection, const packet& p,
                        ReceiveHooks& hooks, MessageFileAppender& inbox) {
  switch (p.type()) {
    case kPacketMessage:
      inbox.Append(p);
      break;
    case kPacketLogin:
      connection->set_login(LoginState::Asked);
      ShowLoginDialog(client, connection, hooks);
      break;
    case kPacketLoginAccepted:
      connection->set_login(LoginState::Accepted);
      break;
    case kPacketLoginRefused:
      connection->set_login(LoginState::Refused);
      hooks.ShowConnectionMessage(Ansi("Отказ в регистрации"));
      break;
    default:
      break;
  }
}

void ShowLoginDialog(stream_client& client, const ConnectionPtr& connection, ReceiveHooks& hooks) {
  hooks.RunLoginDialog(
      [&client, connection](const LoginAnswer& answer) { SendLoginAnswer(client, connection, answer); });
}

void SendLoginAnswer(stream_client& client, const ConnectionPtr& connection, const LoginAnswer& answer) {
  packet reply{};
  PacketInit(reply);
  reply.set_type(kPacketLogin);
  PacketSetNumber(reply, answer.userName);
  PacketSetText(reply, answer.password);
  // Before it goes, as the verdict may come back before Send returns; a verdict
  // already in stays.
  LoginState asked = LoginState::Asked;
  connection->exchange_login(asked, LoginState::Answered);
  client.Send(connection, reply);
}

int ClientReceiveThread(stream_client& client, ConnectionPtr connection, ReceiveHooks& hooks) {
  auto received = PacketNew();
  MessageFileAppender inbox(PathJoin(hooks.AppDir(), "inbox.db"));
  do {
    if (!client.Receive(connection, *received)) break;
    const bool message = received->type() == kPacketMessage;
    // What came before is on disk before anything that may wait for the user.
    if (!message) FlushInbox(inbox, hooks);
    HandleServerPacket(client, connection, *received, hooks, inbox);
    if (message && (inbox.Unflushed() >= kMostUnflushed || !connection->WaitReadable(kFetchPause)))
      FlushInbox(inbox, hooks);
  } while (connection->open());
  FlushInbox(inbox, hooks);
  PacketFree(received);
  const bool hungUp = connection->HungUp();
  connection.reset();  // lets the socket close before the user reads the message
  if (!hungUp) hooks.ShowConnectionMessage(Ansi("Сервер сбросил соединение"));
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
