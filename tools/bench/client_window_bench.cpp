// The client's window against a server that does not answer, and its message
// lists at 100,000 records. Prints milliseconds (medians of several runs):
// - opening "Принятые" and "Отправленные" (the handler and the list's first
//   paint), with short texts and with every text 1024 bytes long;
// - the main window made and shown while its connect waits on a server whose
//   queue is full, and the close that follows;
// - the close while a packet waits on a server that takes the connection and
//   never reads.
// Offscreen Qt. Not a test.
#include <QApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QTextEdit>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include "client/book/qt/compose_form.h"
#include "client/core/client_config.h"
#include "client/ui/main_form.h"
#include "platform/codepage.h"
#include "platform/file_io.h"
#include "protocol/message_file.h"

namespace {

constexpr std::size_t kRecords = 100000;
constexpr int kRuns = 7;

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> ms) {
  std::sort(ms.begin(), ms.end());
  return ms[ms.size() / 2];
}

double MedianMs(const std::function<void()>& run) {
  std::vector<double> ms;
  for (int i = 0; i < kRuns; ++i) {
    const auto start = Clock::now();
    run();
    ms.push_back(Ms(Clock::now() - start));
  }
  return Median(ms);
}

int Listener(int backlog, int& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, backlog) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0)
    std::abort();
  port = ntohs(a.sin_port);
  return fd;
}

// A listener whose queue one connection fills: further connects get no answer.
struct FullQueue {
  FullQueue() {
    listener = Listener(0, port);
    filler = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::connect(filler, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) std::abort();
  }
  ~FullQueue() {
    ::close(filler);
    ::close(listener);
  }
  int listener = -1;
  int filler = -1;
  int port = 0;
};

void WriteList(const std::string& path, std::size_t textBytes) {
  std::vector<packet> records(kRecords);
  for (std::size_t i = 0; i < kRecords; ++i) {
    packet& p = records[i];
    PacketInit(p);
    p.set_type(kPacketMessage);
    PacketSetNumber(p, "+7916" + std::to_string(1000000 + i));
    PacketSetDate(p, "09.12.2026 10:00:00");
    std::string text = Ansi("Сообщение ") + std::to_string(i) + Ansi(": совещание переносится на завтра.");
    if (textBytes > 0) text.resize(textBytes, '.');
    PacketSetText(p, text);
  }
  if (!WriteMessageFile(path, records)) std::abort();
}

// The handler, then the list painted as the user first sees it.
double OpenList(TMainForm& form, void (TMainForm::*open)()) {
  return MedianMs([&] {
    (form.*open)();
    form.MessageTable->viewport()->repaint();
  });
}

void Lists(const std::string& dir) {
  stream_client client;
  client.port = 1;  // nothing listens there: the window starts unconnected
  for (std::size_t textBytes : {std::size_t{0}, kTextSize}) {
    WriteList(PathJoin(dir, "inbox.db"), textBytes);
    WriteList(PathJoin(dir, "outbox.db"), textBytes);
    TMainForm form(client, dir);
    form.show();
    QApplication::processEvents();
    const double inbox = OpenList(form, &TMainForm::qmInBoxClick);
    const int rows = form.MessageTable->model()->rowCount();
    const double outbox = OpenList(form, &TMainForm::qmOutBoxClick);
    std::printf("a list of %zu records (%.1f MB), texts of %s: \"Принятые\" opens in %.1f ms, "
                "\"Отправленные\" in %.1f ms (%d rows)\n",
                kRecords, static_cast<double>(kRecords * kPacketSize) / 1e6,
                textBytes ? "1024 bytes" : "about 50 bytes", inbox, outbox, rows);
    form.close();
  }
  ::unlink(PathJoin(dir, "inbox.db").c_str());
  ::unlink(PathJoin(dir, "outbox.db").c_str());
}

void SilentStart(const std::string& dir) {
  FullQueue silent;
  WriteClientConfig(dir, ClientConfig{"127.0.0.1", silent.port});
  std::vector<double> shown, closed;
  for (int i = 0; i < kRuns; ++i) {
    stream_client client;
    const auto start = Clock::now();
    TMainForm form(client, dir);
    form.show();
    QApplication::processEvents();
    shown.push_back(Ms(Clock::now() - start));
    if (!form.ConnectPending()) std::abort();
    const auto closing = Clock::now();
    form.close();
    closed.push_back(Ms(Clock::now() - closing));
  }
  std::printf("main window shown, the server's queue full: %.1f ms; closed while the connect waits: %.2f ms\n",
              Median(shown), Median(closed));
}

// A compose job whose packets wait on a server that never reads; the window is
// closed once the first one waits.
void CloseWhileAPacketWaits(const std::string& dir) {
  std::vector<double> ms;
  for (int i = 0; i < kRuns; ++i) {
    int port = 0;
    const int listener = Listener(1, port);
    WriteClientConfig(dir, ClientConfig{"127.0.0.1", port});
    stream_client client;
    TMainForm form(client, dir);
    while (form.ConnectPending()) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const int served = ::accept(listener, nullptr, nullptr);
    if (!client.connected() || served < 0) std::abort();
    const int small = 4096;
    ::setsockopt(client.socket(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    ::setsockopt(served, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    Clock::time_point closing;
    client.sendWait = [&, windowsWait = client.sendWait](int socket, SteadyTime deadline) {
      if (closing == Clock::time_point()) {
        QTimer::singleShot(0, &form, [&] {
          closing = Clock::now();
          form.close();
        });
      }
      return windowsWait(socket, deadline);
    };
    QTimer::singleShot(0, [] {
      for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* compose = qobject_cast<TComposeForm*>(w); compose && compose->isVisible()) {
          QStringList numbers;
          for (int n = 0; n < 300; ++n) numbers << QString::number(79250000000LL + n);
          compose->RecepientsEdit->setText(numbers.join(','));
          compose->MessageText->setPlainText(QStringLiteral("Совещание переносится на завтра, 10:00."));
          compose->accept();
        }
    });
    form.actComposeExecute();
    if (closing == Clock::time_point()) std::abort();
    ms.push_back(Ms(Clock::now() - closing));
    ::close(served);
    ::close(listener);
  }
  std::printf("closed while a packet waits (the send limit 5 s): the job over in %.2f ms\n", Median(ms));
  ::unlink(PathJoin(dir, "outbox.db").c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  char pattern[] = "/tmp/trelm-bench-XXXXXX";
  const std::string dir = ::mkdtemp(pattern);
  Lists(dir);
  SilentStart(dir);
  CloseWhileAPacketWaits(dir);
  ::unlink(PathJoin(dir, "Config.ini").c_str());
  ::rmdir(dir.c_str());
  return 0;
}
