#include "server/qt/main_form.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>

#include "platform/codepage.h"
#include "platform/file_io.h"
#include "platform/message_box.h"
#include "server/qt/splash_art.h"
#include "server/settings_files.h"
#include "server/clients/server_config.h"

namespace {
constexpr int kWidth = 400;
constexpr int kHeight = 300;
constexpr const char* kTitle = "Trelm SMS Server";
constexpr int kModemSearchMs = 5000;
}  // namespace

TMainForm::TMainForm(std::string programDir, QWidget* parent)
    : QWidget(parent, Qt::FramelessWindowHint | Qt::Tool), programDir_(std::move(programDir)) {
  setWindowTitle(QString::fromLatin1(kTitle));
  setFixedSize(kWidth, kHeight);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());

  Image = new QLabel(this);
  Image->setGeometry(0, 0, kWidth, kHeight);
  Image->setPixmap(SplashPicture(kWidth, kHeight));

  PopupMenu = new QMenu(this);
  pmSnt = PopupMenu->addAction(QString::fromUtf8("Исходящих: 0"));
  pmRcv = PopupMenu->addAction(QString::fromUtf8("Входящих: 0"));
  pmOptions = PopupMenu->addAction(QString::fromUtf8("Конфигурация"));
  pmClose = PopupMenu->addAction(QString::fromUtf8("Выход"));
  connect(PopupMenu, &QMenu::aboutToShow, this, &TMainForm::PopupMenuPopup);
  connect(pmOptions, &QAction::triggered, this, &TMainForm::pmOptionsClick);
  connect(pmClose, &QAction::triggered, this, &TMainForm::pmCloseClick);

  // The menu opens from the icon's context click; other clicks do nothing. A
  // machine without a notification area runs the server all the same.
  if (QSystemTrayIcon::isSystemTrayAvailable()) {
    TrayIcon = new QSystemTrayIcon(TrayPicture(), this);
    TrayIcon->setToolTip(QString::fromLatin1(kTitle));
    TrayIcon->setContextMenu(PopupMenu);
    TrayIcon->setVisible(true);
  }

  Timer = new QTimer(this);
  Timer->setInterval(2000);
  connect(Timer, &QTimer::timeout, this, &TMainForm::TimerTimer);
  ModemTimer = new QTimer(this);
  ModemTimer->setInterval(kModemSearchMs);
  connect(ModemTimer, &QTimer::timeout, this, &TMainForm::ModemTimerTimer);
}

TMainForm::~TMainForm() {
  // A form that was never closed (a test, an early end) still saves its queues.
  if (!closed_) CloseCore(false);
}

bool TMainForm::FormCreate() {
  AppDir = programDir_;
  if (!SettingsFilesReadable(AppDir)) return false;
  const ServerConfig config = ReadServerConfig(PathJoin(AppDir, kConfigFile));
  core_ = std::make_unique<ServerCore>(AppDir);
  core_->set_close_wait_ms(closeWaitMs);
  if (!core_->Start(config)) {
    core_.reset();
    return false;
  }
  modemSearch_ = std::make_unique<ModemSearch>(*core_);
  Timer->start();
  return true;
}

void TMainForm::TimerTimer() {
  Timer->stop();
  hide();
  LookForModem();
  if (core_) ModemTimer->start();
}

void TMainForm::ModemTimerTimer() { LookForModem(); }

void TMainForm::LookForModem() {
  if (!modemSearch_) return;
  if (const std::optional<std::string> failure = modemSearch_->Look())
    MessageBox(*failure, kTitle, MbButtons::Ok, MbIcon::Error);
}

void TMainForm::PopupMenuPopup() {
  const std::size_t outgoing = core_ ? core_->state().OutgoingCount() : 0;
  const std::size_t incoming = core_ ? core_->state().IncomingCount() : 0;
  pmSnt->setText(QString::fromUtf8("Исходящих: ") + QString::number(outgoing));
  pmRcv->setText(QString::fromUtf8("Входящих: ") + QString::number(incoming));
}

void TMainForm::pmOptionsClick() {
  // The configuration program is not ours; a missing one is not reported.
  QProcess::startDetached(QFile::decodeName(QByteArray::fromStdString(PathJoin(AppDir, "trelmconf"))), {});
}

void TMainForm::pmCloseClick() {
  closingFromMenu_ = true;
  close();
  closingFromMenu_ = false;
}

void TMainForm::FormCloseQuery(bool& canClose) { canClose = CloseCore(closingFromMenu_); }

bool TMainForm::CloseCore(bool stayOnFailure) {
  // A server that stays after a failed close must not go looking for its modem.
  Timer->stop();
  ModemTimer->stop();
  if (!core_) return true;
  core_->set_close_wait_ms(closeWaitMs);
  if (core_->Close()) return true;
  // The packets are still in memory. From the menu the operator can free space and
  // try again; a stop signal or the program's end cannot wait for that.
  std::string text = DescribeUnsavedQueues(core_->save_faults());
  text += stayOnFailure ? Ansi("Сообщения остались в памяти, сервер не завершён. Освободите место "
                               "и снова выберите \"Выход\".")
                        : Ansi("Сервер завершает работу, эти сообщения потеряны.");
  MessageBox(text, Ansi("Ошибка"), MbButtons::Ok, MbIcon::Error);
  if (stayOnFailure) return false;
  queuesLost_ = true;
  return true;
}

void TMainForm::closeEvent(QCloseEvent* event) {
  if (closed_) {
    event->accept();
    return;
  }
  bool canClose = true;
  FormCloseQuery(canClose);
  if (!canClose) {
    event->ignore();
    return;
  }
  closed_ = true;
  if (TrayIcon) TrayIcon->hide();
  event->accept();
  QCoreApplication::quit();
}
