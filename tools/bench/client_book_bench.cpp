// Address book and compose figures: a book of 5,000 contacts in 50 groups,
// listed and filtered into a contact list, and the main window's compose command
// to 1,000 recipients over a loopback TCP connection, every packet recorded in
// outbox.db. Prints milliseconds (medians of several runs). Not a test.
#include <QApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QTextEdit>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <atomic>
#include <memory>
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "client/book/contact_store.h"
#include "client/book/qt/address_book.h"
#include "client/book/qt/compose_form.h"
#include "client/ui/main_form.h"
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

// A TCP listener on 127.0.0.1 that takes one connection and counts the packets
// that arrive on it until the client closes.
class DrainingServer {
 public:
  DrainingServer() {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(listener_, 1);
    socklen_t len = sizeof a;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    reader_ = std::thread([this] {
      const int served = ::accept(listener_, nullptr, nullptr);
      packet p;
      while (RecvPacket(served, p)) ++received_;
      ::close(served);
    });
  }
  ~DrainingServer() {
    Finish();
    ::close(listener_);
  }
  int port() const { return port_; }
  // Waits until the client has closed; the packets that arrived.
  std::size_t Finish() {
    if (reader_.joinable()) reader_.join();
    return received_.load();
  }

 private:
  int listener_ = -1;
  int port_ = 0;
  std::atomic<std::size_t> received_{0};
  std::thread reader_;
};

// One compose command on a fresh main window: the dialog is filled with the
// recipients and accepted as soon as it shows.
double ComposeOnce(const std::string& dir, const QString& recipients, std::size_t& received) {
  DrainingServer server;
  WriteFileAtomically(PathJoin(dir, "Config.ini"),
                      "[CONNECTION]\r\nServerIP=127.0.0.1\r\nPort=" + std::to_string(server.port()) + "\r\n");
  ::unlink(PathJoin(dir, "outbox.db").c_str());
  stream_client client;
  auto form = std::make_unique<TMainForm>(client, dir);
  while (form->ConnectPending()) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
  if (!client.connected()) std::abort();
  QTimer::singleShot(0, [&] {
    // The dialog is shown without modality, so it is found among the windows.
    TComposeForm* dialog = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* compose = qobject_cast<TComposeForm*>(w); compose && compose->isVisible()) dialog = compose;
    if (!dialog) std::abort();
    dialog->RecepientsEdit->setText(recipients);
    dialog->MessageText->setPlainText(QStringLiteral("Совещание переносится на завтра, 10:00."));
    dialog->accept();
  });
  const auto start = std::chrono::steady_clock::now();
  form->actComposeExecute();
  const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  form.reset();  // closes the connection, so the server's reader ends
  client.Close();
  received = server.Finish();
  return ms;
}

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

  QStringList numbers;
  for (int i = 0; i < kRecipients; ++i) numbers.append("+7925" + QString::number(1000000 + i));
  const QString recipients = numbers.join(',');
  std::vector<double> composeMs;
  std::size_t received = 0;
  for (int i = 0; i < kRuns; ++i) composeMs.push_back(ComposeOnce(dir, recipients, received));
  std::sort(composeMs.begin(), composeMs.end());
  const double send = composeMs[composeMs.size() / 2];
  const std::string outbox = PathJoin(dir, "outbox.db");
  const std::size_t records = ReadMessageFile(outbox).size();
  const bool recorded = records == kRecipients;

  std::printf("LoadContacts, %d contacts in %d groups: %.1f ms (%d rows)\n", kGroups * kPerGroup, kGroups, load,
              listed);
  std::printf("FilterContacts, two-letter name, every group: %.1f ms (%d rows)\n", filterName, matched);
  std::printf("FilterContacts, one letter in one group: %.1f ms\n", filterGroup);
  std::printf("Compose command to %d recipients, whole command with the 5,000-contact picker: %.1f ms (%zu packets received, %zu records "
              "in outbox.db%s)\n",
              kRecipients, send, received, records, recorded ? "" : ", MISSING RECORDS");
  ::unlink(outbox.c_str());
  ::unlink(PathJoin(dir, "Config.ini").c_str());
  ::unlink(AddressBookPath(dir).c_str());
  ::rmdir(dir.c_str());
  return received == kRecipients && records == kRecipients ? 0 : 1;
}
