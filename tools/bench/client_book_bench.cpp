// Address book and send job figures: a book of 5,000 contacts in 50 groups,
// listed and filtered into a contact list, and one compose to 1,000 recipients
// over a loopback TCP connection with every packet recorded in outbox.db.
// Prints the median of several runs in milliseconds. Not a test.
#include <QApplication>
#include <QTreeWidget>
#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "client/address_book.h"
#include "client/contact_store.h"
#include "client/send_job.h"
#include "platform/codepage.h"
#include "platform/file_io.h"
#include "protocol/message_file.h"
#include "protocol/packet_io.h"

namespace {

constexpr int kGroups = 50;
constexpr int kPerGroup = 100;
constexpr int kRecipients = 1000;
constexpr int kRuns = 7;

const char* const kFirstNames[] = {"Иван", "Пётр", "Анна", "Ольга", "Сергей", "Мария", "Алексей", "Елена",
                                   "Дмитрий", "Наталья", "Ivan", "Anna", "John", "Kate"};

std::string MakeBook() {
  std::string text;
  for (int g = 0; g < kGroups; ++g) {
    text += Ansi("[Группа ") + std::to_string(g) + "]\r\n";
    for (int c = 0; c < kPerGroup; ++c) {
      const int n = g * kPerGroup + c;
      text += "+7916" + std::to_string(1000000 + n) + "=" + Ansi(kFirstNames[n % 14]) + " " +
              std::to_string(n) + "\r\n";
    }
  }
  return text;
}

double MedianMs(const std::function<void()>& run) {
  std::vector<double> ms;
  for (int i = 0; i < kRuns; ++i) {
    const auto start = std::chrono::steady_clock::now();
    run();
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(ms.begin(), ms.end());
  return ms[ms.size() / 2];
}

// A TCP listener on 127.0.0.1 that reads packets until the sender closes.
class LoopbackServer {
 public:
  LoopbackServer() {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(listener_, 1);
    socklen_t len = sizeof a;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
  }
  ~LoopbackServer() { ::close(listener_); }
  // Connects, runs `job` with the client socket, and returns the packets received.
  std::size_t Serve(const std::function<void(int)>& job) {
    const int client = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port_);
    if (::connect(client, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) std::abort();
    const int served = ::accept(listener_, nullptr, nullptr);
    std::size_t received = 0;
    std::thread reader([&] {
      packet p;
      while (RecvPacket(served, p)) ++received;
    });
    job(client);
    ::close(client);
    reader.join();
    ::close(served);
    return received;
  }

 private:
  int listener_ = -1;
  std::uint16_t port_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  char pattern[] = "/tmp/trelm-bench-XXXXXX";
  const std::string dir = ::mkdtemp(pattern);
  if (!WriteFileAtomically(AddressBookPath(dir), MakeBook())) return 1;

  QTreeWidget list;
  list.setColumnCount(3);
  const double load = MedianMs([&] { LoadContacts(dir, &list); });
  const int listed = list.topLevelItemCount();
  const double filterName = MedianMs([&] { FilterContacts(dir, QStringLiteral("Ив"), QString(), &list); });
  const int matched = list.topLevelItemCount();
  const double filterGroup =
      MedianMs([&] { FilterContacts(dir, QStringLiteral("а"), QStringLiteral("группа 7"), &list); });

  std::vector<std::string> numbers;
  for (int i = 0; i < kRecipients; ++i) numbers.push_back("+7925" + std::to_string(1000000 + i));
  const SendJob job{numbers, Ansi("Совещание переносится на завтра, 10:00."), JobDateText(Now())};
  const std::string outbox = PathJoin(dir, "outbox.db");
  LoopbackServer server;
  std::size_t received = 0;
  bool recorded = true;
  const double send = MedianMs([&] {
    ::unlink(outbox.c_str());
    received = server.Serve([&](int socket) {
      recorded = RunSendJob(job, outbox, [socket](packet& p) { SendPacket(socket, p); }) && recorded;
    });
  });
  const std::size_t records = ReadMessageFile(outbox).size();

  std::printf("LoadContacts, %d contacts in %d groups: %.1f ms (%d rows)\n", kGroups * kPerGroup, kGroups, load,
              listed);
  std::printf("FilterContacts, two-letter name, every group: %.1f ms (%d rows)\n", filterName, matched);
  std::printf("FilterContacts, one letter in one group: %.1f ms\n", filterGroup);
  std::printf("Compose to %d recipients: %.1f ms (%zu packets received, %zu records in outbox.db%s)\n", kRecipients,
              send, received, records, recorded ? "" : ", WRITE FAILED");
  ::unlink(outbox.c_str());
  ::unlink(AddressBookPath(dir).c_str());
  ::rmdir(dir.c_str());
  return received == kRecipients && records == kRecipients ? 0 : 1;
}
