#pragma once
// What the crash tests and the process they kill (queue_crash_child) share.
#include <string>
#include <vector>

#include "protocol/packet.h"

// The i-th message of a store's day: a message to send, its text "m<i>".
packet CrashMessage(int i);

// The queue after the whole of StoreDay, by the numbers of its messages: m0 to m9
// sent, m10 and m11 gone to the back when m99 was the last, m12 sent.
std::vector<int> StoreDayQueue();
