#include "client/ui/main_form.h"

#include <QAction>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QThread>
#include <QTimer>
#include <QToolButton>

#include "client/book/qt/address_book.h"
#include "client/book/qt/report_list.h"
#include "client/core/address_text.h"
#include "client/core/client_config.h"
#include "client/core/mail_check.h"
#include "client/ui/access_form.h"
#include "client/ui/config_form.h"
#include "client/ui/connect_attempt.h"
#include "client/ui/ip_address_edit.h"
#include "client/ui/load_mailbox.h"
#include "client/ui/pictures.h"
#include "platform/codepage.h"
#include "platform/file_io.h"
#include "platform/message_box.h"
#include "platform/message_window.h"
#include "platform/qt/qt_message_queue.h"
#include "platform/qt/qt_text.h"

namespace {

const QColor kHighlight(0, 0, 255);

}  // namespace

StatusLine ConnectionStatusLine(bool connected, const std::string& serverIP) {
  if (connected) return {QStringLiteral("Подключен к ") + FromAnsi(serverIP), QColor(0, 128, 0)};
  return {QStringLiteral("Не подключен"), QColor(255, 0, 0)};
}

// The receive thread's way to the user. What touches the window runs on the
// user-interface thread while the receive thread waits; the dialog and the boxes
// it shows block no window, so the user can go on working or close the program.
// Once the window is closing nothing more is shown.
class TMainForm::Hooks : public ReceiveHooks {
 public:
  explicit Hooks(TMainForm& form) : form_(form), appDir_(form.AppDir) {}

  std::string AppDir() const override { return appDir_; }

  void RunLoginDialog(const SendLogin& send) override {
    TMainForm* form = &form_;
    SynchronizeUntilDone([form, send](SyncDone done) {
      auto* dialog = new TAccessForm(form);
      form->loginDialog_ = dialog;
      QObject::connect(dialog, &QDialog::finished, dialog, [dialog, send, done](int result) {
        if (result == QDialog::Accepted)
          send(LoginAnswer{ToAnsi(dialog->UserName->text()), ToAnsi(dialog->UserPassword->text())});
        dialog->deleteLater();
        done();
      });
      QObject::connect(dialog, &QObject::destroyed, [done] { done(); });
      dialog->show();
    });
  }

  void ShowConnectionMessage(std::string_view text) override {
    std::string caption;
    if (!Synchronize([&] { caption = form_.ServerIP; })) return;
    MessageBox(text, caption, MbButtons::Ok);
    Synchronize([this] { form_.RepaintStatusBar(); });
  }

  void ShowWarning(std::string_view text) override {
    MessageBox(text, Ansi("Предупреждение"), MbButtons::Ok, MbIcon::Warning);
  }

 private:
  TMainForm& form_;
  const std::string appDir_;
};

TMainForm::TMainForm(stream_client& client, std::string appDir, QWidget* parent)
    : QMainWindow(parent), client_(client), AppDir(std::move(appDir)) {
  setObjectName(QStringLiteral("MainForm"));
  setWindowTitle(QStringLiteral("Trelm SMS Клиент"));
  setWindowIcon(ProgramIcon());
  QFont font;
  font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("DejaVu Sans")});
  font.setPointSize(8);
  setFont(font);
  resize(696, 478);
  setMinimumSize(696, 478);

  auto* central = new QWidget(this);
  central->setObjectName(QStringLiteral("ClientArea"));
  central->setAutoFillBackground(true);
  QPalette white = central->palette();
  white.setColor(QPalette::Window, Qt::white);
  central->setPalette(white);
  central->installEventFilter(this);
  setCentralWidget(central);
  auto* layout = new QHBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  BuildActions();
  BuildQuickMenu();
  BuildContactsView();
  BuildMessageView();
  layout->addWidget(QuikMenu);
  layout->addWidget(PanelContacts, 1);
  layout->addWidget(PanelMessageBox, 1);
  BuildMenus();
  BuildStatusBar();

  MailCheckTimer = new QTimer(this);
  MailCheckTimer->setObjectName(QStringLiteral("MailCheckTimer"));
  MailCheckTimer->setInterval(60000);  // kept for a periodic mail check; nothing is bound to it

  ServeMessagesInQtEventLoop();  // the receive thread's calls are served from the event loop
  // A packet the connection cannot take at once is waited for in the event
  // loop, so the windows paint and the program can be closed meanwhile.
  client_.sendWait = [this](int socket, SteadyTime deadline) {
    if (QThread::currentThread() != thread()) return WaitWritableUntil(socket, deadline);
    return windows_.WaitWritable(socket, deadline);
  };
  FormCreate();
}

TMainForm::~TMainForm() {
  StopReceiving();
  client_.sendWait = {};
}

void TMainForm::FormCreate() {
  MailList.clear();

  for (QAction* item : PopupMenu->actions()) mmContactsList->addAction(item);
  mmContactsList->addSeparator();
  mmContactsList->addAction(actSearch);

  mmServices->insertSeparator(mmOptions);
  mmServices->insertSeparator(mmContactsList->menuAction());
  mmFile->insertSeparator(mmClose);

  LoadContacts(AppDir, ContactsList);

  const ClientConfig config = ReadClientConfig(AppDir);
  client_.port = config.port;
  ServerIP = config.serverIP;

  hooks_ = std::make_unique<Hooks>(*this);
  // At start a failure shows only in the status line. The window shows and
  // takes input while the server is awaited.
  StartConnect(false);
}

void TMainForm::closeEvent(QCloseEvent* event) {
  FormClose();
  event->accept();
}

void TMainForm::FormClose() {
  if (closed_) return;
  closed_ = true;
  windows_.OwnerClosed();  // a dialog, box or job the user was in ends with the program
  MailList.clear();
  StopReceiving();
  emit Closed();
}

void TMainForm::StopReceiving() {
  SynchronizeRefusal closing;  // a receive thread waiting for this window is let go
  Disconnect();
  receiveThreads_.JoinAll();
}

void TMainForm::StartReceiveThread() { receiveThreads_.StartReceiveThread(client_, *hooks_); }

void TMainForm::mmCloseClick() { close(); }

void TMainForm::Highlight(QToolButton* button) {
  ResetQuickMenuHighlight();
  SetTextColour(button, kHighlight);
}

void TMainForm::ResetQuickMenuHighlight() {
  for (QToolButton* button : {qmInBox, qmOutBox, qmContacts, qmCompose, qmOptions}) SetTextColour(button, Qt::black);
}

void TMainForm::qmOutBoxClick() {
  Highlight(qmOutBox);
  PanelContacts->hide();
  PanelMBCaption->setText(QStringLiteral(" Отправленные"));
  LoadMailbox(PathJoin(AppDir, "outbox.db"), MessageTable);
  PanelMessageBox->show();
}

void TMainForm::qmInBoxClick() {
  Highlight(qmInBox);
  PanelContacts->hide();
  PanelMBCaption->setText(QStringLiteral(" Принятые"));
  LoadMailbox(PathJoin(AppDir, "inbox.db"), MessageTable);
  PanelMessageBox->show();
}

void TMainForm::qmContactsClick() {
  Highlight(qmContacts);
  PanelMessageBox->hide();
  PanelContacts->show();
}

StatusLine TMainForm::CurrentStatusLine() const { return ConnectionStatusLine(client_.connected(), ServerIP); }

void TMainForm::RepaintStatusBar() { StatusPanel->update(); }

void TMainForm::StatusBarDrawPanel(QPainter& canvas, const QRect& rect, int panel) {
  if (panel != 0) return;
  QFont font;
  font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans")});
  font.setPointSize(8);
  font.setBold(true);
  font.setUnderline(true);
  canvas.setFont(font);
  const StatusLine line = CurrentStatusLine();
  canvas.setPen(line.colour);
  canvas.drawText(rect.adjusted(5, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, line.text);
}

void TMainForm::Disconnect() {
  connecting_.reset();
  client_.Close();
}

void TMainForm::StartConnect(bool warnIfItFails) {
  connecting_.reset();
  warnIfConnectFails_ = warnIfItFails;
  std::unique_ptr<PendingConnect> pending = client_.BeginConnect(ServerIP);
  if (!pending) return ConnectFinished(false);
  // The window's child too, so that one left to be deleted later goes with the window at the latest.
  connecting_ = std::make_unique<ConnectAttempt>(client_, std::move(pending), this);
  connect(connecting_.get(), &ConnectAttempt::Finished, this, &TMainForm::ConnectFinished);
}

void TMainForm::ConnectFinished(bool connected) {
  if (connecting_) connecting_.release()->deleteLater();  // it is still telling its outcome
  if (connected)
    StartReceiveThread();
  else if (warnIfConnectFails_)
    MessageBox(Ansi("Сервер не отвечает"), ServerIP, MbButtons::Ok);
  RepaintStatusBar();
}

void TMainForm::actConnectExecute() {
  if (client_.connected()) return;
  // A connect under way (the one at start) is the one asked for: its failure is told.
  if (connecting_) {
    warnIfConnectFails_ = true;
    return;
  }
  StartConnect(true);
}

namespace {

// A port the connection can use, or nothing.
std::optional<std::int32_t> PortOf(const QString& text) {
  const std::optional<std::int32_t> port = ParseInt32(ToAnsi(text));
  if (!port || *port < 1 || *port > 65535) return std::nullopt;
  return port;
}

// What the settings dialog holds, checked before it closes: the first fault is
// told and the dialog stays open.
bool SettingsTyped(const TConfigForm& dialog) {
  const char* fault = nullptr;
  if (dialog.IPAddressHandle->IsBlank())
    fault = "IP адрес не задан!";
  else if (!PortOf(dialog.RemotePort->text()))
    fault = "Порт должен быть от 1 до 65535";
  if (!fault) return true;
  MessageBox(Ansi(fault), Ansi("Предупреждение"), MbButtons::Ok, MbIcon::Warning);
  return false;
}

}  // namespace

void TMainForm::actOptionsExecute() {
  Highlight(qmOptions);
  auto dialog = std::make_unique<TConfigForm>(this);
  dialog->RemotePort->setText(QString::number(client_.port));
  // A stored address the control cannot show (a host name) leaves it blank;
  // saving then asks for one.
  if (const std::optional<std::uint32_t> address = StoredAddressValue(ServerIP))
    dialog->IPAddressHandle->SetAddress(*address);
  dialog->SetCheck([&typed = *dialog] { return SettingsTyped(typed); });
  if (windows_.Run(*dialog) == TConfigForm::kResultYes) {
    ServerIP = DottedAddress(dialog->IPAddressHandle->GetAddress());
    Disconnect();
    client_.port = *PortOf(dialog->RemotePort->text());
    if (!WriteClientConfig(AppDir, ClientConfig{ServerIP, client_.port}))
      MessageBox(Ansi("Не удалось записать файл ") + ClientConfigPath(AppDir), Ansi("Предупреждение"),
                 MbButtons::Ok, MbIcon::Warning);
    StartConnect(true);
  }
  dialog.reset();
  ResetQuickMenuHighlight();
}

void TMainForm::PerformMailCheckClick() {
  if (LoginStillNeeded()) return;
  RequestReceivedMessages(client_);
}

bool TMainForm::LoginStillNeeded() {
  const ConnectionPtr connection = client_.Current();
  if (!connection || !connection->LoginPending()) return false;
  if (MessageBox(Ansi("Сервер требует авторизации. Войти?"), Ansi("Предупреждение"), MbButtons::YesNo,
                 MbIcon::Question) == MbResult::Yes)
    OfferLogin(connection);
  return true;
}

void TMainForm::OfferLogin(const ConnectionPtr& connection) {
  if (loginDialog_ && loginDialog_->isVisible()) {
    loginDialog_->raise();
    loginDialog_->activateWindow();
    return;
  }
  TAccessForm dialog(this);
  if (windows_.Run(dialog) == QDialog::Accepted)
    SendLoginAnswer(client_, connection,
                    LoginAnswer{ToAnsi(dialog.UserName->text()), ToAnsi(dialog.UserPassword->text())});
}

// A click on the window's own bare area, not on any of its parts, edits the
// selected contact.
bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == PanelContacts && event->type() == QEvent::Resize && ContactsSearchPanel) PlaceContactsView();
  if (watched == centralWidget() && event->type() == QEvent::MouseButtonRelease) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::LeftButton && !centralWidget()->childAt(mouse->position().toPoint()))
      actContactEditExecute();
  }
  return QMainWindow::eventFilter(watched, event);
}
