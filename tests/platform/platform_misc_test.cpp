#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <span>
#include <string_view>
#include <sys/stat.h>

#include "platform/date_time.h"
#include "platform/error_text.h"
#include "platform/file_io.h"
#include "platform/message_box.h"
#include "platform/program_dir.h"
#include "platform/single_instance.h"
#include "tests/support/denied_access.h"
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

// Only a regular file is read, and one that is there but cannot be read is told
// from a missing one: a reader must never take it for an empty file.
TEST(FileIo, ReadsOnlyARegularFileAndTellsAFailedReadFromAMissingOne) {
  TempDir dir;
  ASSERT_TRUE(WriteFileAtomically(dir.File("file"), "bytes"));
  std::filesystem::create_symlink(dir.File("file"), dir.File("link"));
  std::filesystem::create_directory(dir.File("folder"));
  ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0644), 0);
  ASSERT_TRUE(WriteFileAtomically(dir.File("closed"), "bytes"));
  ASSERT_EQ(::chmod(dir.File("closed").c_str(), 0), 0);
  const struct {
    const char* name;
    ReadStatus status;
    int error;
  } cases[] = {
      {"file", ReadStatus::Read, 0},          {"link", ReadStatus::Read, 0},
      {"missing", ReadStatus::Missing, 0},    {"folder", ReadStatus::NotAFile, 0},
      {"fifo", ReadStatus::NotAFile, 0},      {"closed", ReadStatus::Failed, EACCES},
  };
  const WithoutFileOverride asAnyUser;
  for (const auto& c : cases) {
    const FileContents read = ReadFileContents(dir.File(c.name));
    EXPECT_EQ(read.status, c.status) << c.name;
    EXPECT_EQ(read.error, c.error) << c.name;
    EXPECT_EQ(read.bytes, c.status == ReadStatus::Read ? "bytes" : "") << c.name;
  }
}

// The file written aside is made new: whatever is in its place (a link to a file
// elsewhere or to a name not there yet, a second name of a file elsewhere, a stale
// file) goes, and nothing outside the folder is written. A folder there fails the
// write, which names it.
TEST(FileIo, AnAtomicWriteMakesItsFileAsideNewAndFollowsNoLink) {
  TempDir dir, outside;
  const std::string path = dir.File("registry.reg");
  const std::string aside = AsideFile(path);
  ASSERT_TRUE(WriteFileAtomically(outside.File("kept"), "kept"));
  const std::function<void()> inTheWay[] = {
      [&] { std::filesystem::create_symlink(outside.File("kept"), aside); },
      [&] { std::filesystem::create_symlink(outside.File("made"), aside); },
      [&] { std::filesystem::create_hard_link(outside.File("kept"), aside); },
      [&] { ASSERT_TRUE(WriteFileAtomically(aside + ".x", "stale")); std::filesystem::rename(aside + ".x", aside); },
      [&] {  // the file itself a link
        std::filesystem::remove(path);
        std::filesystem::create_symlink(outside.File("kept"), path);
      },
  };
  for (std::size_t i = 0; i < std::size(inTheWay); ++i) {
    inTheWay[i]();
    EXPECT_TRUE(WriteFileAtomically(path, "new " + std::to_string(i))) << i;
    EXPECT_EQ(ReadWholeFile(path), "new " + std::to_string(i)) << i;
    EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(path))) << i;
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(aside))) << i;
    EXPECT_EQ(ReadWholeFile(outside.File("kept")), "kept") << i;
    EXPECT_FALSE(std::filesystem::exists(outside.File("made"))) << i;
  }

  // The permissions of the file replaced are kept: a file kept from others stays so.
  ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
  ASSERT_TRUE(WriteFileAtomically(path, "private"));
  EXPECT_EQ(std::filesystem::status(path).permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

  std::filesystem::create_directory(aside);
  std::string failed;
  EXPECT_FALSE(WriteFileAtomically(path, "lost", &failed));
  EXPECT_EQ(errno, EISDIR);
  EXPECT_EQ(failed, aside);
  EXPECT_EQ(ReadWholeFile(path), "private");
  EXPECT_TRUE(std::filesystem::is_directory(aside));
}

TEST(MessageBoxFunction, TestsAnswerIt) {
  MessageBoxAnswers answers(MbResult::No);
  EXPECT_EQ(MessageBox("text", "caption", MbButtons::YesNo, MbIcon::Question), MbResult::No);
  ASSERT_EQ(answers.Asked().size(), 1u);
  EXPECT_EQ(answers.Asked()[0].caption, "caption");
  EXPECT_EQ(answers.Asked()[0].buttons, MbButtons::YesNo);
}

}  // namespace
