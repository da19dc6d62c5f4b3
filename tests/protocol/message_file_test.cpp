#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/resource.h>

#include "platform/file_io.h"
#include "protocol/message_file.h"
#include "tests/support/temp_dir.h"

namespace {

packet Numbered(int i) {
  packet p;
  PacketInit(p);
  p.set_type(kPacketMessage);
  PacketSetNumber(p, std::to_string(i));
  PacketSetText(p, "text " + std::to_string(i));
  return p;
}

TEST(MessageFile, RoundTripsInOrderAndIgnoresTrailingPartialRecord) {
  TempDir dir;
  const std::string path = dir.File("inbox.db");
  EXPECT_TRUE(ReadMessageFile(path).empty());  // missing file

  std::vector<packet> three = {Numbered(1), Numbered(2), Numbered(3)};
  ASSERT_TRUE(WriteMessageFile(path, three));
  EXPECT_EQ(std::filesystem::file_size(path), 3u * 1076);
  EXPECT_EQ(ReadMessageFile(path), three);

  std::string bytes = *ReadWholeFile(path);
  ASSERT_TRUE(WriteFileAtomically(path, bytes + std::string(100, 'x')));
  EXPECT_EQ(ReadMessageFile(path), three);
}

TEST(MessageFile, AppendKeepsRecordsAlignedAfterAPartialTail) {
  TempDir dir;
  const std::string path = dir.File("outbox.db");
  std::vector<packet> first = {Numbered(1)};
  ASSERT_TRUE(WriteMessageFile(path, first));
  ASSERT_TRUE(WriteFileAtomically(path, *ReadWholeFile(path) + "partial"));

  std::vector<packet> more = {Numbered(2), Numbered(3)};
  ASSERT_TRUE(AppendMessageFile(path, more));
  const auto all = ReadMessageFile(path);
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0].number(), "1");
  EXPECT_EQ(all[2].number(), "3");
  EXPECT_EQ(std::filesystem::file_size(path), 3u * 1076);
  EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
}

TEST(MessageFile, AnAppendCutShortLeavesOnlyTheRecordsThatWereThere) {
  TempDir dir;
  const std::string path = dir.File("inbox.db");
  std::vector<packet> two = {Numbered(1), Numbered(2)};
  ASSERT_TRUE(WriteMessageFile(path, two));
  // The file may not grow by more than half a record: the append runs out of room.
  const sighandler_t before = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limit{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &limit), 0);
  rlimit small = limit;
  small.rlim_cur = 2 * kPacketSize + kPacketSize / 2;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  std::vector<packet> more = {Numbered(3), Numbered(4)};
  const bool appended = AppendMessageFile(path, more);
  ::setrlimit(RLIMIT_FSIZE, &limit);
  std::signal(SIGXFSZ, before);
  EXPECT_FALSE(appended);
  EXPECT_EQ(std::filesystem::file_size(path), 2 * kPacketSize) << "no torn record is left";
  EXPECT_EQ(ReadMessageFile(path), two);
}

TEST(MessageFile, FailedWriteLeavesTheOldFile) {
  TempDir dir;
  const std::string path = dir.File("inbox.db");
  std::vector<packet> one = {Numbered(1)};
  ASSERT_TRUE(WriteMessageFile(path, one));
  // The aside file's place is taken by a directory, so the write cannot happen.
  std::filesystem::create_directory(path + ".tmp");
  std::vector<packet> two = {Numbered(2), Numbered(3)};
  EXPECT_FALSE(WriteMessageFile(path, two));
  EXPECT_EQ(ReadMessageFile(path), one);
}

}  // namespace
