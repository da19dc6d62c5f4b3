#pragma once
// The one way tests wait for something the code does on another thread or in the
// event loop: look at a condition until it holds, with a generous limit.
#include <chrono>
#include <functional>

// Looks at `condition` until it holds; false when `limit` passed first. Between
// looks the Qt tests run their event loop (queued calls, dialogs); the others
// pause for a moment.
bool WaitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds limit = std::chrono::seconds(20));

// What happens between two looks, for at most `pause`. The Qt tests' main() sets it.
void SetWaitBetweenLooks(std::function<void(std::chrono::milliseconds pause)> wait);
