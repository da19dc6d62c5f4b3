#pragma once
// The dispatchers of the process. A dispatcher's handle is its index here;
// the slot of a freed dispatcher stays empty unless it was the last one.
// The list's lock is never held together with a dispatcher's locks.
#include <cstdint>
#include <vector>

class TDevaBaseDispatcher;

// Used only between LockPortList and UnlockPortList.
std::vector<TDevaBaseDispatcher*>& PortList();
void LockPortList();
void UnlockPortList();

// Takes a slot for a new dispatcher and returns its handle.
std::int32_t AddToPortList(TDevaBaseDispatcher* dispatcher);
// Empties the dispatcher's slot and drops the empty slots at the end.
void RemoveFromPortList(TDevaBaseDispatcher* dispatcher);

// The first dispatcher with that comm handle that passes `isOfClass`, or none
// (always none for a negative handle, which names no device).
// The last pair found is kept and returned again at once for that handle.
TDevaBaseDispatcher* GetTComRecPtr(std::int32_t Handle,
                                   bool (*isOfClass)(const TDevaBaseDispatcher*));
