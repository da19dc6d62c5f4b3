#include <gtest/gtest.h>

#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "platform/file_io.h"
#include "serial/base/result_codes.h"
#include "serial/base/z_strings.h"
#include "tests/serial/base/fake_clock.h"
#include "tests/serial/dispatch/failing_new.h"
#include "tests/serial/dispatch/test_dispatcher.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr int kHeaderLines = 7;

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(text.substr(start, end - start));
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

class DispatchLog : public FakeClockTest {
 protected:
  void SetUp() override {
    FakeClockTest::SetUp();
    SetMs(500'000);  // the port opens here: log times count from it
    ASSERT_EQ(d.Open(), 0);
    d.DeviceName = "\\\\.\\COM1";
  }

  void AddAt(std::uint32_t ms, TDispatchType type, TDispatchSubType subType, std::uint32_t data,
             std::string_view bytes = {}) {
    SetMs(500'000 + ms);
    d.AddDispatchEntry(type, subType, data, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  }

  std::string Name() { return dir.File("DEVA" + std::to_string(++dumps) + ".LOG"); }

  // The entry lines of a dump into a new file, or nothing when no file was made.
  std::optional<std::vector<std::string>> Dump(bool inHex = true, bool allHex = false) {
    const std::string name = Name();
    EXPECT_EQ(d.DumpDispatchLog(name.c_str(), inHex, allHex), ecOK);
    const auto file = ReadWholeFile(name);
    if (!file) return std::nullopt;
    EXPECT_EQ(file->substr(file->size() - 2), "\r\n");  // every entry ends its line
    std::vector<std::string> lines = SplitLines(*file);
    EXPECT_GE(lines.size(), std::size_t{kHeaderLines});
    lines.erase(lines.begin(), lines.begin() + std::min<std::size_t>(lines.size(), kHeaderLines));
    return lines;
  }

  TempDir dir;
  TTestDispatcher d{std::make_unique<FakeCommDevice>()};
  int dumps = 0;
};

TEST_F(DispatchLog, DumpsAHeaderAndOneLinePerEntry) {
  d.InitDispatchLogging(0);
  AddAt(1234, dtDispatch, dstWriteCom, 2, "AT");
  const std::string name = Name();
  ASSERT_EQ(d.DumpDispatchLog(name.c_str(), true, false), ecOK);
  const std::vector<std::string> lines = SplitLines(*ReadWholeFile(name));
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[0], "DEVA v4.07");
  EXPECT_EQ(lines[1].rfind("Compiler : ", 0), 0u) << lines[1];
  EXPECT_EQ(lines[2].rfind("Operating System : ", 0), 0u) << lines[2];
  EXPECT_LE(lines[2].size(), 19u + 80u);
  EXPECT_EQ(lines[3], "Device: \\\\.\\COM1");
  EXPECT_TRUE(std::regex_match(lines[4], std::regex(R"(Date/time: \d\d\.\d\d\.\d\d, \d\d:\d\d:\d\d)")))
      << lines[4];
  EXPECT_EQ(lines[5], "Time      Type      SubType       Data      OtherData");
  EXPECT_EQ(lines[6], "--------  --------  ------------  --------  ---------");
  EXPECT_EQ(lines[7], "0001.234  Dispatch  WriteCom      00000002  AT");
}

TEST_F(DispatchLog, EntryLinesInTheFileFormat) {
  const std::string forty(40, 'x');
  const std::string indent(44, ' ');
  std::string hexes;  // as many "[78]" as fit on a line
  for (int i = 0; i < 8; ++i) hexes += "[78]";
  struct Case {
    const char* what;
    bool inHex, allHex;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"bytes in hex where not printable", true, false,
       {"0001.234  Dispatch  WriteCom      00000002  AT",
        "12345.678  User                    00000000  hi[20]there[0D]",
        "0012.000  TrigAllc  Status        00000011  (Modem status)",
        "0012.000  TrigDisp  Status        00000011  (Line status)",
        "0012.000  TrigDisp  Status        00000012  ",
        "0012.000  Trigger   Avail         00000005  ",
        "0012.000  Telnet    Sent WILL     00000001  [Echo]",
        "0012.000  Telnet    Recv DON'T    0000002B  []",
        "0012.000  Dispatch  Modem status  000000B0  [01](CTS DSR DCD)",
        "0012.000  Dispatch  Modem status  00000000  [00]()",
        "0012.000  Dispatch  ReadCom       00000028  " + forty.substr(0, 33),
        indent + forty.substr(33)}},
      {"bytes in decimal where not printable", false, false,
       {"0001.234  Dispatch  WriteCom      00000002  AT",
        "12345.678  User                    00000000  hi there[13]",
        "0012.000  TrigAllc  Status        00000011  (Modem status)",
        "0012.000  TrigDisp  Status        00000011  (Line status)",
        "0012.000  TrigDisp  Status        00000012  ",
        "0012.000  Trigger   Avail         00000005  ",
        "0012.000  Telnet    Sent WILL     00000001  [Echo]",
        "0012.000  Telnet    Recv DON'T    0000002B  []",
        "0012.000  Dispatch  Modem status  000000B0  [1](CTS DSR DCD)",
        "0012.000  Dispatch  Modem status  00000000  [0]()",
        "0012.000  Dispatch  ReadCom       00000028  " + forty.substr(0, 33),
        indent + forty.substr(33)}},
      {"every byte in hex but a user's text", true, true,
       {"0001.234  Dispatch  WriteCom      00000002  [41][54]",
        "12345.678  User                    00000000  hi there\r",
        "0012.000  TrigAllc  Status        00000011  (Modem status)",
        "0012.000  TrigDisp  Status        00000011  (Line status)",
        "0012.000  TrigDisp  Status        00000012  ",
        "0012.000  Trigger   Avail         00000005  ",
        "0012.000  Telnet    Sent WILL     00000001  [Echo]",
        "0012.000  Telnet    Recv DON'T    0000002B  []",
        "0012.000  Dispatch  Modem status  000000B0  [01](CTS DSR DCD)",
        "0012.000  Dispatch  Modem status  00000000  [00]()",
        "0012.000  Dispatch  ReadCom       00000028  " + hexes,
        indent + hexes, indent + hexes, indent + hexes,
        indent + hexes}},
  };
  const std::uint8_t modemStatus = 1, lineStatus = 2, unnamed = 9;
  for (const Case& c : cases) {
    d.InitDispatchLogging(0);
    AddAt(1234, dtDispatch, dstWriteCom, 2, "AT");
    AddAt(12345678, dtUser, dstNone, 0, "hi there\r");
    AddAt(12000, dtTriggerAlloc, dstStatusTrigger, 0x11, {reinterpret_cast<const char*>(&modemStatus), 1});
    AddAt(12000, dtTriggerDispose, dstStatusTrigger, 0x11, {reinterpret_cast<const char*>(&lineStatus), 1});
    AddAt(12000, dtTriggerDispose, dstStatusTrigger, 0x12, {reinterpret_cast<const char*>(&unnamed), 1});
    AddAt(12000, dtTrigger, dstAvail, 5);
    AddAt(12000, dtTelnet, dstSWill, 1);
    AddAt(12000, dtTelnet, dstRDont, 43);
    AddAt(12000, dtDispatch, dstModemStatus, 0xB0, {"\x01", 1});
    AddAt(12000, dtDispatch, dstModemStatus, 0, {"\0", 1});
    AddAt(12000, dtDispatch, dstReadCom, 40, forty);
    EXPECT_EQ(Dump(c.inHex, c.allHex), c.lines) << c.what;
  }
}

TEST_F(DispatchLog, TheCapBoundsTheBytesHeldBeforeEachEntry) {
  d.InitDispatchLogging(10);
  for (const char* text : {"entry 1.", "entry 2.", "entry 3.", "entry 4."}) {
    d.AddStringToLog(text);
    EXPECT_LE(d.LogQueue.Count(), 2u);
    EXPECT_LE(d.LogQueue.QueuedBytes(), 16u);
  }
  const auto lines = Dump(false);
  ASSERT_TRUE(lines);
  ASSERT_EQ(lines->size(), 2u);
  EXPECT_NE((*lines)[0].find("entry 3."), std::string::npos);
  EXPECT_NE((*lines)[1].find("entry 4."), std::string::npos);
  EXPECT_EQ(d.LogCap, 10u);  // a dump keeps the cap and the state
  EXPECT_TRUE(d.DLoggingOn);

  d.InitDispatchLogging(0);  // no cap
  for (int i = 0; i < 5; ++i) d.AddStringToLog("entry n.");
  EXPECT_EQ(d.LogQueue.Count(), 5u);
}

TEST_F(DispatchLog, OnlyALogThatIsOnRecords) {
  d.AddStringToLog("before");
  EXPECT_EQ(d.LogQueue.Count(), 0u);
  d.InitDispatchLogging(0);
  d.AddStringToLog("one");
  d.StopDispatchLogging();
  ASSERT_EQ(d.PutString("AT"), ecOK);
  d.StartDispatchLogging();
  ASSERT_EQ(d.PutString("OK"), ecOK);
  d.ClearDispatchLogging();
  EXPECT_TRUE(d.DLoggingOn);
  ASSERT_EQ(d.PutString("AT\r"), ecOK);
  EXPECT_EQ(Dump(), std::vector<std::string>{"0000.000  Dispatch  WriteCom      00000003  AT[0D]"});
  d.AddStringToLog("gone");
  d.AbortDispatchLogging();
  EXPECT_FALSE(d.DLoggingOn);
  EXPECT_EQ(d.LogQueue.Count(), 0u);
}

TEST_F(DispatchLog, FileErrorsGiveTheirCodes) {
  d.InitDispatchLogging(0);
  d.AddStringToLog("kept");
  // A file that cannot be made leaves the log as it was.
  EXPECT_EQ(d.DumpDispatchLog(dir.File("missing/DEVA.LOG").c_str(), true, false), ecPathNotFound);
  EXPECT_EQ(d.LogQueue.Count(), 1u);
  EXPECT_TRUE(d.DLoggingOn);
  EXPECT_EQ(Dump(), std::vector<std::string>{"0000.000  User                    00000000  kept"});

  // One that fills up on the way has taken the entries all the same.
  if (!ExistFileZ("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  for (int i = 0; i < 100; ++i) d.AddStringToLog("lost on a full disk");
  EXPECT_EQ(d.DumpDispatchLog("/dev/full", true, false), ecDiskFull);
  EXPECT_EQ(d.LogQueue.Count(), 0u);
  EXPECT_TRUE(d.DLoggingOn);
}

TEST_F(DispatchLog, RunningOutOfMemoryCostsOnlyTheEntry) {
  d.InitDispatchLogging(0);
  const std::string big(2 << 20, 'x');
  {
    RefuseAllocationsFrom refuse(1 << 20);
    d.AddStringToLog(big);
    d.AddStringToLog("small");
  }
  EXPECT_EQ(d.LogQueue.Count(), 1u);
  EXPECT_EQ(d.LogQueue.QueuedBytes(), 5u);
  d.AddStringToLog(big);
  EXPECT_EQ(d.LogQueue.Count(), 2u);
}

}  // namespace
