// The send job against a loopback receiver: what goes over the wire is what
// outbox.db records.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "client/book/recipients.h"
#include "client/book/send_job.h"
#include "protocol/message_file.h"
#include "protocol/packet_io.h"
#include "tests/support/temp_dir.h"

namespace {

// A connected socket pair; the far end collects every packet until it closes.
class LoopbackReceiver {
 public:
  LoopbackReceiver() {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) == 0) {
      near_ = fds[0];
      far_ = fds[1];
    }
    reader_ = std::thread([this] {
      packet p;
      while (RecvPacket(far_, p)) received_.push_back(p);
    });
  }
  ~LoopbackReceiver() {
    Finish();
    ::close(far_);
  }
  SendOnePacket Sender() {
    return [this](packet& p) { return SendPacket(near_, p); };
  }
  // Ends the stream and returns everything that arrived.
  std::vector<packet> Finish() {
    if (near_ >= 0) ::close(near_);
    near_ = -1;
    if (reader_.joinable()) reader_.join();
    return received_;
  }

 private:
  int near_ = -1, far_ = -1;
  std::vector<packet> received_;
  std::thread reader_;
};

packet Existing() { return MessagePacket("+70000000000", "old", "01.01.2026 10:00:00"); }

TEST(SendJob, OnePacketPerRecipientAppendedAfterExistingRecords) {
  TempDir dir;
  const std::string outbox = dir.File("outbox.db");
  const packet old = Existing();
  ASSERT_TRUE(WriteMessageFile(outbox, std::span(&old, 1)));

  LoopbackReceiver server;
  std::vector<std::size_t> steps;
  const SendJob job{SplitRecipients("+79161234567,+79250000000"), "abc", "09.12.2026 21:16:07"};
  const SendJobResult result = RunSendJob(job, outbox, server.Sender(), [&](std::size_t n) {
    steps.push_back(n);
    return true;
  });
  EXPECT_TRUE(result.recorded);
  EXPECT_EQ(result.notSent, 0u);
  const auto received = server.Finish();

  EXPECT_EQ(steps, (std::vector<std::size_t>{1, 2}));
  const auto records = ReadMessageFile(outbox);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0], old);
  ASSERT_EQ(received.size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(received[i], records[i + 1]);
    EXPECT_TRUE(PacketVerify(received[i]));
    EXPECT_EQ(received[i].type(), kPacketMessage);
    EXPECT_EQ(received[i].text(), "abc");
    EXPECT_EQ(received[i].date(), "09.12.2026 21:16:07");
  }
  EXPECT_EQ(received[0].number(), "+79161234567");
  EXPECT_EQ(received[1].number(), "+79250000000");
}

TEST(SendJob, StrayCommasSendNothingToNoNumber) {
  TempDir dir;
  LoopbackReceiver server;
  ASSERT_TRUE(
      RunSendJob({SplitRecipients(",111,, 222 ,"), "x", "d"}, dir.File("outbox.db"), server.Sender()).recorded);
  const auto received = server.Finish();
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[0].number(), "111");
  EXPECT_EQ(received[1].number(), "222");
  EXPECT_EQ(ReadMessageFile(dir.File("outbox.db")), received);
}

TEST(SendJob, RecordsOnlyThePacketsTheConnectionTookAndCountsTheRest) {
  TempDir dir;
  std::vector<std::string> tried;
  // The connection is lost after the first packet.
  const SendOnePacket lostAfterOne = [&](packet& p) {
    tried.emplace_back(p.number());
    return tried.size() == 1;
  };
  const SendJobResult result = RunSendJob({{"1", "2", "3"}, "text", "d"}, dir.File("outbox.db"), lostAfterOne);
  EXPECT_EQ(result.notSent, 2u);
  EXPECT_TRUE(result.recorded);
  EXPECT_EQ(tried, (std::vector<std::string>{"1", "2", "3"}));
  const auto records = ReadMessageFile(dir.File("outbox.db"));
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].number(), "1");
  EXPECT_TRUE(PacketVerify(records[0]));

  // Nothing sent: the sent list is left as it was.
  EXPECT_EQ(RunSendJob({{"4"}, "text", "d"}, dir.File("outbox.db"), [](packet&) { return false; }).notSent, 1u);
  EXPECT_EQ(ReadMessageFile(dir.File("outbox.db")).size(), 1u);
}

TEST(SendJob, AStoppedJobSendsAndRecordsExactlyThePacketsBeforeTheStop) {
  TempDir dir;
  LoopbackReceiver server;
  const SendJobResult result = RunSendJob({{"1", "2", "3", "4"}, "text", "d"}, dir.File("outbox.db"),
                                          server.Sender(), [](std::size_t sent) { return sent < 2; });
  EXPECT_EQ(result.notSent, 0u);
  const auto received = server.Finish();
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[1].number(), "2");
  EXPECT_EQ(ReadMessageFile(dir.File("outbox.db")), received);
}

TEST(SendJob, EachPacketTakenIsInTheSentListBeforeTheNextIsSent) {
  // A client that dies mid-job keeps the records of what it handed over.
  TempDir dir;
  const std::string outbox = dir.File("outbox.db");
  std::vector<std::size_t> recordsSeen;
  RunSendJob({{"1", "2", "3"}, "text", "d"}, outbox, [](packet&) { return true; }, [&](std::size_t) {
    recordsSeen.push_back(ReadMessageFile(outbox).size());
    return true;
  });
  EXPECT_EQ(recordsSeen, (std::vector<std::size_t>{1, 2, 3}));
}

TEST(SendJob, AnUnwritableOutboxIsReported) {
  TempDir dir;
  // A directory where the file should be cannot be replaced.
  const std::string outbox = dir.File("outbox.db");
  ASSERT_EQ(::mkdir(outbox.c_str(), 0700), 0);
  EXPECT_FALSE(RunSendJob({{"1"}, "text", "d"}, outbox, [](packet&) { return true; }).recorded);
}

TEST(JobDateText, ShortDateBlankLongTimeEvenAtMidnight) {
  EXPECT_EQ(JobDateText({2026, 12, 9, 0, 0, 0}), "09.12.2026 0:00:00");
  EXPECT_EQ(JobDateText({2026, 12, 9, 21, 16, 7}), "09.12.2026 21:16:07");
  EXPECT_LE(JobDateText({9999, 12, 31, 23, 59, 59}).size(), 19u);
}

}  // namespace
