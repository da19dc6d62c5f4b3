#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/file_io.h"
#include "serial/base/result_codes.h"
#include "serial/base/z_strings.h"
#include "tests/serial/dispatch/failing_new.h"
#include "tests/serial/dispatch/test_dispatcher.h"
#include "tests/support/temp_dir.h"

namespace {

std::string Repeat(std::string_view s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

class Trace : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(d.Open(), 0); }

  // Dumps into a new file of the test folder; the file's bytes, or nothing
  // when no file was made.
  std::optional<std::string> Dump(bool inHex = true, bool allHex = false) {
    const std::string name = dir.File("DEVA" + std::to_string(++dumps) + ".TRC");
    EXPECT_EQ(d.DumpTrace(name.c_str(), inHex, allHex), ecOK);
    return ReadWholeFile(name);
  }

  TempDir dir;
  TTestDispatcher d{std::make_unique<FakeCommDevice>()};
  int dumps = 0;
};

TEST_F(Trace, DumpsInTheFileFormat) {
  using Entries = std::vector<std::pair<char, std::uint8_t>>;
  const auto received = [](std::initializer_list<std::uint8_t> bytes) {
    Entries e;
    for (std::uint8_t b : bytes) e.emplace_back('R', b);
    return e;
  };
  struct Case {
    const char* what;
    Entries entries;
    bool inHex, allHex;
    std::string file;
  };
  const Case cases[] = {
      {"two letters sent, then two received",
       {{'T', 'a'}, {'T', 'b'}, {'R', 'c'}, {'R', 'd'}}, true, false,
       "Transmit: \r\nab\r\n\r\nReceive: \r\ncd"},
      {"a blank as itself", received({' '}), false, false, "Receive: \r\n "},
      {"a blank in hex", received({' '}), true, false, "Receive: \r\n[20]"},
      {"other bytes in decimal", received({7, 200, 'A'}), false, false, "Receive: \r\n[7][200]A"},
      {"other bytes in hex", received({7, 200, 'A'}), true, false, "Receive: \r\n[07][C8]A"},
      {"every byte in hex", received({'A', 7}), false, true, "Receive: \r\n[41][07]"},
      {"an entry of the port's own", {{'X', 'z'}}, true, false, "Special-X: \r\nz"},
      {"thirty wide bytes fill lines of 75", Entries(30, {'R', 200}), false, false,
       "Receive: \r\n" + Repeat("[200]", 15) + "\r\n" + Repeat("[200]", 15)},
      {"a first entry of kind 0 has no heading", {{0, 'a'}, {'T', 'b'}}, true, false,
       "a\r\n\r\nTransmit: \r\nb"},
      {"79 narrow items: the 79th opens a line", Entries(79, {'T', 'x'}), true, false,
       "Transmit: \r\n" + std::string(78, 'x') + "\r\nx"},
  };
  for (const Case& c : cases) {
    d.AbortTracing();
    ASSERT_EQ(d.InitTracing(100), ecOK);
    for (auto [kind, value] : c.entries) d.AddTraceEntry(kind, value);
    EXPECT_EQ(Dump(c.inHex, c.allHex), c.file) << c.what;
  }
}

TEST_F(Trace, RecordsWhatThePortSendsAndTakesWhileOn) {
  ASSERT_EQ(d.InitTracing(100), ecOK);
  ASSERT_EQ(d.PutString("AT\r"), ecOK);
  d.Receive("OK\r\nlate");
  char c;
  std::string rest(3, 0);
  ASSERT_EQ(d.PeekChar(c, 1), ecOK);  // peeking records nothing
  ASSERT_EQ(d.GetChar(c), ecOK);
  ASSERT_EQ(d.GetBlock(rest), 3);
  d.StopTracing();  // paused: the ring stays, nothing is added
  ASSERT_EQ(d.PutString("ATZ\r"), ecOK);
  ASSERT_EQ(d.GetBlock(rest), 3);
  d.StartTracing();
  ASSERT_EQ(d.GetChar(c), ecOK);
  EXPECT_EQ(Dump(), "Transmit: \r\nAT[0D]\r\n\r\nReceive: \r\nOK[0D][0A]e");
}

TEST_F(Trace, TheRingKeepsTheNewestEntriesAndStartsOverAfterADump) {
  ASSERT_EQ(d.InitTracing(5), ecOK);
  for (std::uint8_t b = 1; b <= 7; ++b) d.AddTraceEntry('R', b);
  EXPECT_EQ(Dump(), "Receive: \r\n[03][04][05][06][07]");
  EXPECT_TRUE(d.TracingOn);
  EXPECT_EQ(Dump(), std::nullopt);  // empty, and no file for it
  d.AddTraceEntry('T', '!');
  EXPECT_EQ(Dump(), "Transmit: \r\n!");

  d.AddTraceEntry('T', '?');
  EXPECT_EQ(d.ClearTracing(), ecOK);
  EXPECT_TRUE(d.TracingOn);
  EXPECT_EQ(Dump(), std::nullopt);
}

TEST_F(Trace, SizesAndStates) {
  EXPECT_EQ(d.InitTracing(kMaxTraceEntries + 1), ecBadArgument);
  EXPECT_FALSE(d.TracingOn);
  EXPECT_EQ(d.TraceRing, nullptr);
  d.StartTracing();  // nothing to resume without a ring
  EXPECT_FALSE(d.TracingOn);

  EXPECT_EQ(d.InitTracing(kMaxTraceEntries), ecOK);
  EXPECT_EQ(d.TraceCapacity, kMaxTraceEntries);
  d.AbortTracing();
  EXPECT_FALSE(d.TracingOn);
  EXPECT_EQ(d.TraceRing, nullptr);

  // A ring keeps its size until it is aborted; asking again only empties it.
  ASSERT_EQ(d.InitTracing(100), ecOK);
  d.AddTraceEntry('R', 'x');
  d.StopTracing();
  EXPECT_EQ(d.InitTracing(500), ecOK);
  EXPECT_EQ(d.TraceCapacity, 100u);
  EXPECT_EQ(d.TraceHead, 0u);
  EXPECT_TRUE(d.TracingOn);
  d.AbortTracing();

  // A ring of no entries records nothing, though tracing is on.
  EXPECT_EQ(d.InitTracing(0), ecOK);
  EXPECT_TRUE(d.TracingOn);
  EXPECT_EQ(d.TraceRing, nullptr);
  d.AddTraceEntry('R', 'x');
  ASSERT_EQ(d.PutString("x"), ecOK);
  EXPECT_EQ(Dump(), std::nullopt);
}

TEST_F(Trace, FileErrorsGiveTheirCodes) {
  // A file that cannot be made drops the trace.
  ASSERT_EQ(d.InitTracing(10), ecOK);
  d.AddTraceEntry('R', 'x');
  EXPECT_EQ(d.DumpTrace(dir.File("missing/DEVA.TRC").c_str(), true, false), ecPathNotFound);
  EXPECT_EQ(d.AppendTrace(dir.File("missing/DEVA.TRC").c_str(), true, false), ecOK);  // none left
  EXPECT_FALSE(d.TracingOn);
  EXPECT_EQ(d.TraceRing, nullptr);

  // One that fills up on the way leaves the ring empty and recording.
  if (!ExistFileZ("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  ASSERT_EQ(d.InitTracing(1000), ecOK);
  for (int i = 0; i < 1000; ++i) d.AddTraceEntry('T', 'x');
  EXPECT_EQ(d.DumpTrace("/dev/full", true, false), ecDiskFull);
  EXPECT_TRUE(d.TracingOn);
  EXPECT_EQ(d.TraceCapacity, 1000u);
  EXPECT_EQ(Dump(), std::nullopt);
}

TEST_F(Trace, RunningOutOfMemoryCostsOnlyTheTrace) {
  {
    RefuseAllocationsFrom refuse(1 << 20);
    EXPECT_EQ(d.InitTracing(kMaxTraceEntries), ecOutOfMemory);
  }
  EXPECT_FALSE(d.TracingOn);
  EXPECT_EQ(d.TraceRing, nullptr);
  EXPECT_EQ(d.InitTracing(kMaxTraceEntries), ecOK);
}

}  // namespace
