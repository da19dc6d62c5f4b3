// Received messages into a long inbox.db: the client's receive thread holds a
// 100,000-record inbox.db, and a loopback server answers one fetch with 1,000
// messages back to back. Prints the time from the first message sent to the
// last one stored (median of several runs; each message is written as it
// arrives), and the 1,000 appends one by one with the flush to disk that
// follows them. Not a test.
#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "client/core/receive_thread.h"
#include "client/core/stream_client.h"
#include "platform/file_io.h"
#include "protocol/message_file.h"
#include "protocol/message_file_appender.h"
#include "protocol/packet_io.h"

namespace {

constexpr std::size_t kStored = 100000;
constexpr std::size_t kFetched = 1000;
constexpr int kRuns = 5;

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

packet Message(std::size_t i) {
  packet p;
  PacketInit(p);
  p.set_type(kPacketMessage);
  PacketSetNumber(p, "+7916" + std::to_string(1000000 + i));
  PacketSetDate(p, "09.12.2026 10:00:00");
  PacketSetText(p, "Message number " + std::to_string(i) + ", sent to the office gateway.");
  return p;
}

class Quiet : public ReceiveHooks {
 public:
  explicit Quiet(std::string dir) : dir_(std::move(dir)) {}
  std::string AppDir() const override { return dir_; }
  void RunLoginDialog(const SendLogin&) override {}
  void ShowConnectionMessage(std::string_view) override {}
  void ShowWarning(std::string_view text) override { std::fprintf(stderr, "%.*s\n", int(text.size()), text.data()); }

 private:
  std::string dir_;
};

std::size_t FileSize(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? static_cast<std::size_t>(st.st_size) : 0;
}

int Listen(int& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 1) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0)
    std::abort();
  port = ntohs(a.sin_port);
  return fd;
}

// One fetch of kFetched messages into an inbox.db of kStored records.
double FetchOnce(const std::string& dir, int listener, int port) {
  const std::string inbox = PathJoin(dir, "inbox.db");
  if (::truncate(inbox.c_str(), static_cast<off_t>(kStored * kPacketSize)) != 0) std::abort();
  stream_client client;
  client.port = port;
  if (!client.Connect("127.0.0.1")) std::abort();
  const int server = ::accept(listener, nullptr, nullptr);
  Quiet hooks(dir);
  ReceiveThreads threads;
  threads.StartReceiveThread(client, hooks);

  const std::size_t full = (kStored + kFetched) * kPacketSize;
  const auto start = Clock::now();
  for (std::size_t i = 0; i < kFetched; ++i) {
    packet p = Message(i);
    if (!SendPacket(server, p)) std::abort();
  }
  while (FileSize(inbox) < full) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const double ms = Ms(Clock::now() - start);
  ::close(server);
  client.Close();
  threads.JoinAll();
  return ms;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main() {
  char pattern[] = "/tmp/trelm-inbox-bench-XXXXXX";
  const std::string dir = ::mkdtemp(pattern);
  const std::string inbox = PathJoin(dir, "inbox.db");
  {
    std::vector<packet> stored;
    stored.reserve(kStored);
    for (std::size_t i = 0; i < kStored; ++i) stored.push_back(Message(i));
    if (!WriteMessageFile(inbox, stored)) return 1;
  }
  int port = 0;
  const int listener = Listen(port);

  std::vector<double> fetch;
  for (int run = 0; run < kRuns; ++run) fetch.push_back(FetchOnce(dir, listener, port));

  std::vector<packet> batch;
  for (std::size_t i = 0; i < kFetched; ++i) batch.push_back(Message(i));
  std::vector<double> append;
  for (int run = 0; run < kRuns; ++run) {
    if (::truncate(inbox.c_str(), static_cast<off_t>(kStored * kPacketSize)) != 0) return 1;
    const auto start = Clock::now();
    MessageFileAppender file(inbox);
    for (const packet& p : batch) file.Append(p);
    if (!file.Flush()) return 1;
    append.push_back(Ms(Clock::now() - start));
  }
  const bool whole = ReadMessageFile(inbox).size() == kStored + kFetched;

  std::printf("Fetch of %zu messages into a %zu-record inbox.db, first sent to last stored: %.1f ms\n", kFetched,
              kStored, Median(fetch));
  std::printf("%zu appends of one record to a %zu-record inbox.db, then flushed to disk: %.1f ms%s\n", kFetched,
              kStored, Median(append), whole ? "" : " (RECORDS MISSING)");
  ::close(listener);
  ::unlink(inbox.c_str());
  ::rmdir(dir.c_str());
  return whole ? 0 : 1;
}
