#include "client/core/mailbox_index.h"

#include <gtest/gtest.h>

#include <string>
#include <unistd.h>
#include <vector>

#include "platform/file_io.h"
#include "tests/client/core/loopback_server.h"
#include "tests/support/temp_dir.h"

namespace {

std::string Bytes(const packet& p) { return std::string(reinterpret_cast<const char*>(p.raw().data()), kPacketSize); }

packet Damaged(const packet& p) {
  packet d = p;
  d.set_checksum(d.checksum() + 1);
  return d;
}

// Records read as the file is indexed in pieces: the damaged ones are left out
// wherever they fall (first, last of a piece, first of the next, last), the
// torn tail too, and each sound one is read back whole, in file order.
TEST(MailboxIndex, HoldsTheSoundWholeRecordsInFileOrderAndReadsEachBack) {
  TempDir dir;
  std::string bytes;
  std::vector<packet> sound;
  for (int i = 0; i < 600; ++i) {
    const packet p = MakePacket(kPacketMessage, "+7" + std::to_string(i), "text " + std::to_string(i), "d");
    if (i == 0 || i == 255 || i == 256 || i == 599) {
      bytes += Bytes(Damaged(p));
    } else {
      bytes += Bytes(p);
      sound.push_back(p);
    }
  }
  bytes.append(500, 'x');
  ASSERT_TRUE(WriteFileAtomically(dir.File("inbox.db"), bytes));

  const MailboxIndex index(dir.File("inbox.db"));
  ASSERT_EQ(index.size(), sound.size());
  for (std::size_t n = 0; n < sound.size(); ++n) {
    const auto record = index.Record(n);
    ASSERT_TRUE(record) << n;
    EXPECT_EQ(*record, sound[n]) << n;
  }
  EXPECT_FALSE(index.Record(sound.size()));

  // Cut behind its back (nothing of the client does that): the records gone read as nothing.
  ASSERT_EQ(::truncate(dir.File("inbox.db").c_str(), 10 * kPacketSize), 0);
  EXPECT_TRUE(index.Record(0));
  EXPECT_FALSE(index.Record(20));
}

TEST(MailboxIndex, AMissingOrEmptyFileHasNoRecords) {
  TempDir dir;
  EXPECT_EQ(MailboxIndex(dir.File("missing.db")).size(), 0u);
  ASSERT_TRUE(WriteFileAtomically(dir.File("empty.db"), ""));
  const MailboxIndex empty(dir.File("empty.db"));
  EXPECT_EQ(empty.size(), 0u);
  EXPECT_FALSE(empty.Record(0));
}

}  // namespace
