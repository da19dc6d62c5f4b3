#include "platform/qt/message_box_qt.h"

#include <QApplication>
#include <QGridLayout>
#include <QMessageBox>
#include <QPointer>
#include <QSpacerItem>
#include <algorithm>
#include <atomic>
#include <memory>

#include "platform/message_box.h"
#include "platform/message_window.h"
#include "platform/qt/qt_message_queue.h"
#include "platform/qt/qt_text.h"

namespace {

// What a box closed without a button answers: its way out.
MbResult EscapeAnswer(MbButtons buttons) {
  if (buttons == MbButtons::Ok) return MbResult::Ok;
  return buttons == MbButtons::YesNo || buttons == MbButtons::OkNo ? MbResult::No : MbResult::Cancel;
}

// What a title bar takes beside its caption: the window's icon and buttons.
constexpr int kTitleBarRoom = 150;

// A window manager shortens a caption wider than its window ("Пред…ение"): a
// box with a short text is made wide enough for its whole caption.
void FitCaption(QMessageBox& box) {
  QFont bold = box.font();
  bold.setBold(true);
  const QString& caption = box.windowTitle();
  const int captionWidth = std::max(QFontMetrics(bold).horizontalAdvance(caption),
                                    QFontMetrics(QApplication::font("QMdiSubWindowTitleBar")).horizontalAdvance(caption));
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
    grid->addItem(new QSpacerItem(captionWidth + kTitleBarRoom, 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

QMessageBox* MakeBox(const MessageBoxRequest& r, QWidget* parent) {
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  switch (r.icon) {
    case MbIcon::Information: icon = QMessageBox::Information; break;
    case MbIcon::Warning: icon = QMessageBox::Warning; break;
    case MbIcon::Error: icon = QMessageBox::Critical; break;
    case MbIcon::Question: icon = QMessageBox::Question; break;
    case MbIcon::None: break;
  }
  QMessageBox::StandardButtons buttons = QMessageBox::Ok;
  switch (r.buttons) {
    case MbButtons::Ok: buttons = QMessageBox::Ok; break;
    case MbButtons::OkCancel: buttons = QMessageBox::Ok | QMessageBox::Cancel; break;
    case MbButtons::OkNo: buttons = QMessageBox::Ok | QMessageBox::No; break;
    case MbButtons::YesNo: buttons = QMessageBox::Yes | QMessageBox::No; break;
    case MbButtons::YesNoCancel: buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel; break;
  }
  auto* box = new QMessageBox(icon, FromAnsi(r.caption), FromAnsi(r.text), buttons, parent);
  FitCaption(*box);
  return box;
}

// The active window, or the window a box there belongs to: never a box.
QWidget* ActiveOwner() {
  QWidget* window = QApplication::activeWindow();
  while (qobject_cast<QMessageBox*>(window)) window = window->parentWidget() ? window->parentWidget()->window() : nullptr;
  return window;
}

MbResult AnswerOf(const QMessageBox& box, MbButtons buttons) {
  switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Ok: return MbResult::Ok;
    case QMessageBox::Yes: return MbResult::Yes;
    case QMessageBox::No: return MbResult::No;
    case QMessageBox::Cancel: return MbResult::Cancel;
    default: return EscapeAnswer(buttons);
  }
}

// On the user-interface thread: modal, as any box the user's own command raises,
// unless the program runs it its own way. A box that went with its owner
// counts as closed without a button.
MbResult ShowModalBox(const MessageBoxRequest& r, const RunBoxOnMainThread& run, const BoxOwner& owner) {
  const QPointer<QMessageBox> box(MakeBox(r, owner ? owner() : ActiveOwner()));
  if (run)
    run(*box);
  else
    box->exec();
  const MbResult answer = box ? AnswerOf(*box, r.buttons) : EscapeAnswer(r.buttons);
  delete box.data();
  return answer;
}

// For another thread: the box belongs to no window and blocks none, so the user
// can go on working, or close the program, while it waits for an answer. The
// caller waits until it is answered, or is let go when the program closes.
MbResult ShowBoxForWorker(const MessageBoxRequest& r) {
  auto answer = std::make_shared<std::atomic<MbResult>>(EscapeAnswer(r.buttons));
  SynchronizeUntilDone([r, answer](SyncDone done) {
    QMessageBox* box = MakeBox(r, nullptr);
    box->setWindowModality(Qt::NonModal);
    QObject::connect(box, &QMessageBox::finished, box, [box, answer, buttons = r.buttons, done] {
      answer->store(AnswerOf(*box, buttons));
      box->deleteLater();
      done();
    });
    // A box that goes unanswered (with the application) lets the caller go on too.
    QObject::connect(box, &QObject::destroyed, [done] { done(); });
    box->show();
  });
  return answer->load();
}

}  // namespace

void InstallQtMessageBoxes(bool dialogsWhenOffscreen, RunBoxOnMainThread run, BoxOwner owner) {
  if (!dialogsWhenOffscreen && QGuiApplication::platformName() == QLatin1String("offscreen")) {
    SetMessageBoxHandler({});
    return;
  }
  ServeMessagesInQtEventLoop();
  SetMessageBoxHandler([run = std::move(run), owner = std::move(owner)](const MessageBoxRequest& r) {
    return IsMainThread() ? ShowModalBox(r, run, owner) : ShowBoxForWorker(r);
  });
}
