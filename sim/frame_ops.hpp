// Bulk steps of a frame outside the decoder: BPSK log-likelihood ratios from packed code
// bits, frames turned into the decoders' column-major inputs, and bit errors counted a
// word at a time. Each has a scalar loop and, where the CPU has AVX-512, a vector one
// with the same results bit for bit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <vector>

namespace linkforge::sim {

// True when the AVX-512 paths run: the CPU has AVX-512 F, VL, DQ and BW, and they are
// not turned off by set_vector_paths(false) (which the tests use to hold the vector
// paths against the scalar loops).
bool has_avx512() noexcept;
void set_vector_paths(bool on) noexcept;

// llr[i] = scale * ((2 b_i - 1) + sigma * noise[i]) for i < n, b_i bit i % 8 of
// bits[i / 8]: what Channel::transmit forms for BPSK over AWGN. noise and llr may be the
// same array.
void bpsk_llrs(const std::uint8_t* bits, const double* noise, std::size_t n, double sigma,
               double scale, double* llr) noexcept;

// BPSK ratios formed on the way (see rows_to_columns): row j's code bits at
// bits + j * bit_stride, packed as for bpsk_llrs.
struct BpskRatios {
  const std::uint8_t* bits;
  std::size_t bit_stride;
  double sigma, scale;
};

// Rows of frames into columns: out[row_of[p] * frames + j] = rows[j * stride + p] for
// p < n and j < count (count frames, at most 8, adjacent in out; with 8 the vector path
// moves 8 x 8 blocks at a time). With `ratios`, the rows hold noise values and what goes
// out is what bpsk_llrs makes of them.
void rows_to_columns(const double* rows, std::size_t stride, std::size_t count, std::size_t n,
                     const std::uint32_t* row_of, std::size_t frames, double* out,
                     const BpskRatios* ratios = nullptr) noexcept;

// The positions k < L where (app[k] > 0) differs from bit k % 32 of words[k / 32].
std::uint32_t bit_errors(const double* app, const std::uint32_t* words, std::size_t L) noexcept;

// Bit k of out is bit alpha[k] of words (bit i: bit i % 32 of words[i / 32]), k < L;
// the bits of out's last word beyond L are 0.
void permute_bits(const std::uint32_t* words, const int* alpha, std::size_t L,
                  std::uint32_t* out) noexcept;

// Storage on 64-byte boundaries, for whole vector loads and stores.
template <class T>
struct LineAllocator {
  using value_type = T;
  LineAllocator() = default;
  template <class U>
  LineAllocator(const LineAllocator<U>&) noexcept {}
  T* allocate(std::size_t n) {
    const std::size_t bytes = (n * sizeof(T) + 63) / 64 * 64;
    void* p = std::aligned_alloc(64, bytes == 0 ? 64 : bytes);
    if (p == nullptr) throw std::bad_alloc();
    return static_cast<T*>(p);
  }
  void deallocate(T* p, std::size_t) noexcept { std::free(p); }
  template <class U>
  bool operator==(const LineAllocator<U>&) const noexcept {
    return true;
  }
};

template <class T>
using LineVector = std::vector<T, LineAllocator<T>>;

}  // namespace linkforge::sim
