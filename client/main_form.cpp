#include "client/main_form.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "client/access_form.h"
#include "client/address_book.h"
#include "client/address_text.h"
#include "client/client_config.h"
#include "client/config_form.h"
#include "client/ip_address_edit.h"
#include "client/load_mailbox.h"
#include "client/mail_check.h"
#include "client/pictures.h"
#include "client/report_list.h"
#include "client/ui_calls.h"
#include "platform/codepage.h"
#include "platform/file_io.h"
#include "platform/message_box.h"
#include "platform/qt/qt_text.h"

namespace {

const QColor kHeadingColour(0xA6, 0xCA, 0xF0);  // sky blue
const QColor kHighlight(0, 0, 255);

// The status line: one panel drawn by the main window.
class OwnerDrawPanel : public QWidget {
 public:
  OwnerDrawPanel(TMainForm* form, QWidget* parent) : QWidget(parent), form_(form) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter canvas(this);
    form_->StatusBarDrawPanel(canvas, rect(), 0);
  }

 private:
  TMainForm* form_;
};

QLabel* Heading(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  QFont font = label->font();
  font.setBold(true);
  label->setFont(font);
  label->setAutoFillBackground(true);
  QPalette palette = label->palette();
  palette.setColor(QPalette::Window, kHeadingColour);
  label->setPalette(palette);
  label->setFixedHeight(label->fontMetrics().height() + 6);
  return label;
}

QFrame* Panel(const QString& name, QWidget* parent) {
  auto* panel = new QFrame(parent);
  panel->setObjectName(name);
  return panel;
}

void SetTextColour(QToolButton* button, const QColor& colour) {
  QPalette palette = button->palette();
  palette.setColor(QPalette::ButtonText, colour);
  palette.setColor(QPalette::WindowText, colour);
  button->setPalette(palette);
}

}  // namespace

StatusLine ConnectionStatusLine(bool connected, const std::string& serverIP) {
  if (connected) return {QStringLiteral("Подключен к ") + FromAnsi(serverIP), QColor(0, 128, 0)};
  return {QStringLiteral("Не подключен"), QColor(255, 0, 0)};
}

// The receive thread's way to the user: every dialog and message box it needs
// runs on the user-interface thread while the thread waits for it.
class TMainForm::Hooks : public ReceiveHooks {
 public:
  Hooks(TMainForm& form, UiCalls& calls) : form_(form), calls_(calls), appDir_(form.AppDir) {}

  std::string AppDir() const override { return appDir_; }

  void RunLoginDialog(const SendLogin& send) override {
    TMainForm* form = &form_;
    calls_.Run([form, send](UiCalls::Finish finish) {
      auto* dialog = new TAccessForm(form);
      QObject::connect(dialog, &QDialog::finished, dialog, [dialog, send, finish](int result) {
        if (result == QDialog::Accepted)
          send(LoginAnswer{ToAnsi(dialog->UserName->text()), ToAnsi(dialog->UserPassword->text())});
        dialog->deleteLater();
        finish();
      });
      dialog->open();
    });
  }

  void ShowConnectionMessage(std::string_view text) override {
    TMainForm* form = &form_;
    calls_.Run([form, text = std::string(text)](UiCalls::Finish finish) {
      MessageBox(text, form->ServerIP, MbButtons::Ok);
      form->RepaintStatusBar();
      finish();
    });
  }

  void ShowWarning(std::string_view text) override {
    calls_.Run([text = std::string(text)](UiCalls::Finish finish) {
      MessageBox(text, Ansi("Предупреждение"), MbButtons::Ok, MbIcon::Warning);
      finish();
    });
  }

 private:
  TMainForm& form_;
  UiCalls& calls_;
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

  uiCalls_ = std::make_unique<UiCalls>(this);
  FormCreate();
}

TMainForm::~TMainForm() { StopReceiving(); }

void TMainForm::BuildActions() {
  auto make = [this](const char* name, const QString& text, const QIcon& icon = {}) {
    auto* action = new QAction(icon, text, this);
    action->setObjectName(QString::fromLatin1(name));
    return action;
  };
  actContactEdit = make("actContactEdit", QStringLiteral("Редактировать"), EditPicture());
  actContactAdd = make("actContactAdd", QStringLiteral("Добавить"), AddPicture());
  actSearch = make("actSearch", QStringLiteral("Поиск"), SearchPicture());
  actContactRemove = make("actContactRemove", QStringLiteral("Удалить"), RemovePicture());
  for (QAction* action : {actContactEdit, actContactAdd, actSearch, actContactRemove})
    action->setProperty("category", QStringLiteral("ManageContacts"));
  actCompose = make("actCompose", QStringLiteral("Написать сообщение"));
  actConnect = make("actConnect", QStringLiteral("Подключиться к серверу"));
  actOptions = make("actOptions", QStringLiteral("Настройки"));

  connect(actContactEdit, &QAction::triggered, this, &TMainForm::actContactEditExecute);
  connect(actContactAdd, &QAction::triggered, this, &TMainForm::actContactAddExecute);
  connect(actSearch, &QAction::triggered, this, &TMainForm::actSearchExecute);
  connect(actContactRemove, &QAction::triggered, this, &TMainForm::actContactRemoveExecute);
  connect(actCompose, &QAction::triggered, this, &TMainForm::actComposeExecute);
  connect(actConnect, &QAction::triggered, this, &TMainForm::actConnectExecute);
  connect(actOptions, &QAction::triggered, this, &TMainForm::actOptionsExecute);
}

void TMainForm::BuildQuickMenu() {
  QuikMenu = Panel(QStringLiteral("QuikMenu"), this);
  QuikMenu->setFixedWidth(105);
  QuikMenu->setAutoFillBackground(true);
  QPalette white = QuikMenu->palette();
  white.setColor(QPalette::Window, Qt::white);
  QuikMenu->setPalette(white);

  auto button = [this](const char* name, const QString& caption, const QIcon& picture, int top) {
    auto* b = new QToolButton(QuikMenu);
    b->setObjectName(QString::fromLatin1(name));
    b->setText(caption);
    b->setIcon(picture);
    b->setIconSize(QSize(40, 40));
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setAutoRaise(true);
    b->setGeometry(2, top, 100, 80);
    SetTextColour(b, Qt::black);
    return b;
  };
  qmCompose = button("qmCompose", QStringLiteral("Написать"), ComposePicture(), 2);
  qmOutBox = button("qmOutBox", QStringLiteral("Отправленные"), OutBoxPicture(), 82);
  qmInBox = button("qmInBox", QStringLiteral("Принятые"), InBoxPicture(), 162);
  qmContacts = button("qmContacts", QStringLiteral("Контакты"), ContactsPicture(), 242);
  qmOptions = button("qmOptions", actOptions->text(), OptionsPicture(), 322);

  connect(qmCompose, &QToolButton::clicked, actCompose, &QAction::trigger);
  connect(qmOutBox, &QToolButton::clicked, this, &TMainForm::qmOutBoxClick);
  connect(qmInBox, &QToolButton::clicked, this, &TMainForm::qmInBoxClick);
  connect(qmContacts, &QToolButton::clicked, this, &TMainForm::qmContactsClick);
  connect(qmOptions, &QToolButton::clicked, actOptions, &QAction::trigger);
}

void TMainForm::BuildContactsView() {
  // Laid out by PlaceContactsView: the search panel opens over the bottom of
  // the list, and the search command gives it the room.
  PanelContacts = Panel(QStringLiteral("PanelContacts"), this);
  PanelContacts->installEventFilter(this);

  CaptionContacts = Heading(QStringLiteral(" Контакты"), PanelContacts);
  CaptionContacts->setObjectName(QStringLiteral("CaptionContacts"));

  ToolBarContacts = new QToolBar(PanelContacts);
  ToolBarContacts->setObjectName(QStringLiteral("ToolBarContacts"));
  ToolBarContacts->setIconSize(QSize(16, 16));
  auto toolButton = [this](const char* name, QAction* action) {
    auto* b = new QToolButton(ToolBarContacts);
    b->setObjectName(QString::fromLatin1(name));
    b->setDefaultAction(action);
    b->setAutoRaise(true);
    b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    ToolBarContacts->addWidget(b);
    return b;
  };
  ContactAdd = toolButton("ContactAdd", actContactAdd);
  ContactEdit = toolButton("ContactEdit", actContactEdit);
  ContactRemove = toolButton("ContactRemove", actContactRemove);
  ContactSearch = toolButton("ContactSearch", actSearch);

  ContactsList = new TReportList(
      {QStringLiteral("абонент"), QStringLiteral("номер телефона"), QStringLiteral("группа")}, true, PanelContacts);
  ContactsList->setObjectName(QStringLiteral("ContactsList"));
  ContactsList->setColumnWidth(0, 200);
  ContactsList->setColumnWidth(1, 150);

  PopupMenu = new QMenu(this);
  PopupMenu->setObjectName(QStringLiteral("PopupMenu"));
  PopupMenu->addAction(actContactAdd);
  PopupMenu->addAction(actContactEdit);
  PopupMenu->addAction(actContactRemove);
  pumAdd = actContactAdd;
  pumEdit = actContactEdit;
  pumRemove = actContactRemove;
  ContactsList->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(ContactsList, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { PopupMenu->popup(ContactsList->viewport()->mapToGlobal(at)); });
  connect(ContactsList, &QTreeWidget::itemDoubleClicked, this, &TMainForm::actContactEditExecute);

  ContactsSearchPanel = Panel(QStringLiteral("ContactsSearchPanel"), PanelContacts);
  ContactsSearchPanel->setFixedHeight(53);
  auto* search = new QGridLayout(ContactsSearchPanel);
  search->setContentsMargins(0, 0, 4, 2);
  search->setVerticalSpacing(2);
  CaptionSearch = Heading(QStringLiteral(" Поиск"), ContactsSearchPanel);
  CaptionSearch->setObjectName(QStringLiteral("CaptionSearch"));
  search->addWidget(CaptionSearch, 0, 0, 1, 4);
  NameLabel = new QLabel(QStringLiteral("Имя абонента:"), ContactsSearchPanel);
  NameToSearch = new QLineEdit(ContactsSearchPanel);
  NameToSearch->setObjectName(QStringLiteral("NameToSearch"));
  NameLabel->setBuddy(NameToSearch);
  GroupLabel = new QLabel(QStringLiteral("Группа:"), ContactsSearchPanel);
  GroupLabel->setObjectName(QStringLiteral("GroupLabel"));
  GroupToSearch = new QComboBox(ContactsSearchPanel);
  GroupToSearch->setObjectName(QStringLiteral("GroupToSearch"));
  GroupToSearch->setEditable(true);
  GroupLabel->setBuddy(GroupToSearch);
  search->addWidget(NameLabel, 1, 0);
  search->addWidget(NameToSearch, 1, 1);
  search->addWidget(GroupLabel, 1, 2);
  search->addWidget(GroupToSearch, 1, 3);
  search->setColumnStretch(1, 1);
  search->setColumnStretch(3, 1);
  ContactsSearchPanel->hide();
  connect(NameToSearch, &QLineEdit::textChanged, this, &TMainForm::NameToSearchChange);
  connect(GroupToSearch, &QComboBox::currentTextChanged, this, &TMainForm::NameToSearchChange);
}

void TMainForm::PlaceContactsView() {
  constexpr int kSearchPanelHeight = 53;
  constexpr int kListGivesUp = 51;  // the panel overlaps the list by two pixels
  const int width = PanelContacts->width();
  const int height = PanelContacts->height();
  CaptionContacts->setGeometry(0, 0, width, CaptionContacts->height());
  const int toolTop = CaptionContacts->height();
  ToolBarContacts->setGeometry(0, toolTop, width, ToolBarContacts->sizeHint().height());
  const int listTop = toolTop + ToolBarContacts->height();
  const int listBottom = height - (ContactsSearchPanel->isVisible() ? kListGivesUp : 0);
  ContactsList->setGeometry(0, listTop, width, std::max(0, listBottom - listTop));
  ContactsSearchPanel->setGeometry(0, height - kSearchPanelHeight, width, kSearchPanelHeight);
  ContactsSearchPanel->raise();
}

void TMainForm::BuildMessageView() {
  PanelMessageBox = Panel(QStringLiteral("PanelMessageBox"), this);
  auto* column = new QVBoxLayout(PanelMessageBox);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  PanelMBCaption = Heading(QString(), PanelMessageBox);
  PanelMBCaption->setObjectName(QStringLiteral("PanelMBCaption"));
  column->addWidget(PanelMBCaption);
  MessageTable = new TReportList(
      {QStringLiteral("номер абонента"), QStringLiteral("дата и время"), QStringLiteral("текст сообщения")}, false,
      PanelMessageBox);
  MessageTable->setObjectName(QStringLiteral("MessageTable"));
  MessageTable->setColumnWidth(0, 120);
  MessageTable->setColumnWidth(1, 130);
  column->addWidget(MessageTable, 1);
  PanelMessageBox->hide();
}

void TMainForm::BuildMenus() {
  MainMenu = menuBar();
  MainMenu->setObjectName(QStringLiteral("MainMenu"));
  mmFile = MainMenu->addMenu(QStringLiteral("Файл"));
  mmFile->setObjectName(QStringLiteral("mmFile"));
  mmInBox = mmFile->addAction(QStringLiteral("Принятые"), this, &TMainForm::qmInBoxClick);
  mmOutBox = mmFile->addAction(QStringLiteral("Отпрвавленные"), this, &TMainForm::qmOutBoxClick);
  mmContacts = mmFile->addAction(QStringLiteral("Контакты"), this, &TMainForm::qmContactsClick);
  mmClose = mmFile->addAction(QStringLiteral("Выход"), this, &TMainForm::mmCloseClick);

  mmServices = MainMenu->addMenu(QStringLiteral("Сервис"));
  mmServices->setObjectName(QStringLiteral("mmServices"));
  mmServices->addAction(actConnect);
  mmConnect = actConnect;
  PerformMailCheck = mmServices->addAction(QStringLiteral("Считать сообщения"), this, &TMainForm::PerformMailCheckClick);
  mmServices->addAction(actCompose);
  mmCompose = actCompose;
  mmContactsList = mmServices->addMenu(QStringLiteral("Список контактов"));
  mmContactsList->setObjectName(QStringLiteral("mmContactsList"));
  mmServices->addAction(actOptions);
  mmOptions = actOptions;

  mmInBox->setObjectName(QStringLiteral("mmInBox"));
  mmOutBox->setObjectName(QStringLiteral("mmOutBox"));
  mmContacts->setObjectName(QStringLiteral("mmContacts"));
  mmClose->setObjectName(QStringLiteral("mmClose"));
  PerformMailCheck->setObjectName(QStringLiteral("PerformMailCheck"));
}

void TMainForm::BuildStatusBar() {
  StatusBar = statusBar();
  StatusBar->setObjectName(QStringLiteral("StatusBar"));
  StatusBar->setSizeGripEnabled(false);
  StatusBar->setAutoFillBackground(true);
  QPalette face = StatusBar->palette();
  face.setColor(QPalette::Window, face.color(QPalette::Button));
  StatusBar->setPalette(face);
  StatusBar->setStyleSheet(QStringLiteral("QStatusBar::item { border: none; }"));
  StatusPanel = new OwnerDrawPanel(this, StatusBar);
  StatusPanel->setObjectName(QStringLiteral("StatusPanel"));
  StatusPanel->setFixedWidth(200);
  StatusPanel->setMinimumHeight(StatusBar->fontMetrics().height() + 4);
  StatusBar->addWidget(StatusPanel);
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

  hooks_ = std::make_unique<Hooks>(*this, *uiCalls_);
  // At start a failure shows only in the status line.
  if (client_.Connect(ServerIP)) StartReceiveThread();
  RepaintStatusBar();
}

void TMainForm::closeEvent(QCloseEvent* event) {
  FormClose();
  event->accept();
}

void TMainForm::FormClose() {
  if (closed_) return;
  closed_ = true;
  MailList.clear();
  StopReceiving();
  emit Closed();
}

void TMainForm::StopReceiving() {
  client_.Close();
  uiCalls_->Cancel();
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

void TMainForm::ConnectOrWarn() {
  if (client_.Connect(ServerIP))
    StartReceiveThread();
  else
    MessageBox(Ansi("Сервер не отвечает"), ServerIP, MbButtons::Ok);
}

void TMainForm::actConnectExecute() {
  if (client_.connected()) return;
  ConnectOrWarn();
  RepaintStatusBar();
}

void TMainForm::actOptionsExecute() {
  Highlight(qmOptions);
  auto* dialog = new TConfigForm(this);
  dialog->RemotePort->setText(QString::number(client_.port));
  std::string badPart;
  const std::optional<std::uint32_t> address = StoredAddressValue(ServerIP, &badPart);
  if (!address) {
    MessageBox(Ansi("'") + badPart + Ansi("' - неверное целое число"), Ansi("Trelm SMS Клиент"), MbButtons::Ok,
               MbIcon::Error);
  } else {
    dialog->IPAddressHandle->SetAddress(*address);
    if (dialog->exec() == TConfigForm::kResultYes) {
      const std::optional<std::int32_t> port = ParseInt32(ToAnsi(dialog->RemotePort->text()));
      if (dialog->IPAddressHandle->IsBlank()) {
        MessageBox(Ansi("IP адрес не задан!"), Ansi("Предупреждение"), MbButtons::Ok, MbIcon::Warning);
      } else if (!port) {
        // Checked before anything changes, so a bad port keeps the old connection.
        MessageBox(Ansi("'") + ToAnsi(dialog->RemotePort->text()) + Ansi("' - неверное целое число"),
                   Ansi("Trelm SMS Клиент"), MbButtons::Ok, MbIcon::Error);
      } else {
        ServerIP = DottedAddress(dialog->IPAddressHandle->GetAddress());
        client_.Close();
        client_.port = *port;
        WriteClientConfig(AppDir, ClientConfig{ServerIP, client_.port});
        ConnectOrWarn();
        RepaintStatusBar();
      }
    }
  }
  delete dialog;
  ResetQuickMenuHighlight();
}

void TMainForm::PerformMailCheckClick() { RequestReceivedMessages(client_); }

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
