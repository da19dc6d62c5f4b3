#pragma once
// The server's main form: a two-second splash, then only an icon in the
// notification area with its menu. The work is done by ServerCore.
#include <QWidget>
#include <memory>
#include <string>

#include "server/modem_search.h"
#include "server/server_core.h"

class QAction;
class QCloseEvent;
class QLabel;
class QMenu;
class QSystemTrayIcon;
class QTimer;

class TMainForm : public QWidget {
  Q_OBJECT

 public:
  // programDir: where the program's files are (the executable's folder in use,
  // a temporary folder in tests).
  explicit TMainForm(std::string programDir, QWidget* parent = nullptr);
  ~TMainForm() override;

  // Reads the settings, loads the queues and starts listening. False when the
  // program must end at once (listening failed, or a settings or queue file that
  // cannot be read stopped the start).
  bool FormCreate();
  void TimerTimer();
  // Looks for the modem again (ModemTimer): while the server has none, or its
  // modem's port has failed to open for a while.
  void ModemTimerTimer();
  void PopupMenuPopup();
  void pmOptionsClick();
  void pmCloseClick();
  // Runs the orderly close; canClose says whether the form may close. A queue that
  // cannot be saved is shown; from the menu the form then stays open with its
  // queues, otherwise it closes and QueuesLost() turns true.
  void FormCloseQuery(bool& canClose);

  // True once the program ended with queues it could not save.
  bool QueuesLost() const { return queuesLost_; }

  ServerCore* core() { return core_.get(); }

  QLabel* Image = nullptr;
  QSystemTrayIcon* TrayIcon = nullptr;  // null where there is no notification area
  QMenu* PopupMenu = nullptr;
  QTimer* Timer = nullptr;
  QTimer* ModemTimer = nullptr;  // started by the first look, every few seconds
  QAction* pmOptions = nullptr;
  QAction* pmClose = nullptr;
  QAction* pmRcv = nullptr;
  QAction* pmSnt = nullptr;

  // The time the close gives connections to finish (tests shorten it).
  int closeWaitMs = 2000;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  // Closes the core; false when a queue could not be saved and stayOnFailure asks
  // the server to go on holding it.
  bool CloseCore(bool stayOnFailure);

  // One look for the modem; what it could not do is shown (once), and the
  // program keeps running.
  void LookForModem();

  const std::string programDir_;
  std::string AppDir;
  std::unique_ptr<ServerCore> core_;
  std::unique_ptr<ModemSearch> modemSearch_;
  bool closed_ = false;
  bool closingFromMenu_ = false;
  bool queuesLost_ = false;
};
