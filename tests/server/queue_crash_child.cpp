// The server, or one queue's store, in a process of its own that ends by SIGKILL
// at a chosen point, as a crash, an OOM kill or "kill -9" would end it. The test
// that starts it looks at what the files hold afterwards.
//
//   queue_crash_child <folder> store [<step> <n>]
//     A store's day (see StoreDay below), killed the first time it reaches <step>
//     with its queue file holding at least <n> records.
//   queue_crash_child <folder> server <modem> [<step> <n>]
//     The server in <folder>, with the modem COM5 that registry.reg declares when
//     <modem> is "modem", killed the first time its incoming queue's store reaches
//     <step> with outbox.db holding at least <n> records, or else by the test.
#include <csignal>
#include <cstdio>
#include <cinttypes>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>

#include "platform/file_io.h"
#include "server/clients/server_config.h"
#include "server/open_modem_port.h"
#include "server/server_core.h"
#include "server/store/file_message_store.h"
#include "tests/server/queue_crash.h"

namespace {

void KillAt(const std::string& path, StoreStep step, std::uintmax_t records) {
  SetStoreStepHook([path, step, records](const std::string& at, StoreStep reached) {
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (at == path && reached == step && (ec ? 0 : size / kPacketSize) >= records) ::raise(SIGKILL);
  });
}

int StoreDay(const std::string& folder) {
  FileMessageStore store(PathJoin(folder, kOutgoingQueueFile), true);
  PacketQueue queue(store);
  QueueFileRejects rejects;
  StoreFault fault;
  if (store.Load(queue, rejects, fault) == QueueFileLoad::Unreadable || !store.Open(fault)) return 2;
  std::map<int, RecordId> ids;
  const auto append = [&](int from, int to) {
    for (int i = from; i < to; ++i) ids[i] = store.Append(CrashMessage(i));
  };
  append(0, 100);
  store.Flush();
  for (int i = 0; i < 10; ++i) store.Acknowledge(ids[i]);
  store.MoveToBack(ids[10]);
  store.MoveToBack(ids[11]);
  store.Flush();
  append(100, 120);
  store.Flush();
  store.Acknowledge(ids[12]);
  append(120, 121);
  store.Flush();
  std::string entry;
  store.Compact(entry);
  return 0;
}

int Server(const std::string& folder, bool modem) {
  ServerCore core(folder);
  ServerConfig config = ReadServerConfig(PathJoin(folder, kConfigFile));
  if (!core.Start(config)) return 2;
  if (modem && !OpenModemPort(core, 5)) return 3;
  // The test ends this process; it never stops by itself.
  for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 64;
  const std::string folder = argv[1];
  const std::string what = argv[2];
  const bool server = what == "server";
  if (argc < (server ? 4 : 3)) return 64;
  if (const int at = server ? 4 : 3; argc == at + 2) {
    const std::string queueFile = server ? kIncomingQueueFile : kOutgoingQueueFile;
    KillAt(PathJoin(folder, queueFile), static_cast<StoreStep>(std::atoi(argv[at])),
           std::strtoumax(argv[at + 1], nullptr, 10));
  }
  if (what == "store") return StoreDay(folder);
  if (server) return Server(folder, std::string(argv[3]) == "modem");
  return 64;
}
