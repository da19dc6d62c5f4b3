// The main window's components: built once, as a form resource would hold them.
#include <QAction>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

#include "client/book/qt/report_list.h"
#include "client/ui/mailbox_model.h"
#include "client/ui/main_form.h"
#include "client/ui/pictures.h"

namespace {

const QColor kHeadingColour(0xA6, 0xCA, 0xF0);  // sky blue

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

}  // namespace

void TMainForm::SetTextColour(QToolButton* button, const QColor& colour) {
  QPalette palette = button->palette();
  palette.setColor(QPalette::ButtonText, colour);
  palette.setColor(QPalette::WindowText, colour);
  button->setPalette(palette);
}

void TMainForm::BuildActions() {
  auto make = [this](const char* name, const QString& text, const QIcon& icon = {}) {
    auto* action = new QAction(icon, text, this);
    action->setObjectName(QString::fromLatin1(name));
    return action;
  };
  // Each caption marks its menu mnemonic ("&"), which only underlines it; the
  // tool buttons show the caption without it.
  actContactEdit = make("actContactEdit", QStringLiteral("&Редактировать"), EditPicture());
  actContactAdd = make("actContactAdd", QStringLiteral("&Добавить"), AddPicture());
  actSearch = make("actSearch", QStringLiteral("&Поиск"), SearchPicture());
  actContactRemove = make("actContactRemove", QStringLiteral("&Удалить"), RemovePicture());
  for (QAction* action : {actContactEdit, actContactAdd, actSearch, actContactRemove})
    action->setProperty("category", QStringLiteral("ManageContacts"));
  actCompose = make("actCompose", QStringLiteral("&Написать сообщение"));
  actConnect = make("actConnect", QStringLiteral("&Подключиться к серверу"));
  actOptions = make("actOptions", QStringLiteral("Н&астройки"));

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
  qmOptions = button("qmOptions", QStringLiteral("Настройки"), OptionsPicture(), 322);

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
  ContactsSearchPanel->setFixedHeight(kSearchPanelHeight);
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
  MessageTable = new QTreeView(PanelMessageBox);
  MessageTable->setObjectName(QStringLiteral("MessageTable"));
  SetReportStyle(*MessageTable, false);
  MessageTable->setModel(new MailboxModel(MessageTable));
  MessageTable->setColumnWidth(0, 120);
  MessageTable->setColumnWidth(1, 130);
  column->addWidget(MessageTable, 1);
  PanelMessageBox->hide();
}

void TMainForm::BuildMenus() {
  MainMenu = menuBar();
  MainMenu->setObjectName(QStringLiteral("MainMenu"));
  // Alt with a caption's marked letter opens its menu, and F10 the first one.
  mmFile = MainMenu->addMenu(QStringLiteral("&Файл"));
  mmFile->setObjectName(QStringLiteral("mmFile"));
  mmInBox = mmFile->addAction(QStringLiteral("&Принятые"), this, &TMainForm::qmInBoxClick);
  mmOutBox = mmFile->addAction(QStringLiteral("&Отправленные"), this, &TMainForm::qmOutBoxClick);
  mmContacts = mmFile->addAction(QStringLiteral("&Контакты"), this, &TMainForm::qmContactsClick);
  mmClose = mmFile->addAction(QStringLiteral("&Выход"), this, &TMainForm::mmCloseClick);
  mmClose->setShortcut(QKeySequence::Quit);
  auto* openMenu = new QAction(this);
  openMenu->setShortcut(Qt::Key_F10);
  connect(openMenu, &QAction::triggered, this, [this] { MainMenu->setActiveAction(mmFile->menuAction()); });
  addAction(openMenu);

  mmServices = MainMenu->addMenu(QStringLiteral("&Сервис"));
  mmServices->setObjectName(QStringLiteral("mmServices"));
  mmServices->addAction(actConnect);
  mmConnect = actConnect;
  PerformMailCheck = mmServices->addAction(QStringLiteral("&Считать сообщения"), this, &TMainForm::PerformMailCheckClick);
  mmServices->addAction(actCompose);
  mmCompose = actCompose;
  mmContactsList = mmServices->addMenu(QStringLiteral("Список &контактов"));
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
  // 200 at the least, and the whole status line when the window gives it: a
  // long server address is shown whole.
  StatusPanel->setMinimumWidth(200);
  StatusPanel->setMinimumHeight(StatusBar->fontMetrics().height() + 4);
  StatusBar->addWidget(StatusPanel, 1);
}
