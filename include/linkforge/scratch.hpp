// Working memory kept from one call to the next.
//
// Large working arrays taken fresh for every call cost a host more than the arithmetic
// they serve: the system hands out new pages zero-filled and faulted in one by one, and
// takes them back when the call frees them. Kernels and gateways take such arrays here
// instead. A block goes back to the pool when its owner is destroyed and serves the
// next request that fits it; the pool keeps at most kScratchKept blocks and
// kScratchKeptBytes in all, frees the rest at once, and frees what it keeps with the
// library (a host frees a module's pool when it unloads the module). Blocks are not
// zero-filled, and the pool may be used from any thread.
#pragma once

#include <cstddef>
#include <span>

namespace linkforge {

inline constexpr std::size_t kScratchKept = 8;
inline constexpr std::size_t kScratchKeptBytes = std::size_t{64} << 20;

class ScratchBlock {
 public:
  ScratchBlock() = default;
  // At least `bytes` bytes, aligned for any fundamental type.
  explicit ScratchBlock(std::size_t bytes);
  ScratchBlock(ScratchBlock&& other) noexcept : data_(other.data_), bytes_(other.bytes_) {
    other.data_ = nullptr;
    other.bytes_ = 0;
  }
  ScratchBlock& operator=(ScratchBlock&& other) noexcept;
  ScratchBlock(const ScratchBlock&) = delete;
  ScratchBlock& operator=(const ScratchBlock&) = delete;
  ~ScratchBlock();

  // The first `count` values of type T (count * sizeof(T) must not exceed the block).
  template <class T>
  std::span<T> as(std::size_t count) const noexcept {
    return {static_cast<T*>(data_), count};
  }

 private:
  void* data_ = nullptr;
  std::size_t bytes_ = 0;
};

// Frees every block the pool keeps (blocks in use are not affected).
void release_scratch() noexcept;

}  // namespace linkforge
