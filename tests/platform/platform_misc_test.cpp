#include <gtest/gtest.h>

#include <filesystem>
#include <span>
#include <string_view>

#include "platform/date_time.h"
#include "platform/error_text.h"
#include "platform/file_io.h"
#include "platform/message_box.h"
#include "platform/program_dir.h"
#include "platform/single_instance.h"
#include "tests/support/message_box_answers.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(ProgramDir, IsTheExecutablesFolderWithoutTrailingSlash) {
  const std::string dir = ProgramDir();
  ASSERT_FALSE(dir.empty());
  EXPECT_NE(dir.back(), '/');
  EXPECT_TRUE(std::filesystem::is_directory(dir));
}

TEST(DateTimeText, ShortDateAndLongTime) {
  EXPECT_EQ(DateTimeToStr({2026, 12, 9, 21, 16, 7}), "09.12.2026 21:16:07");
  EXPECT_EQ(DateTimeToStr({2026, 1, 2, 9, 5, 0}), "02.01.2026 9:05:00");
  EXPECT_EQ(DateTimeToStr({2026, 1, 2, 0, 0, 0}), "02.01.2026");  // midnight: date alone
  EXPECT_EQ(DateTimeToStr({2026, 1, 2, 0, 0, 1}), "02.01.2026 0:00:01");
  EXPECT_LE(DateTimeToStr(Now()).size(), 19u);
  EXPECT_LE(DateTimeToStr({99999, 99, 99, 99, 99, 99}).size(), 19u);
}

TEST(ErrorText, GivesTheSystemText) {
  EXPECT_EQ(SysErrorMessage(ENOENT), "No such file or directory");
  EXPECT_FALSE(SysErrorMessage(99999).empty());
}

TEST(SingleInstance, SecondHolderOfANameIsRefusedUntilTheFirstEnds) {
  TempDir dir;
  {
    SingleInstance first("trelmsrv", dir.path());
    EXPECT_FALSE(first.AlreadyRunning());
    SingleInstance second("trelmsrv", dir.path());
    EXPECT_TRUE(second.AlreadyRunning());
    SingleInstance other("trelmcl", dir.path());
    EXPECT_FALSE(other.AlreadyRunning());
  }
  SingleInstance again("trelmsrv", dir.path());
  EXPECT_FALSE(again.AlreadyRunning());
}

TEST(FileIo, AtomicWriteReplacesWholeFile) {
  TempDir dir;
  const std::string path = PathJoin(dir.path(), "f.txt");
  EXPECT_FALSE(ReadWholeFile(path).has_value());
  ASSERT_TRUE(WriteFileAtomically(path, "first version, long"));
  ASSERT_TRUE(WriteFileAtomically(path, "second"));
  EXPECT_EQ(ReadWholeFile(path), "second");
  EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
  EXPECT_FALSE(WriteFileAtomically(PathJoin(dir.path(), "no/such/dir"), "x"));
  EXPECT_EQ(PathJoin("/a/", "b"), "/a/b");
  // The folder that is flushed after the rename: a bare name's is the current one.
  EXPECT_TRUE(SyncFolderOf(path));
  EXPECT_TRUE(SyncFolderOf("f.txt"));
  EXPECT_TRUE(SyncFolderOf("/f.txt"));
  EXPECT_FALSE(SyncFolderOf(PathJoin(dir.path(), "no/such/dir")));
}

// A file written aside a piece at a time is put in place whole; one given up on
// leaves the old file and nothing beside it.
TEST(FileIo, AFileWrittenAsideGoesInPlaceWholeOrNotAtAll) {
  TempDir dir;
  const std::string path = PathJoin(dir.path(), "queue.db");
  ASSERT_TRUE(WriteFileAtomically(path, "old"));
  const auto bytes = [](std::string_view s) {
    return std::span(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
  };
  {
    FileWrittenAside file(path);
    ASSERT_TRUE(file.Write(bytes("new, ")));
    ASSERT_TRUE(file.Write(bytes("in pieces")));
    EXPECT_EQ(ReadWholeFile(path), "old");  // until it is put in place
  }
  EXPECT_EQ(ReadWholeFile(path), "old");
  EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
  {
    FileWrittenAside file(path);
    ASSERT_TRUE(file.Write(bytes("new, ")));
    ASSERT_TRUE(file.Write(bytes("in pieces")));
    ASSERT_TRUE(file.Finish());
    ASSERT_TRUE(file.PutInPlace());
    EXPECT_TRUE(file.placed());
  }
  EXPECT_EQ(ReadWholeFile(path), "new, in pieces");
  EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
}

TEST(MessageBoxFunction, TestsAnswerIt) {
  MessageBoxAnswers answers(MbResult::No);
  EXPECT_EQ(MessageBox("text", "caption", MbButtons::YesNo, MbIcon::Question), MbResult::No);
  ASSERT_EQ(answers.Asked().size(), 1u);
  EXPECT_EQ(answers.Asked()[0].caption, "caption");
  EXPECT_EQ(answers.Asked()[0].buttons, MbButtons::YesNo);
}

}  // namespace
