// Peak heap use of a piece of code, to hold the working-memory estimates of the kernels
// to what they allocate. Including this header replaces the test program's global
// allocation functions with counting ones, so include it in one file of a program only.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>

#include "linkforge/scratch.hpp"

namespace heap_count {

inline std::size_t g_live_bytes = 0;
inline std::size_t g_peak_bytes = 0;

// Bytes allocated at the peak of fn() beyond those live when it started. The scratch
// pool is emptied first, so that blocks it kept from earlier calls hide nothing.
template <class Fn>
std::size_t peak_allocation(Fn&& fn) {
  linkforge::release_scratch();
  const std::size_t base = g_live_bytes;
  g_peak_bytes = base;
  fn();
  return g_peak_bytes - base;
}

}  // namespace heap_count

namespace heap_count::detail {

// Each block carries its size in a header of the largest fundamental alignment.
constexpr std::size_t kHeader = alignof(std::max_align_t);

inline void* counted_alloc(std::size_t size) {
  void* block = std::malloc(size + kHeader);
  if (block == nullptr) throw std::bad_alloc();
  *static_cast<std::size_t*>(block) = size;
  g_live_bytes += size;
  if (g_live_bytes > g_peak_bytes) g_peak_bytes = g_live_bytes;
  return static_cast<char*>(block) + kHeader;
}

inline void counted_free(void* p) noexcept {
  if (p == nullptr) return;
  void* block = static_cast<char*>(p) - kHeader;
  g_live_bytes -= *static_cast<std::size_t*>(block);
  std::free(block);
}

}  // namespace heap_count::detail

void* operator new(std::size_t size) {
  return heap_count::detail::counted_alloc(size);
}
void* operator new[](std::size_t size) {
  return heap_count::detail::counted_alloc(size);
}
void operator delete(void* p) noexcept {
  heap_count::detail::counted_free(p);
}
void operator delete[](void* p) noexcept {
  heap_count::detail::counted_free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  heap_count::detail::counted_free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  heap_count::detail::counted_free(p);
}
