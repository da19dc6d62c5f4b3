#include "tests/serial/dispatch/failing_new.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<std::size_t> refuse_from{0};  // 0: refuse nothing

void* Allocate(std::size_t size) noexcept {
  const std::size_t limit = refuse_from.load();
  if (limit != 0 && size >= limit) return nullptr;
  return std::malloc(size ? size : 1);
}

void* AllocateOrThrow(std::size_t size) {
  if (void* p = Allocate(size)) return p;
  throw std::bad_alloc();
}

}  // namespace

RefuseAllocationsFrom::RefuseAllocationsFrom(std::size_t bytes) { refuse_from = bytes; }
RefuseAllocationsFrom::~RefuseAllocationsFrom() { refuse_from = 0; }

// Every form that pairs with another is replaced, so that each block is freed
// the way it was taken.
void* operator new(std::size_t size) { return AllocateOrThrow(size); }
void* operator new[](std::size_t size) { return AllocateOrThrow(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
