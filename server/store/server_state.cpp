#include "server/store/server_state.h"

#include "platform/file_io.h"
#include "server/store/file_message_store.h"
#include "server/store/queue_file.h"

ServerState::ServerState(const std::string& folder)
    : OutgoingStore(std::make_unique<FileMessageStore>(PathJoin(folder, kOutgoingQueueFile), true)),
      IncomingStore(std::make_unique<FileMessageStore>(PathJoin(folder, kIncomingQueueFile), false)) {}
