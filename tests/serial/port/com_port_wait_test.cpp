#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "serial/base/result_codes.h"
#include "tests/serial/base/fake_clock.h"
#include "tests/serial/port/port_fixture.h"

namespace {

// On the test's clock a time-out passes at once when nothing is left to take.
class PortWaits : public FakeClockTest, protected PortOnFakes {
 protected:
  void SetUp() override {
    FakeClockTest::SetUp();
    Open();
  }

  std::string Unread() {
    std::string rest(port.GetInBuffUsed(), '\0');
    if (!rest.empty()) port.PeekBlock(rest);
    return rest;
  }
};

TEST_F(PortWaits, WaitForStringTakesTheInputUpToItsTextOrItsTimeOut) {
  const struct {
    const char* text;
    const char* input;
    bool ignoreCase;
    std::int32_t timeout;
    bool seen;
    const char* unread;
  } cases[] = {
      {"OK", "xxokyy", true, 100, true, "yy"},
      {"OK", "OOK", true, 100, true, ""},      // the second O starts the match again
      {"aab", "aaab", true, 100, false, ""},   // a restart, not a search
      {"", "abc", true, 100, true, "abc"},     // nothing to wait for
      {"OK", "", true, 0, false, ""},          // 0 ticks end with the current tick
      {"OK", "xOKy", true, 0, true, "y"},      // what is there is taken first
      {"OK", "ok", false, 5, false, ""},
  };
  for (const auto& c : cases) {
    port.FlushInBuffer();
    d->Receive(c.input);
    EXPECT_EQ(port.WaitForString(c.text, c.timeout, false, c.ignoreCase), c.seen) << c.text << " in " << c.input;
    EXPECT_EQ(Unread(), c.unread) << c.text << " in " << c.input;
  }
}

TEST_F(PortWaits, WaitForMultiStringAnswersTheNumberOfTheTextSeenFirst) {
  const struct {
    const char* texts;
    const char* input;
    std::int32_t seen;
    const char* unread;
  } cases[] = {
      {"OK|ERROR", "xxERRORyy", 2, "yy"},
      {"OK|ERROR", "ok", 1, ""},
      {"OK|ERROR|", "ERROR", 2, ""},     // no empty text after the last separator
      {"|OK||ERROR", "ERROR", 4, ""},    // empty texts keep their numbers and never match
      {"ERR|ERROR", "ERROR", 1, "OR"},
      {"||", "abc", 0, ""},
      {"", "abc", 0, "abc"},
  };
  for (const auto& c : cases) {
    port.FlushInBuffer();
    d->Receive(c.input);
    EXPECT_EQ(port.WaitForMultiString(c.texts, 100, false, true, '|'), c.seen) << c.texts << " in " << c.input;
    EXPECT_EQ(Unread(), c.unread) << c.texts << " in " << c.input;
  }
}

TEST_F(PortWaits, ATextSeenInTheTickTheTimeRunsOutCounts) {
  StepEveryRead(kTickMs);  // every look at the clock finds the next tick
  d->Receive("K");
  EXPECT_TRUE(port.WaitForString("K", 0, false, false));
}

TEST_F(PortWaits, CheckForStringFollowsOneMatchCharacterByCharacter) {
  std::size_t index = 0;
  std::string seenAt;
  for (char c : std::string("xOOKok")) seenAt += port.CheckForString(index, c, "ok", true) ? '+' : '.';
  EXPECT_EQ(seenAt, "...+.+");
  EXPECT_EQ(index, 0u);
}

enum class End { Seen, TimeOut, EmptyText, Failure };

TEST_F(PortWaits, TheBusyFlagIsAsBeforeTheWaitOrItsPreparationHoweverTheWaitEnds) {
  const struct {
    int prepares;
    bool raisedBefore;  // by another owner of the flag
    End end;
    bool raisedAfter;
  } cases[] = {
      {0, false, End::Seen, false},      {0, true, End::Seen, true},
      {0, false, End::Failure, false},   {1, false, End::Seen, false},
      {1, false, End::TimeOut, false},   {1, false, End::EmptyText, false},
      {1, false, End::Failure, false},   {1, true, End::Seen, true},
      {1, true, End::EmptyText, true},   {2, false, End::Seen, false},
  };
  for (const auto& c : cases) {
    const std::string what = std::to_string(c.prepares) + (c.raisedBefore ? " raised " : " lowered ") +
                             std::to_string(static_cast<int>(c.end));
    bool was;
    d->SetEventBusy(was, c.raisedBefore);
    for (int i = 0; i < c.prepares; ++i) port.PrepareWait();
    port.FlushInBuffer();
    if (c.end != End::TimeOut) d->Receive("OK");
    if (c.end == End::Failure) port.OnWaitChar = [](TDevaCustomComPort*, char) { throw std::runtime_error("hook"); };
    if (c.end == End::Failure)
      EXPECT_THROW(port.WaitForString("OK", 1, false, true), std::runtime_error) << what;
    else
      port.WaitForString(c.end == End::EmptyText ? "" : "OK", 1, false, true);
    EXPECT_EQ(d->EventBusy.load(), c.raisedAfter) << what;
    port.OnWaitChar = nullptr;
  }
}

TEST_F(PortWaits, PutStringQueuesAllOfItsBytesOrNone) {
  const struct {
    std::size_t length;
    std::int32_t code;
    std::uint32_t queued;
  } cases[] = {{4096, 0, 4096}, {4097, ecOutputBufferTooSmall, 0}};
  for (const auto& c : cases) {
    port.FlushOutBuffer();
    EXPECT_EQ(CodeOf([&] { port.PutString(std::string(c.length, 'x')); }), c.code) << c.length;
    EXPECT_EQ(port.GetOutBuffUsed(), c.queued) << c.length;
  }
}

}  // namespace
