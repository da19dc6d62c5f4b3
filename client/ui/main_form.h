#pragma once
// The client's main window: quick menu on the left, the contacts view or the
// message list view beside it, the main menu, and the connection state in the
// status line. It lives from start to end; every other dialog is made per use.
//
// The address book, the contact commands and compose add behaviour to the
// contacts view through the handlers declared below and defined in
// main_form_contacts.cpp; this class owns every component they use.
#include <QColor>
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "client/core/receive_thread.h"
#include "client/core/stream_client.h"
#include "client/ui/command_windows.h"

class QAction;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPainter;
class QRect;
class QStatusBar;
class QTimer;
class QToolBar;
class QToolButton;
class QTreeView;
class ConnectAttempt;
class TAccessForm;
class TComposeForm;
class TReportList;

// What the status line shows for a connection state.
struct StatusLine {
  QString text;
  QColor colour;
};
StatusLine ConnectionStatusLine(bool connected, const std::string& serverIP);

class TMainForm : public QMainWindow {
  Q_OBJECT
 public:
  // `client` is the program's one connection; `appDir` the directory of the
  // client's files (the program's own directory, or a test's).
  TMainForm(stream_client& client, std::string appDir, QWidget* parent = nullptr);
  ~TMainForm() override;

  stream_client& Client() const { return client_; }
  const std::string& GetServerIP() const { return ServerIP; }
  const std::string& GetAppDir() const { return AppDir; }
  // What the status line draws now.
  StatusLine CurrentStatusLine() const;
  // Asks the status line to draw the current connection state.
  void RepaintStatusBar();
  // True while a connect waits for the server's answer.
  bool ConnectPending() const { return connecting_ != nullptr; }
  // Starts the receive thread for the connection just made.
  void StartReceiveThread();
  // The dialogs, boxes and progress window the commands wait on.
  CommandWindows& Windows() { return windows_; }

  // Components, named as the rest of the client refers to them.
  QFrame* QuikMenu = nullptr;
  QToolButton* qmCompose = nullptr;
  QToolButton* qmOutBox = nullptr;
  QToolButton* qmInBox = nullptr;
  QToolButton* qmContacts = nullptr;
  QToolButton* qmOptions = nullptr;

  QFrame* PanelContacts = nullptr;
  QLabel* CaptionContacts = nullptr;
  QToolBar* ToolBarContacts = nullptr;
  QToolButton* ContactAdd = nullptr;
  QToolButton* ContactEdit = nullptr;
  QToolButton* ContactRemove = nullptr;
  QToolButton* ContactSearch = nullptr;
  TReportList* ContactsList = nullptr;
  QFrame* ContactsSearchPanel = nullptr;
  QLabel* CaptionSearch = nullptr;
  QLabel* NameLabel = nullptr;
  QLineEdit* NameToSearch = nullptr;
  QLabel* GroupLabel = nullptr;
  QComboBox* GroupToSearch = nullptr;

  QFrame* PanelMessageBox = nullptr;
  QLabel* PanelMBCaption = nullptr;
  QTreeView* MessageTable = nullptr;

  QStatusBar* StatusBar = nullptr;
  QWidget* StatusPanel = nullptr;

  // ActionList
  QAction* actContactEdit = nullptr;
  QAction* actContactAdd = nullptr;
  QAction* actSearch = nullptr;
  QAction* actContactRemove = nullptr;
  QAction* actCompose = nullptr;
  QAction* actConnect = nullptr;
  QAction* actOptions = nullptr;

  QMenu* PopupMenu = nullptr;
  QAction* pumAdd = nullptr;
  QAction* pumEdit = nullptr;
  QAction* pumRemove = nullptr;

  QMenuBar* MainMenu = nullptr;
  QMenu* mmFile = nullptr;
  QAction* mmInBox = nullptr;
  QAction* mmOutBox = nullptr;
  QAction* mmContacts = nullptr;
  QAction* mmClose = nullptr;
  QMenu* mmServices = nullptr;
  QAction* mmConnect = nullptr;
  QAction* PerformMailCheck = nullptr;
  QAction* mmCompose = nullptr;
  QMenu* mmContactsList = nullptr;
  QAction* mmOptions = nullptr;

  QTimer* MailCheckTimer = nullptr;

 signals:
  // FormClose has run; the program ends.
  void Closed();

 public slots:
  void mmCloseClick();
  void qmOutBoxClick();
  void qmInBoxClick();
  void qmContactsClick();
  void actConnectExecute();
  void actOptionsExecute();
  void PerformMailCheckClick();
  void ResetQuickMenuHighlight();

  // The address book's and compose's handlers (main_form_contacts.cpp).
  void actContactAddExecute();
  void actContactEditExecute();
  void actContactRemoveExecute();
  void actSearchExecute();
  void NameToSearchChange();
  void actComposeExecute();
  void actPutToMailListExecute();

 public:
  void StatusBarDrawPanel(QPainter& canvas, const QRect& rect, int panel);

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  class Hooks;

  // The contacts search panel's height, and what the contacts list gives up
  // while the panel shows: the panel overlaps the list by two pixels.
  static constexpr int kSearchPanelHeight = 53;
  static constexpr int kListGivesUp = kSearchPanelHeight - 2;

  void BuildQuickMenu();
  void BuildContactsView();
  void BuildMessageView();
  void PlaceContactsView();
  void BuildActions();
  void BuildMenus();
  void BuildStatusBar();
  void FormCreate();
  void FormClose();
  void Highlight(QToolButton* button);
  static void SetTextColour(QToolButton* button, const QColor& colour);
  // Connects to ServerIP without holding the window, giving up a connect under
  // way; a receive thread on success, else, with `warnIfItFails`, "Сервер не
  // отвечает". The status line shows the outcome.
  void StartConnect(bool warnIfItFails);
  void ConnectFinished(bool connected);
  // Closes the connection, or gives up the connect under way.
  void Disconnect();
  // Ends the receive threads: nothing may wait on this window after it is gone.
  void StopReceiving();
  // True while the server waits for a login it has not accepted: it would end
  // the connection on anything else. The user is told and may log in now; the
  // command that asked goes no further either way.
  bool LoginStillNeeded();
  // The login dialog again (the one still up, or a new one), its answer on
  // `connection`.
  void OfferLogin(const ConnectionPtr& connection);
  // The compose dialog's check before it closes.
  bool ComposeTyped(TComposeForm& form);

  stream_client& client_;
  std::string ServerIP;                // Windows-1251, as stored in Config.ini
  std::vector<std::string> MailList;   // numbers of the current send job, Windows-1251
  std::string AppDir;
  CommandWindows windows_{*this};
  std::unique_ptr<Hooks> hooks_;
  ReceiveThreads receiveThreads_;
  std::unique_ptr<ConnectAttempt> connecting_;
  QPointer<TAccessForm> loginDialog_;  // the one the server's prompt raised, while up
  bool warnIfConnectFails_ = false;
  bool closed_ = false;
};
