#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <future>
#include <thread>

#include "platform/codepage.h"
#include "platform/message_box.h"
#include "platform/message_window.h"
#include "platform/qt/message_box_qt.h"
#include "platform/qt/qt_text.h"
#include "tests/support/qt_print.h"
#include "tests/support/qt_wait.h"

namespace {

TEST(QtText, ConvertsAtTheBoundary) {
  EXPECT_EQ(FromAnsi(Ansi("Подключен к 127.0.0.1")), QString::fromUtf8("Подключен к 127.0.0.1"));
  EXPECT_EQ(ToAnsi(QString::fromUtf8("Ёж №5")), Ansi("Ёж №5"));
  EXPECT_EQ(ToAnsi(QString::fromUtf8("a😀b")), "a?b");  // one character the code page lacks, one byte
  for (int b = 0; b < 256; ++b) {
    const std::string one(1, static_cast<char>(b));
    ASSERT_EQ(ToAnsi(FromAnsi(one)), one) << b;
  }
}

TEST(QtText, FindsWhatTheCodePageLacks) {
  EXPECT_EQ(CharactersOutsideAnsi(QString::fromUtf8("Привет, Ёж № 5 €")), U"");
  EXPECT_EQ(FirstOutsideAnsi(QString::fromUtf8("Привет")), -1);
  const QString mixed = QString::fromUtf8("Привет 😀 你好 😀é");
  EXPECT_EQ(CharactersOutsideAnsi(mixed), U"\U0001F600\u4F60\u597D\u00E9");  // each once, in order
  EXPECT_EQ(FirstOutsideAnsi(mixed), 7);
  EXPECT_EQ(FirstOutsideAnsi(QString::fromUtf8("Ж😀")), 1);
}

// Presses `button` on the next message box that appears, while the watcher lives.
std::unique_ptr<QTimer> AnswerNextBox(QMessageBox::StandardButton button) {
  return OnNextModal([button](QWidget* modal) {
    if (auto* box = qobject_cast<QMessageBox*>(modal)) box->button(button)->click();
  });
}

TEST(QtMessageBoxes, ShownOnTheUiThreadWhenAskedFromAnother) {
  const MessageBoxHandler previous = SetMessageBoxHandler({});
  InstallQtMessageBoxes(/*dialogsWhenOffscreen=*/true);
  auto answer = std::async(std::launch::async, [] {
    return MessageBox(Ansi("Удалить?"), Ansi("Предупреждение"), MbButtons::YesNo, MbIcon::Question);
  });
  QMessageBox* box = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (box = FindTopLevel<QMessageBox>()) != nullptr; }));
  EXPECT_EQ(box->text(), QString::fromUtf8("Удалить?"));
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "a worker's box blocks no window";
  box->button(QMessageBox::No)->click();
  ASSERT_TRUE(WaitUntil([&] { return answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
  EXPECT_EQ(answer.get(), MbResult::No);

  auto watcher = AnswerNextBox(QMessageBox::Ok);
  EXPECT_EQ(MessageBox("on the UI thread", "caption"), MbResult::Ok);
  watcher = AnswerNextBox(QMessageBox::Ok);
  EXPECT_EQ(MessageBox("remove?", "caption", MbButtons::OkNo), MbResult::Ok);
  watcher = AnswerNextBox(QMessageBox::No);
  EXPECT_EQ(MessageBox("remove?", "caption", MbButtons::OkNo), MbResult::No);
  SetMessageBoxHandler(previous);
}

TEST(QtMessageBoxes, AWorkerWaitingForAnAnswerIsLetGoWhileTheUiThreadJoinsIt) {
  const MessageBoxHandler previous = SetMessageBoxHandler({});
  InstallQtMessageBoxes(/*dialogsWhenOffscreen=*/true);
  MbResult answer = MbResult::Ok;
  std::thread worker([&] { answer = MessageBox("the modem stopped", "caption", MbButtons::OkCancel); });
  QMessageBox* box = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (box = FindTopLevel<QMessageBox>()) != nullptr; }));
  {
    SynchronizeRefusal closing;  // what a window that closes does before it joins
    worker.join();
  }
  EXPECT_EQ(answer, MbResult::Cancel);
  delete box;
  SetMessageBoxHandler(previous);
}

TEST(QtMessageBoxes, OffscreenWithoutDialogsAnswersWithTheFirstButton) {
  const MessageBoxHandler previous = SetMessageBoxHandler({});
  InstallQtMessageBoxes();  // tests run offscreen: no dialog that nobody could close
  EXPECT_EQ(MessageBox(Ansi("Приложение уже запущено"), "Trelm SMS Server"), MbResult::Ok);
  EXPECT_EQ(MessageBox("?", "caption", MbButtons::YesNo), MbResult::Yes);
  SetMessageBoxHandler(previous);
}

}  // namespace
