// Pictures of the client's windows for a person to look at: the main window
// (connected, with a few sent messages), the settings dialog and the login
// dialog. Usage: client_screenshots <output directory>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QLineEdit>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <arpa/inet.h>
#include <cstdio>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "client/core/client_config.h"
#include "client/ui/access_form.h"
#include "client/ui/config_form.h"
#include "client/ui/ip_address_edit.h"
#include "client/ui/main_form.h"
#include "platform/codepage.h"
#include "platform/file_io.h"
#include "platform/qt/message_box_qt.h"
#include "protocol/message_file.h"

namespace {

// A listener that accepts and says nothing, so the window shows itself connected.
int Listen(int& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof a;
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  ::listen(fd, 4);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
  port = ntohs(a.sin_port);
  return fd;
}

void Save(QWidget* w, const QString& path) {
  QApplication::processEvents();
  // The whole window with its frame when the platform draws one, else the widget.
  QPixmap shot = w->screen()->grabWindow(0, w->frameGeometry().x(), w->frameGeometry().y(),
                                         w->frameGeometry().width(), w->frameGeometry().height());
  if (shot.isNull() || shot.width() < w->width()) shot = w->grab();
  shot.save(path);
  std::printf("%s (%dx%d)\n", path.toLocal8Bit().constData(), shot.width(), shot.height());
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  InstallQtMessageBoxes();
  const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
  QDir().mkpath(out);
  const std::string dir = QDir::tempPath().toStdString() + "/trelm-screenshots-" + std::to_string(::getpid());
  QDir().mkpath(QString::fromStdString(dir));

  int port = 0;
  const int listener = Listen(port);
  WriteClientConfig(dir, ClientConfig{"127.0.0.1", port});
  std::vector<packet> sent;
  for (const char* text : {"Совещание перенесено на 15:00", "Отчёт отправлен, проверьте почту",
                           "Hello from the office gateway"}) {
    packet p{};
    PacketInit(p);
    p.set_type(kPacketMessage);
    PacketSetNumber(p, "+79161234567");
    PacketSetDate(p, "09.12.2026 10:15:00");
    PacketSetText(p, Ansi(text));
    sent.push_back(p);
  }
  WriteMessageFile(PathJoin(dir, "outbox.db"), sent);
  WriteFileAtomically(PathJoin(dir, "ab.db"),
                      Ansi("[Офис]\r\n+79161234567=Иванов Пётр\r\n+79031112233=Смирнова Анна\r\n"
                           "[Склад]\r\n+79857654321=Кузнецов Олег\r\n"));

  stream_client client;
  TMainForm form(client, dir);
  while (form.ConnectPending()) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
  form.show();
  Save(&form, out + "/main-contacts.png");
  form.actSearch->trigger();
  Save(&form, out + "/main-contacts-search.png");
  form.actSearch->trigger();
  form.qmOutBoxClick();
  Save(&form, out + "/main-outbox.png");
  // Back to the contacts after the window grew while they were hidden.
  form.resize(820, 560);
  form.qmContactsClick();
  Save(&form, out + "/main-contacts-resized.png");
  form.resize(696, 478);

  TConfigForm config(&form);
  config.RemotePort->setText(QString::number(port));
  config.IPAddressHandle->SetAddress(0xC0A80005u);
  config.show();
  Save(&config, out + "/settings.png");
  config.hide();

  TAccessForm access(&form);
  access.UserName->setText(QStringLiteral("operator"));
  access.UserPassword->setText(QStringLiteral("secret"));
  access.show();
  Save(&access, out + "/login.png");
  access.hide();

  form.close();
  ::close(listener);
  QDir(QString::fromStdString(dir)).removeRecursively();
  return 0;
}
