#pragma once
// The server's main form: a two-second splash, then only an icon in the
// notification area with its menu. The work is done by ServerCore.
#include <QWidget>
#include <memory>
#include <string>

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
  // program must end at once (listening failed).
  bool FormCreate();
  void TimerTimer();
  void PopupMenuPopup();
  void pmOptionsClick();
  void pmCloseClick();
  // Runs the orderly close; canClose says whether the form may close.
  void FormCloseQuery(bool& canClose);

  ServerCore* core() { return core_.get(); }

  QLabel* Image = nullptr;
  QSystemTrayIcon* TrayIcon = nullptr;  // null where there is no notification area
  QMenu* PopupMenu = nullptr;
  QTimer* Timer = nullptr;
  QAction* pmOptions = nullptr;
  QAction* pmClose = nullptr;
  QAction* pmRcv = nullptr;
  QAction* pmSnt = nullptr;

  // The time the close gives connections to finish (tests shorten it).
  int closeWaitMs = 2000;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  // An exception leaving a handler is shown, and the program keeps running.
  void ShowException(const std::exception& e);

  const std::string programDir_;
  std::string AppDir;
  std::unique_ptr<ServerCore> core_;
  bool closed_ = false;
};
