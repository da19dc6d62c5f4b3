#include <gtest/gtest.h>

#include <string>

#include "platform/file_io.h"
#include "serial/base/result_codes.h"
#include "serial/base/z_strings.h"
#include "tests/serial/dispatch/test_dispatcher.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(Dumps, NothingToDumpMakesOrTouchesNoFile) {
  TempDir dir;
  TTestDispatcher d(std::make_unique<FakeCommDevice>());
  ASSERT_EQ(d.Open(), 0);
  const std::string kept = dir.File("kept.txt");
  ASSERT_TRUE(WriteFileAtomically(kept, "kept"));
  using Dump = std::int32_t (TDevaBaseDispatcher::*)(const char*, bool, bool);
  const std::pair<const char*, Dump> dumps[] = {
      {"DumpTrace", &TDevaBaseDispatcher::DumpTrace},
      {"AppendTrace", &TDevaBaseDispatcher::AppendTrace},
      {"DumpDispatchLog", &TDevaBaseDispatcher::DumpDispatchLog},
      {"AppendDispatchLog", &TDevaBaseDispatcher::AppendDispatchLog},
  };
  const auto tryAll = [&](const char* state) {
    for (auto [what, dump] : dumps) {
      const std::string fresh = dir.File(std::string(what) + ".txt");
      EXPECT_EQ((d.*dump)(fresh.c_str(), true, false), ecOK) << what << " " << state;
      EXPECT_FALSE(ExistFileZ(fresh.c_str())) << what << " " << state;
      EXPECT_EQ((d.*dump)(kept.c_str(), true, false), ecOK) << what << " " << state;
      EXPECT_EQ(ReadWholeFile(kept), "kept") << what << " " << state;
    }
  };
  tryAll("off");
  ASSERT_EQ(d.InitTracing(10), ecOK);
  d.InitDispatchLogging(0);
  tryAll("on, empty");
}

}  // namespace
