#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "platform/file_io.h"
#include "serial/base/result_codes.h"
#include "tests/serial/dispatch/test_dispatcher.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr int kRounds = 2000;

// What a port does while tracing and logging: sends "ab" in one block, and
// reads "cd" in one block and then "e" alone. `halfway` runs in the middle.
void MoveBytes(TTestDispatcher& d, const std::function<void()>& halfway) {
  std::string block(2, 0);
  char c;
  for (int i = 0; i < kRounds; ++i) {
    if (i == kRounds / 2) halfway();
    if (d.OutBuffFree() < 2) d.FlushOutBuffer();  // no write thread drains it here
    ASSERT_EQ(d.PutString("ab"), ecOK);
    d.Receive("cde");
    ASSERT_EQ(d.GetBlock(block), 2);
    ASSERT_EQ(d.GetChar(c), ecOK);
  }
}

// Repeats `other` on this thread while the port's traffic runs on another;
// halfway through, the traffic waits until `other` has run once more, so that
// the two surely overlap.
template <typename Other>
void BesideTraffic(TTestDispatcher& d, Other other) {
  std::atomic<int> runs{0};
  std::atomic<bool> done{false};
  std::thread port([&] {
    MoveBytes(d, [&] { runs.wait(runs.load()); });
    done = true;
  });
  while (!done) {
    other();
    ++runs;
    runs.notify_all();
  }
  port.join();
}

class DumpsBesideTraffic : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(d.Open(), 0); }

  TempDir dir;
  TTestDispatcher d{std::make_unique<FakeCommDevice>()};
};

TEST_F(DumpsBesideTraffic, LoseNoEntryAndSplitNoBlock) {
  ASSERT_EQ(d.InitTracing(100000), ecOK);  // room for everything between two dumps
  d.InitDispatchLogging(0);
  const std::string trace = dir.File("DEVA.TRC"), log = dir.File("DEVA.LOG");
  BesideTraffic(d, [&] {
    EXPECT_EQ(d.AppendTrace(trace.c_str(), true, false), ecOK);
    EXPECT_EQ(d.AppendDispatchLog(log.c_str(), true, false), ecOK);
  });
  ASSERT_EQ(d.AppendTrace(trace.c_str(), true, false), ecOK);
  ASSERT_EQ(d.AppendDispatchLog(log.c_str(), true, false), ecOK);

  // Taken together, the blocks of each kind hold every byte in order; no block
  // starts in the middle of what one call moved.
  std::string text = *ReadWholeFile(trace), sent, received;
  for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;) text.erase(at, 2);
  std::string* into = nullptr;
  for (std::size_t i = 0; i < text.size();) {
    for (auto [heading, kind] : {std::pair{"Transmit: ", &sent}, std::pair{"Receive: ", &received}}) {
      if (text.compare(i, std::string_view(heading).size(), heading) == 0) {
        i += std::string_view(heading).size();
        into = kind;
        ASSERT_LT(i, text.size());
        EXPECT_TRUE(text[i] == 'a' || text[i] == 'c' || text[i] == 'e') << "a block split at " << i;
      }
    }
    ASSERT_NE(into, nullptr);
    *into += text[i++];
  }
  std::string ab, cde;
  for (int i = 0; i < kRounds; ++i) ab += "ab", cde += "cde";
  EXPECT_EQ(sent, ab);
  EXPECT_EQ(received, cde);

  const std::string logText = *ReadWholeFile(log);
  int entries = 0;
  for (std::size_t at = 0; (at = logText.find("WriteCom", at)) != std::string::npos; ++at) {
    const std::size_t end = logText.find("\r\n", at);
    EXPECT_EQ(logText.substr(at, end - at), "WriteCom      00000002  ab");
    ++entries;
  }
  EXPECT_EQ(entries, kRounds);
}

TEST_F(DumpsBesideTraffic, SwitchingFromAnotherThreadIsSafe) {
  const std::string trace = dir.File("DEVA.TRC"), log = dir.File("DEVA.LOG");
  BesideTraffic(d, [&] {
    EXPECT_EQ(d.InitTracing(64), ecOK);
    d.InitDispatchLogging(100);
    d.StopTracing();
    d.StopDispatchLogging();
    d.StartTracing();
    d.StartDispatchLogging();
    EXPECT_EQ(d.ClearTracing(), ecOK);
    d.ClearDispatchLogging();
    EXPECT_EQ(d.DumpTrace(trace.c_str(), false, false), ecOK);
    EXPECT_EQ(d.DumpDispatchLog(log.c_str(), false, true), ecOK);
    d.AbortTracing();
    d.AbortDispatchLogging();
  });
  EXPECT_FALSE(d.TracingOn);
  EXPECT_FALSE(d.DLoggingOn);
}

}  // namespace
