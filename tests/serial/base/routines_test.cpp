#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "serial/base/bit_flags.h"
#include "serial/base/component.h"
#include "serial/base/exec_wait.h"
#include "serial/base/path_routines.h"
#include "serial/base/system_version.h"
#include "serial/base/z_strings.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(PathRoutines, SplitNamesAtColonsAndBackslashes) {
  struct Case {
    const char* path;
    const char* dir;
    const char* file;
    const char* ext;  // nullptr: no extension
    const char* just_name;
  };
  const Case cases[] = {
      {"C:\\dir\\x.txt", "C:\\dir", "x.txt", "txt", "x"},
      {"C:\\x.txt", "C:\\", "x.txt", "txt", "x"},
      {"C:x", "C:", "x", nullptr, "x"},
      {"\\x", "\\", "x", nullptr, "x"},
      {"x.txt", "", "x.txt", "txt", "x"},
      {"x.text", "", "x.text", "tex", "x"},
      {"C:\\dir\\report.final.txt", "C:\\dir", "report.final.txt", "txt", "report"},
      {"C:\\v1.0\\readme", "C:\\v1.0", "readme", nullptr, "readme"},
      {"a/b.c", "", "a/b.c", "c", "a/b"},  // '/' is no delimiter here
  };
  for (const Case& c : cases) {
    char buf[64];
    EXPECT_STREQ(JustPathnameZ(buf, c.path), c.dir) << c.path;
    EXPECT_STREQ(JustFilenameZ(buf, c.path), c.file) << c.path;
    std::strcpy(buf, "untouched");
    const char* ext = JustExtensionZ(buf, c.path);
    if (c.ext != nullptr) {
      EXPECT_EQ(ext, buf);
      EXPECT_STREQ(buf, c.ext) << c.path;
    } else {
      EXPECT_STREQ(ext, "") << c.path;
      EXPECT_STREQ(buf, "untouched") << c.path;
    }
    EXPECT_EQ(JustName(c.path), c.just_name) << c.path;
  }
}

TEST(PathRoutines, BackslashesAndExtensions) {
  char buf[64];
  EXPECT_STREQ(AddBackSlashZ(buf, ""), "");
  EXPECT_STREQ(AddBackSlashZ(buf, "C:"), "C:");
  EXPECT_STREQ(AddBackSlashZ(buf, "C:\\dir"), "C:\\dir\\");
  EXPECT_STREQ(AddBackSlashZ(buf, "C:\\dir\\"), "C:\\dir\\");
  EXPECT_EQ(AddBackSlash("C:\\dir"), "C:\\dir\\");
  EXPECT_EQ(AddBackSlash("\"C:\\my dir\""), "\"C:\\my dir\\\"");
  EXPECT_EQ(AddBackSlash("\"C:\\my dir\\\""), "\"C:\\my dir\\\"");
  EXPECT_EQ(AddBackSlash("\""), "\"");
  EXPECT_STREQ(ForceExtensionZ(buf, "C:\\d\\log.txt", "TRC"), "C:\\d\\log.TRC");
  EXPECT_STREQ(ForceExtensionZ(buf, "C:\\d.x\\log", "TRC"), "C:\\d.x\\log.TRC");
  EXPECT_STREQ(DefaultExtensionZ(buf, "DEVA", "LOG"), "DEVA.LOG");
  EXPECT_STREQ(DefaultExtensionZ(buf, "DEVA.TXT", "LOG"), "DEVA.TXT");
}

TEST(ZStrings, NeverWritePastTheBufferAndAlwaysTerminate) {
  char buf[8];
  std::memset(buf, '#', sizeof buf);
  EXPECT_STREQ(Long2StrZ(std::span<char>(buf, 5), -123456), "-123");
  EXPECT_EQ(buf[5], '#');
  EXPECT_STREQ(Long2StrZ(buf, INT32_MIN), "-214748");  // cut to 7 characters
  EXPECT_STREQ(AddBackSlashZ(std::span<char>(buf, 4), "C:\\dir"), "C:\\");
  EXPECT_STREQ(ForceExtensionZ(std::span<char>(buf, 6), "abcdef", "TRC"), "abcde");
  char none[1] = {'#'};
  EXPECT_EQ(Long2StrZ(std::span<char>(none, 0), 5), none);
  EXPECT_EQ(none[0], '#');
}

TEST(ZStrings, NumbersAndSubstrings) {
  char buf[32];
  EXPECT_STREQ(Long2StrZ(buf, 0), "0");
  EXPECT_STREQ(Long2StrZ(buf, 2147483647), "2147483647");
  struct Case {
    const char* text;
    bool ok;
    std::int32_t value;
  };
  const Case cases[] = {{"42", true, 42},        {"-17", true, -17},  {"+5", true, 5},
                        {"  8", true, 8},        {"8 ", false, 0},    {"", false, 0},
                        {"12a", false, 0},       {"+-5", false, 0},   {"2147483648", false, 0},
                        {"-2147483648", true, INT32_MIN},
                        {"$1F", true, 31},       {"$ff", true, 255},  {"-$10", true, -16},
                        {" +$7FFFFFFF", true, INT32_MAX},             {"$FFFFFFFF", true, -1},
                        {"$0000000001", true, 1}, {"$100000000", false, 0},
                        {"$", false, 0},         {"$-1", false, 0},   {"$1G", false, 0},
                        {"1$", false, 0}};
  for (const Case& c : cases) {
    std::int32_t v = 99;
    EXPECT_EQ(Str2LongZ(c.text, v), c.ok) << c.text;
    EXPECT_EQ(v, c.value) << c.text;
  }
  EXPECT_STREQ(StrStCopy(buf, "abcdef", 2, 3), "cde");
  EXPECT_STREQ(StrStCopy(buf, "abcdef", 4, 10), "ef");
  EXPECT_STREQ(StrStCopy(buf, "abcdef", 6, 1), "");
}

TEST(ZStrings, FileExistsOnlyForFiles) {
  TempDir dir;
  const std::string file = dir.File("DEVA.TRC");
  EXPECT_FALSE(ExistFileZ(file.c_str()));
  FILE* f = std::fopen(file.c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  EXPECT_TRUE(ExistFileZ(file.c_str()));
  EXPECT_FALSE(ExistFileZ(dir.path().c_str()));
  EXPECT_FALSE(ExistFileZ(nullptr));
}

TEST(BitFlags, FlagsAndBufferInversion) {
  std::uint32_t flags = 0;
  SetFlag(flags, 0x11);
  EXPECT_TRUE(FlagIsSet(flags, 0x10));
  EXPECT_FALSE(FlagIsSet(flags, 0x20));
  ClearFlag(flags, 0x01);
  EXPECT_EQ(flags, 0x10u);
  std::uint8_t b = 0;
  SetByteFlag(b, 0x80);
  EXPECT_TRUE(ByteFlagIsSet(b, 0x80));
  ClearByteFlag(b, 0x80);
  EXPECT_EQ(b, 0);
  EXPECT_EQ(MinWord(3, 9), 3u);

  std::uint8_t buf[8] = {0x00, 0xFF, 0x0F, 0xA5, 0x01, 0x22, 0x33, 0x44};
  NotBuffer(std::span<std::uint8_t>(buf, 5));
  const std::uint8_t want[8] = {0xFF, 0x00, 0xF0, 0x5A, 0xFE, 0x22, 0x33, 0x44};
  EXPECT_EQ(std::memcmp(buf, want, 8), 0);
  char text[4] = "abc";
  EXPECT_EQ(AddWordToPtr(text, 2), text + 2);
  EXPECT_EQ(GetPtr(text + 2, -1), text + 1);
}

TEST(ExecAndWait, ReturnsTheExitCodeOrMinusOne) {
  EXPECT_EQ(ApWinExecAndWait32("sh", " -c \"exit 3\"", 1), 3);
  EXPECT_EQ(ApWinExecAndWait32("true", nullptr, 1), 0);
  EXPECT_EQ(ApWinExecAndWait32("no-such-program-here", " x", 1), -1);
  EXPECT_EQ(ApWinExecAndWait32("", nullptr, 1), -1);
  EXPECT_EQ(SplitCommandLine("a \"b c\" d\\\"e"), (std::vector<std::string>{"a", "b c", "d\"e"}));
}

TEST(SystemVersion, NtFamilyAndItsMinorZeroVersions) {
  EXPECT_TRUE(IsWinNT());
  OsVersionInfo info;
  info.PlatformId = kPlatformNT;
  info.MajorVersion = 6;
  info.MinorVersion = 0;
  EXPECT_TRUE(IsWin2000(info));
  info.MinorVersion = 1;
  EXPECT_FALSE(IsWin2000(info));
  info.PlatformId = kPlatformWindows;
  info.MinorVersion = 0;
  EXPECT_FALSE(IsWin2000(info));
  EXPECT_FALSE(IsWinNT(info));
  EXPECT_GT(GetOsVersion().MajorVersion, 0u);
}

TEST(Component, OwnerFreesWhatItOwnsAndEveryComponentKnowsTheVersion) {
  auto* form = new TComponent(nullptr);
  auto* port = new TDevaBaseComponent(form);
  auto* other = new TComponent(form);
  port->SetName("ComPort1");
  EXPECT_EQ(form->ComponentCount(), 2);
  EXPECT_EQ(form->Components(0), port);
  EXPECT_EQ(port->Owner(), form);
  delete other;  // leaves its owner's list
  EXPECT_EQ(form->ComponentCount(), 1);
  port->SetVersion("v9.99");
  EXPECT_EQ(port->Version(), "v4.07");
  EXPECT_EQ(port->Name(), "ComPort1");
  delete form;  // frees the port too (ASan would report a leak otherwise)
}

}  // namespace
