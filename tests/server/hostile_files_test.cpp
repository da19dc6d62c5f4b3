// The server's files as a hostile machine leaves them: a registry file that
// cannot be read, and links put in place of the files the server writes aside or
// appends to.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <sys/stat.h>

#include "platform/file_io.h"
#include "platform/registry.h"
#include "protocol/cipher.h"
#include "protocol/message_file.h"
#include "server/clients/check_user.h"
#include "server/modem/message_ref.h"
#include "server/store/queue_file.h"
#include "tests/server/server_fixture.h"
#include "tests/support/captured_stderr.h"
#include "tests/support/denied_access.h"

namespace {

namespace fs = std::filesystem;

packet Login(std::string_view user, std::string_view password) {
  packet p = TypedPacket(kPacketLogin);
  PacketSetNumber(p, user);
  PacketSetText(p, password);
  return p;
}

std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// A registry file that is there but cannot be read is no empty registry: every
// login is refused (said once, however many come), the reference counter goes on
// in memory, and the file is left exactly as it was; once it can be read again,
// its users log in as before.
TEST(UnreadableRegistry, RefusesLoginsCountsInMemoryAndLeavesTheFileAlone) {
  enum class Kind { NoPermission, NoDescriptor, Fifo, Folder };
  const std::pair<const char*, Kind> cases[] = {{"no permission", Kind::NoPermission},
                                                {"no descriptor left", Kind::NoDescriptor},
                                                {"a FIFO", Kind::Fifo},
                                                {"a folder", Kind::Folder}};
  for (const auto& [what, kind] : cases) {
    SCOPED_TRACE(what);
    TempDir dir;
    const std::string file = dir.File("registry.reg");
    {
      TRegistry reg(file);
      ASSERT_TRUE(reg.OpenKey(kUsersKey, true));
      std::vector<std::uint8_t> password{'S', 'e', 'c', 'r', 'e', 't'};
      EncodeBuffer(password);
      reg.WriteBinaryData("ivan", password);
      ASSERT_TRUE(reg.OpenKey("\\SOFTWARE\\Trelm\\SMSConfig", true));
      reg.WriteInteger("MessageRef", 6);
    }
    MessageRefCounter counter(file);
    ASSERT_EQ(counter.NextMessageRef(), "07");
    const std::string bytes = *ReadWholeFile(file);  // 7 stored
    if (kind == Kind::NoPermission) {
      ASSERT_EQ(::chmod(file.c_str(), 0), 0);
    }
    if (kind == Kind::Fifo || kind == Kind::Folder) {
      fs::remove(file);
      if (kind == Kind::Fifo) ASSERT_EQ(::mkfifo(file.c_str(), 0644), 0);
      else fs::create_directory(file);
    }

    testing::internal::CaptureStderr();
    {
      std::optional<WithoutFileOverride> noOverride;
      std::optional<NoDescriptorLeft> noDescriptor;
      if (kind == Kind::NoPermission) noOverride.emplace();
      if (kind == Kind::NoDescriptor) noDescriptor.emplace();
      EXPECT_FALSE(CheckUser(Login("ivan", "Secret"), file));
      EXPECT_FALSE(CheckUser(Login("petr", "Secret"), file));
      EXPECT_EQ(counter.NextMessageRef(), "08");
      EXPECT_EQ(counter.NextMessageRef(), "09");
    }
    const std::string said = CapturedStderr();
    EXPECT_EQ(Count(said, "trelmsrv: cannot read " + file), 2u) << said;
    EXPECT_EQ(Count(said, "every login is refused"), 1u) << said;
    EXPECT_EQ(Count(said, "counted in memory"), 1u) << said;

    EXPECT_FALSE(fs::exists(fs::symlink_status(AsideFile(file))));
    if (kind == Kind::Fifo || kind == Kind::Folder) {
      EXPECT_EQ(fs::symlink_status(file).type(), kind == Kind::Fifo ? fs::file_type::fifo : fs::file_type::directory);
      fs::remove(file);
      ASSERT_TRUE(WriteFileAtomically(file, bytes));
    } else {
      ASSERT_EQ(::chmod(file.c_str(), 0644), 0);
      EXPECT_EQ(ReadWholeFile(file), bytes);
    }
    EXPECT_TRUE(CheckUser(Login("ivan", "Secret"), file));
  }
}

// A key is made only where the file was read and lacks it.
TEST(UnreadableRegistry, AMissingFileGetsTheUsersKey) {
  TempDir dir;
  EXPECT_FALSE(CheckUser(Login("ivan", "Secret"), dir.File("registry.reg")));
  EXPECT_TRUE(TRegistry(dir.File("registry.reg")).KeyExists(kUsersKey));
}

// A link put in place of a file the server writes aside or appends to, pointing at
// a file elsewhere or at a name that is not there yet: nothing outside the folder
// is written or made, and the file the server meant to write is a file of its own.
class LinkedFiles : public ServerFixture {
 protected:
  std::string Path(const char* name) const { return PathJoin(dir.path(), name); }

  void QueueOutgoing(const packet& p) {
    std::lock_guard guard(core->state().QueueLock);
    PacketPtr q = PacketNew();
    *q = p;
    core->state().OutgoingQueue.Append(std::move(q));
  }

  // One more message queued and sent, so that the close writes the queue file anew.
  void QueueOneSent() {
    QueueOutgoing(MessagePacket("+7002", "sent"));
    std::lock_guard guard(core->state().QueueLock);
    QueuedPacket sent = core->state().OutgoingQueue.TakeFront();
    core->state().OutgoingQueue.push_back(core->state().OutgoingQueue.TakeFront());
    core->state().OutgoingStore->Acknowledge(sent.id);
  }

  TempDir outside;
};

TEST_F(LinkedFiles, NoWriteFollowsALinkOutOfTheFolder) {
  const packet message = MessagePacket("+7001", "queued");
  struct Case {
    const char* link;
    std::function<void()> write;
    std::function<void()> written;  // what the server wrote in its own folder
  };
  const Case cases[] = {
      {"inbox.db.tmp",
       [&] {
         StartServer(Config());
         QueueOneSent();
         QueueOutgoing(message);
         EXPECT_TRUE(core->Close());
       },
       [&] { EXPECT_EQ(ReadMessageFile(Path(kOutgoingQueueFile)), std::vector<packet>{message}); }},
      {"outbox.db.tmp",
       [&] {
         StartServer(Config());
         QueueIncoming({message});
         EXPECT_TRUE(core->Close());
       },
       [&] { EXPECT_EQ(ReadMessageFile(Path(kIncomingQueueFile)), std::vector<packet>{message}); }},
      {"inbox.db.done.tmp",  // a start that finds a torn entry writes the log anew
       [&] {
         ASSERT_TRUE(WriteMessageFile(Path(kOutgoingQueueFile), std::vector<packet>{message}));
         ASSERT_TRUE(WriteFileAtomically(Path("inbox.db.done"), "torn"));
         StartServer(Config());
         EXPECT_TRUE(core->Close());
       },
       [&] { EXPECT_EQ(ReadMessageFile(Path(kOutgoingQueueFile)), std::vector<packet>{message}); }},
      {"registry.reg.tmp",
       [&] {
         EXPECT_FALSE(CheckUser(Login("ivan", "Secret"), Path(kRegistryFile)));  // makes the users key
         MessageRefCounter(Path(kRegistryFile)).NextMessageRef();               // stores MessageRef
       },
       [&] {
         TRegistry reg(Path(kRegistryFile));
         EXPECT_TRUE(reg.KeyExists(kUsersKey));
         ASSERT_TRUE(reg.OpenKeyReadOnly("\\SOFTWARE\\Trelm\\SMSConfig"));
         EXPECT_TRUE(reg.ValueExists("MessageRef"));
       }},
      {"inbox.db.bad",  // a hand-in to a number the modem cannot take is set aside there
       [&] {
         StartServer(Config());
         testing::internal::CaptureStderr();
         {
           LoopbackClient client(port);
           ASSERT_TRUE(client.Send(MessagePacket("Bank", "to a name")));
           client.ShutdownWrite();
           ASSERT_TRUE(client.BytesUntilClosed());
         }
         const std::string said = CapturedStderr();
         EXPECT_NE(said.find("cannot be set aside in " + Path("inbox.db.bad") + ": Too many levels of symbolic links"),
                   std::string::npos)
             << said;
         EXPECT_TRUE(core->Close());
       },
       [] {}},
  };
  for (const Case& c : cases) {
    for (const bool targetThere : {true, false}) {
      SCOPED_TRACE(std::string(c.link) + (targetThere ? " to a file elsewhere" : " to a name elsewhere"));
      const std::string target = outside.File(std::string("target of ") + c.link);
      if (targetThere) {
        ASSERT_TRUE(WriteFileAtomically(target, "kept as it is"));
      }
      fs::create_symlink(target, Path(c.link));

      c.write();
      c.written();
      if (targetThere) {
        EXPECT_EQ(ReadWholeFile(target), "kept as it is");
      } else {
        EXPECT_FALSE(fs::exists(fs::symlink_status(target)));
      }
      for (const auto& entry : fs::directory_iterator(dir.path())) {
        EXPECT_TRUE(entry.path().filename() == c.link || !entry.is_symlink()) << entry.path();
      }
      fs::remove(target);
      for (const auto& entry : fs::directory_iterator(dir.path())) fs::remove_all(entry.path());
      core.reset();
    }
  }
}

// The start sets damaged records aside beside the queue file; a link there is not
// written through, and a start refused for it puts nothing back through it either.
TEST_F(LinkedFiles, ALinkedSetAsideFileStopsTheStartAndIsLeftAlone) {
  const packet damaged = BrokenPackets().front().record;
  ASSERT_TRUE(WriteMessageFile(Path(kIncomingQueueFile), std::vector<packet>{damaged}));
  const std::string target = outside.File("target");
  ASSERT_TRUE(WriteFileAtomically(target, std::string(3 * kPacketSize, 'x')));
  fs::create_symlink(target, Path("outbox.db.bad"));
  ServerCore server(dir.path());
  EXPECT_FALSE(server.Start(Config()));
  EXPECT_EQ(ReadWholeFile(target), std::string(3 * kPacketSize, 'x'));
  EXPECT_TRUE(fs::is_symlink(Path("outbox.db.bad")));
  EXPECT_EQ(ReadMessageFile(Path(kIncomingQueueFile)), std::vector<packet>{damaged});
}

// The queue file and its log are appended to while the server runs: a link in
// place of either stops the start, and nothing is written through it.
TEST_F(LinkedFiles, ALinkedQueueFileOrLogStopsTheStart) {
  for (const char* name : {kOutgoingQueueFile, "inbox.db.done", kIncomingQueueFile, "outbox.db.done"}) {
    for (const bool targetThere : {true, false}) {
      SCOPED_TRACE(std::string(name) + (targetThere ? " to a file elsewhere" : " to a name elsewhere"));
      const std::string target = outside.File("target");
      if (targetThere) {
        ASSERT_TRUE(WriteMessageFile(target, std::vector<packet>{MessagePacket("+7001", "elsewhere")}));
      }
      const auto before = ReadWholeFile(target);
      fs::create_symlink(target, Path(name));
      ServerCore server(dir.path());
      EXPECT_FALSE(server.Start(Config()));
      EXPECT_NE(boxes.Asked().back().text.find(Path(name)), std::string::npos);
      EXPECT_EQ(ReadWholeFile(target), before);
      EXPECT_TRUE(fs::is_symlink(Path(name)));
      fs::remove(target);
      for (const auto& entry : fs::directory_iterator(dir.path())) fs::remove_all(entry.path());
    }
  }
}

}  // namespace
