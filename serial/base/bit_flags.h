#pragma once
// Flag words, byte buffers and pointer steps of the dispatcher.
#include <cstddef>
#include <cstdint>
#include <span>

inline bool FlagIsSet(std::uint32_t flags, std::uint32_t mask) { return (flags & mask) != 0; }
inline void SetFlag(std::uint32_t& flags, std::uint32_t mask) { flags |= mask; }
inline void ClearFlag(std::uint32_t& flags, std::uint32_t mask) { flags &= ~mask; }

inline bool ByteFlagIsSet(std::uint8_t flags, std::uint8_t mask) { return (flags & mask) != 0; }
inline void SetByteFlag(std::uint8_t& flags, std::uint8_t mask) { flags |= mask; }
inline void ClearByteFlag(std::uint8_t& flags, std::uint8_t mask) {
  flags = static_cast<std::uint8_t>(flags & ~mask);
}

inline std::uint32_t MinWord(std::uint32_t a, std::uint32_t b) { return a < b ? a : b; }

template <typename T>
T* AddWordToPtr(T* p, std::size_t w) {
  return reinterpret_cast<T*>(reinterpret_cast<std::uintptr_t>(p) + w);
}
template <typename T>
T* GetPtr(T* p, std::ptrdiff_t offset) {
  return reinterpret_cast<T*>(reinterpret_cast<std::uintptr_t>(p) + offset);
}

// Inverts every bit of exactly the bytes given.
inline void NotBuffer(std::span<std::uint8_t> buffer) {
  for (std::uint8_t& b : buffer) b = static_cast<std::uint8_t>(~b);
}
