// The send job against the real server: its outgoing queue receives exactly the
// packets that outbox.db records, but for one to no number, which the modem could
// never take: the server sets that one aside.
#include <gtest/gtest.h>

#include "client/book/send_job.h"
#include "client/core/stream_client.h"
#include "platform/codepage.h"
#include "platform/file_io.h"
#include "protocol/message_file.h"
#include "server/server_core.h"
#include "tests/server/loopback_client.h"
#include "tests/support/message_box_answers.h"
#include "tests/support/temp_dir.h"

namespace {

std::vector<packet> OutgoingQueue(ServerCore& core) {
  std::lock_guard guard(core.state().QueueLock);
  std::vector<packet> out;
  for (const QueuedPacket& p : core.state().OutgoingQueue) out.push_back(*p);
  return out;
}

TEST(SendJobToServer, TheServerQueuesExactlyWhatTheOutboxRecords) {
  TempDir serverDir, clientDir;
  MessageBoxAnswers boxes;
  ServerConfig config;
  config.EthernetPort = kAnyPort;
  ServerCore core(serverDir.path());
  core.set_close_wait_ms(0);
  ASSERT_TRUE(core.Start(config));

  stream_client client;
  client.port = core.ListeningPort();
  ASSERT_TRUE(client.Connect("127.0.0.1"));
  const std::string outbox = PathJoin(clientDir.path(), "outbox.db");
  // The dialog makes no recipient of an empty entry; a job given one all the same.
  const SendJob job{{"+79161234567", "", "8800", "+79161234567"},
                    Ansi("Совещание переносится на завтра.\r\nМесто прежнее."), JobDateText(Now())};
  const SendJobResult result = RunSendJob(job, outbox, [&](packet& p) { return client.Send(p); });
  ASSERT_TRUE(result.recorded);
  EXPECT_EQ(result.notSent, 0u);

  const auto recorded = ReadMessageFile(outbox);
  ASSERT_EQ(recorded.size(), 4u);
  ASSERT_EQ(recorded[1].number(), "");
  std::vector<packet> queued = recorded;
  queued.erase(queued.begin() + 1);
  ASSERT_TRUE(WaitUntil([&] { return core.state().OutgoingCount() >= queued.size(); }));
  EXPECT_EQ(OutgoingQueue(core), queued);
  EXPECT_EQ(ReadMessageFile(PathJoin(serverDir.path(), "inbox.db.bad")), std::vector<packet>{recorded[1]});
  EXPECT_TRUE(client.connected());
  EXPECT_TRUE(boxes.Asked().empty());

  client.Close();
  core.Close();
}

}  // namespace
