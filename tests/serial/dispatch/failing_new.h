#pragma once
// The test binary's own operator new, which can be told to refuse large
// blocks: what the code under test does when memory runs out, without
// exhausting the machine. Small allocations (the test framework's) still work.
#include <cstddef>

// While one lives, every allocation of at least `bytes` throws std::bad_alloc
// (or yields none, for the non-throwing forms).
class RefuseAllocationsFrom {
 public:
  explicit RefuseAllocationsFrom(std::size_t bytes);
  ~RefuseAllocationsFrom();
  RefuseAllocationsFrom(const RefuseAllocationsFrom&) = delete;
  RefuseAllocationsFrom& operator=(const RefuseAllocationsFrom&) = delete;
};
