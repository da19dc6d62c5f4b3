#pragma once
// A real server on a loopback port in a temporary program directory.
#include <gtest/gtest.h>

#include <memory>
#include <string_view>
#include <vector>

#include "server/server_core.h"
#include "tests/server/loopback_client.h"
#include "tests/support/message_box_answers.h"
#include "tests/support/temp_dir.h"

class ServerFixture : public ::testing::Test {
 protected:
  ServerConfig Config() const {
    ServerConfig c;
    c.EthernetPort = kAnyPort;
    return c;
  }

  void StartServer(const ServerConfig& c) {
    core = std::make_unique<ServerCore>(dir.path());
    core->set_close_wait_ms(0);
    ASSERT_TRUE(core->Start(c));
    port = core->ListeningPort();
    ASSERT_NE(port, 0);
  }

  std::size_t Outgoing() { return core->state().OutgoingCount(); }
  std::size_t Incoming() { return core->state().IncomingCount(); }

  void QueueIncoming(const std::vector<packet>& packets) {
    std::lock_guard guard(core->state().QueueLock);
    for (const packet& p : packets) {
      PacketPtr q = PacketNew();
      *q = p;
      core->state().IncomingQueue.Append(std::move(q));
    }
  }

  std::vector<std::string> OutgoingTexts() {
    std::lock_guard guard(core->state().QueueLock);
    std::vector<std::string> out;
    for (const QueuedPacket& p : core->state().OutgoingQueue) out.emplace_back(p->text());
    return out;
  }

  TempDir dir;
  MessageBoxAnswers boxes;
  int port = 0;  // the server's, once started
  std::unique_ptr<ServerCore> core;
};
