#pragma once
// Asking the server for the messages it has received.
#include <string_view>

#include "client/core/stream_client.h"

// The fetch request: type 5, "REQUEST" as the number, the request time as the
// date, no text.
packet MakeFetchRequest(std::string_view date);

// Not connected: warns and sends nothing. Connected: sends the fetch request
// stamped with the current local time; the answers arrive on the receive thread.
void RequestReceivedMessages(stream_client& client);
