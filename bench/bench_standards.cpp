// Throughput of the 3GPP CRCs (bits per second) and of the LTE turbo interleaver
// (positions per second).
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "linkforge/crc.hpp"
#include "linkforge/qpp.hpp"

namespace {

using namespace linkforge;

constexpr std::size_t kFrames = 64;
constexpr std::size_t kBits = 6144;

std::vector<double> random_bits(std::size_t count) {
  std::mt19937 rng(1);
  std::vector<double> bits(count);
  for (double& b : bits) b = rng() & 1u;
  return bits;
}

// 64 frames of 6144 bits with CRC 24A, stored row by row (arg 0, as NumPy does) or
// column by column (arg 1, as Octave does).
void BM_CrcAttach(benchmark::State& state) {
  const bool columns = state.range(0) != 0;
  const std::vector<double> data = random_bits(kFrames * kBits);
  std::vector<double> word(kFrames * (kBits + 24));
  const auto in = columns ? FrameView<const double>::column_major(data.data(), kFrames, kBits)
                          : FrameView<const double>::row_major(data.data(), kFrames, kBits);
  const auto out = columns ? FrameView<double>::column_major(word.data(), kFrames, kBits + 24)
                           : FrameView<double>::row_major(word.data(), kFrames, kBits + 24);
  for (auto _ : state) {
    crc_attach(CrcName::k24A, in, out);
    benchmark::DoNotOptimize(word.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kFrames * kBits));
  state.SetLabel(columns ? "column-major" : "row-major");
}
BENCHMARK(BM_CrcAttach)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_CrcCheck(benchmark::State& state) {
  const std::vector<double> data = random_bits(kFrames * kBits);
  std::vector<double> word(kFrames * (kBits + 24)), back(data.size());
  std::vector<std::uint8_t> ok(kFrames);
  crc_attach(CrcName::k24A, FrameView<const double>::row_major(data.data(), kFrames, kBits),
             FrameView<double>::row_major(word.data(), kFrames, kBits + 24));
  for (auto _ : state) {
    crc_check(CrcName::k24A, FrameView<const double>::row_major(word.data(), kFrames, kBits + 24),
              FrameView<double>::row_major(back.data(), kFrames, kBits), ok);
    benchmark::DoNotOptimize(ok.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kFrames * kBits));
}
BENCHMARK(BM_CrcCheck)->Unit(benchmark::kMicrosecond);

// Bits one per byte, the kernel's table against a register shifted once per bit.
void BM_CrcParityBytes(benchmark::State& state) {
  const bool serial = state.range(0) != 0;
  std::vector<std::uint8_t> bits(kBits);
  std::mt19937 rng(2);
  for (auto& b : bits) b = rng() & 1u;
  const CrcPolynomial& g = crc_polynomial(CrcName::k24A);
  const std::uint32_t aligned = g.taps << (32 - g.length);
  for (auto _ : state) {
    std::uint32_t parity = 0;
    if (serial) {
      std::uint32_t reg = 0;
      for (const std::uint8_t b : bits) {
        reg = ((reg >> 31) ^ b) != 0 ? (reg << 1) ^ aligned : reg << 1;
      }
      parity = reg >> (32 - g.length);
    } else {
      parity = crc_parity(CrcName::k24A, bits);
    }
    benchmark::DoNotOptimize(parity);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kBits));
  state.SetLabel(serial ? "a bit at a time" : "table");
}
BENCHMARK(BM_CrcParityBytes)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_QppPermutation(benchmark::State& state) {
  const long long K = state.range(0);
  std::vector<int> alpha(static_cast<std::size_t>(K));
  for (auto _ : state) {
    qpp_permutation(K, alpha);
    benchmark::DoNotOptimize(alpha.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * K);
}
BENCHMARK(BM_QppPermutation)->Arg(40)->Arg(6144)->Unit(benchmark::kMicrosecond);

}  // namespace
