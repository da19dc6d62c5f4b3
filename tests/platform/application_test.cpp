// Its own binary: the application object's loop and end are the process's.
#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <thread>

#include "platform/application.h"
#include "platform/message_window.h"
#include "tests/support/message_box_answers.h"

namespace {

using namespace std::chrono_literals;

TEST(Application, AnotherThreadsExceptionIsHandedToTheMainLoopOnceOneServesIt) {
  MessageBoxAnswers boxes;
  Application().SetTitle("Trelm");
  // With no loop to hand it to, it is shown on the thread itself.
  std::thread([] { Application().ShowException(std::runtime_error("first")); }).join();
  ASSERT_EQ(boxes.Asked().size(), 1u);

  Application().ServeExceptionsHere();
  std::thread([] { Application().ShowException(std::runtime_error("second")); }).join();
  EXPECT_EQ(boxes.Asked().size(), 1u);  // the thread went on before any box
  ProcessWindowMessages();
  ASSERT_EQ(boxes.Asked().size(), 2u);
  EXPECT_EQ(boxes.Asked()[1].text, "second");
  EXPECT_EQ(boxes.Asked()[1].caption, "Trelm");
  EXPECT_EQ(boxes.Asked()[1].icon, MbIcon::Error);
}

TEST(Application, AQuitRequestOnTheMainThreadEndsTheProgramAndWakesItsWaits) {
  const std::uint64_t seen = ThreadWakeCount();
  const int id = Application().AddTerminateWake(CallingThreadWake());
  PostQuitRequest(0);
  Application().ProcessMessages();
  EXPECT_TRUE(Application().Terminated());
  EXPECT_TRUE(WaitThreadWake(seen, 10s, false));
  Application().RemoveTerminateWake(id);
  WindowMessage m;
  EXPECT_TRUE(PeekWindowMessage(m));  // the quit request stays for the loop
  EXPECT_EQ(m.message, kQuitMessage);
}

}  // namespace
