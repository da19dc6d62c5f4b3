#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>

#include "platform/file_io.h"
#include "protocol/message_file.h"
#include "protocol/message_file_appender.h"
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

// A torn record that an interrupted append left is cut off before the next one is
// written, so the records after it stay aligned.
TEST(MessageFileAppender, CutsATornTailBeforeItAppends) {
  TempDir dir;
  const std::string path = dir.File("outbox.db");
  ASSERT_TRUE(WriteMessageFile(path, std::vector<packet>{Numbered(1)}));
  ASSERT_TRUE(WriteFileAtomically(path, *ReadWholeFile(path) + "partial"));

  MessageFileAppender file(path);
  file.Append(Numbered(2));
  file.Append(std::vector<packet>{Numbered(3), Numbered(4)});
  EXPECT_EQ(file.Unflushed(), 3u);
  ASSERT_TRUE(file.Flush());
  EXPECT_EQ(std::filesystem::file_size(path), 4u * kPacketSize);
  EXPECT_EQ(ReadMessageFile(path), (std::vector<packet>{Numbered(1), Numbered(2), Numbered(3), Numbered(4)}));
}

// An append that runs out of room (here a file size limit) leaves no torn record
// behind, Flush reports it, and the appender goes on once there is room again.
TEST(MessageFileAppender, AnAppendCutShortLeavesOnlyTheWholeRecords) {
  TempDir dir;
  const std::string path = dir.File("inbox.db");
  const std::vector<packet> two = {Numbered(1), Numbered(2)};
  ASSERT_TRUE(WriteMessageFile(path, two));
  MessageFileAppender file(path);

  const sighandler_t before = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limit{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &limit), 0);
  rlimit small = limit;
  small.rlim_cur = 3 * kPacketSize + kPacketSize / 2;  // room for one record and a half
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  file.Append(std::vector<packet>{Numbered(3), Numbered(4)});
  const std::size_t sizeAfterFailure = std::filesystem::file_size(path);
  file.Append(Numbered(5));
  const bool flushed = file.Flush();
  const int error = errno;
  ::setrlimit(RLIMIT_FSIZE, &limit);
  std::signal(SIGXFSZ, before);

  EXPECT_FALSE(flushed);
  EXPECT_EQ(error, EFBIG);
  EXPECT_EQ(sizeAfterFailure, 2 * kPacketSize) << "no torn record is left";
  EXPECT_EQ(ReadMessageFile(path), (std::vector<packet>{Numbered(1), Numbered(2), Numbered(5)}));

  file.Append(Numbered(6));
  EXPECT_TRUE(file.Flush());
  EXPECT_EQ(ReadMessageFile(path).back(), Numbered(6));
}

// An append at a place: the file then holds its first records and these, so a
// retry after a flush that failed overwrites what that attempt left.
TEST(MessageFileAppender, AnAppendAtAPlaceOverwritesWhatFollowsIt) {
  TempDir dir;
  const std::string path = dir.File("inbox.db");
  ASSERT_TRUE(WriteMessageFile(path, std::vector<packet>{Numbered(1), Numbered(2), Numbered(9)}));
  MessageFileAppender file(path);
  file.AppendAt(2, std::vector<packet>{Numbered(3), Numbered(4)});
  ASSERT_TRUE(file.Flush());
  EXPECT_EQ(ReadMessageFile(path), (std::vector<packet>{Numbered(1), Numbered(2), Numbered(3), Numbered(4)}));

  // Records it counted on are gone: nothing is written where it does not belong.
  file.AppendAt(7, std::vector<packet>{Numbered(8)});
  EXPECT_FALSE(file.Flush());
  EXPECT_EQ(errno, EIO);
  EXPECT_EQ(ReadMessageFile(path).size(), 4u);
}

// A name that is no regular file fails at once: a FIFO does not wait for a reader,
// and a link is not followed, to a file elsewhere or to a name not there yet.
TEST(MessageFileAppender, ANameThatIsNoRegularFileFails) {
  TempDir dir, outside;
  const std::string fifo = dir.File("fifo.db");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  const std::string folder = dir.File("folder.db");
  std::filesystem::create_directory(folder);
  const std::string elsewhere = outside.File("inbox.db");
  ASSERT_TRUE(WriteFileAtomically(elsewhere, "not a record"));
  std::filesystem::create_symlink(elsewhere, dir.File("linked.db"));
  std::filesystem::create_symlink(outside.File("new.db"), dir.File("dangling.db"));
  for (const std::string& path : {fifo, folder, dir.File("linked.db"), dir.File("dangling.db")}) {
    MessageFileAppender file(path);
    file.Append(Numbered(1));
    EXPECT_FALSE(file.Flush()) << path;
  }
  EXPECT_EQ(ReadWholeFile(elsewhere), "not a record");
  EXPECT_FALSE(std::filesystem::exists(outside.File("new.db")));
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
