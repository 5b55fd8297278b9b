// Lengths and memory needs of the convolutional modules' calls, from their shapes.
#include <cstdint>

#include "linkforge/checked.hpp"
#include "linkforge/conv.hpp"
#include "linkforge/error.hpp"
#include "linkforge/turbo.hpp"
#include "linkforge/viterbi.hpp"

namespace linkforge {

namespace {

std::size_t memory_of(int K) {
  return static_cast<std::size_t>(K - 1);
}

}  // namespace

std::size_t trellis_coder_length(std::size_t L, int K, int n, CodeType type) {
  const std::size_t m = memory_of(K);
  if (type == CodeType::kTailBiting && L < m) {
    throw ArgumentError(Refusal{.fault = Fault::kShorterThanTail,
                                .argument = "input",
                                .value = 1,
                                .limit = static_cast<std::int64_t>(m)});
  }
  return (type == CodeType::kTailBiting ? L : L + m) * static_cast<std::size_t>(n);
}

CallMemory trellis_coder_memory(std::size_t L, int K, int n, CodeType type,
                                std::uint64_t frames) noexcept {
  const std::size_t m = memory_of(K);
  const std::uint64_t N =
      mul_sat(type == CodeType::kTailBiting ? L : add_sat(L, m), static_cast<std::uint64_t>(n));
  CallMemory need;
  need.working = add_sat(trellis_table_bytes(K),
                         mul_sat(sizeof(int), add_sat(std::uint64_t{1} << m, add_sat(L, N))));
  need.results = mul_sat(frames, N);
  return need;
}

CallMemory trellis_posterior_memory(int K, int n, std::size_t L, bool code_bits,
                                    std::uint64_t frames) noexcept {
  const std::uint64_t coded = mul_sat(add_sat(L, memory_of(K)), static_cast<std::uint64_t>(n));
  const std::uint64_t coded_out = code_bits ? coded : 0;
  CallMemory need;
  need.working = add_sat(add_sat(trellis_table_bytes(K), trellis_posterior_bytes(K, n, L)),
                         mul_sat(sizeof(float), add_sat(mul_sat(L, 2), add_sat(coded, coded_out))));
  need.results = mul_sat(frames, add_sat(L, coded_out));
  return need;
}

std::size_t viterbi_block_steps(std::size_t coded, int K, int n, BlockEnd end) {
  const auto un = static_cast<std::size_t>(n);
  const std::size_t m = memory_of(K);
  const auto refuse = [](Fault fault, std::int64_t limit) {
    throw ArgumentError(Refusal{.fault = fault, .argument = "input_c", .limit = limit});
  };
  if (coded % un != 0) refuse(Fault::kNotMultiple, n);
  const std::size_t steps = coded / un;
  if (end == BlockEnd::kTailBiting) {
    if (steps < 1) refuse(Fault::kEmptyBlock, 1);
    return steps;
  }
  if (steps < m) refuse(Fault::kShorterThanTail, static_cast<std::int64_t>(m));
  return steps - m;
}

CallMemory viterbi_decode_memory(int K, int n, std::size_t L, const ViterbiParams& params,
                                 std::uint64_t frames) noexcept {
  CallMemory need;
  need.working = add_sat(trellis_table_bytes(K), viterbi_decode_bytes(K, n, L, params, frames));
  need.results = mul_sat(frames, L);
  return need;
}

CallMemory trellis_best_path_memory(int K, int n, std::size_t L, const ViterbiParams& params,
                                    std::uint64_t frames) noexcept {
  const bool ring = params.block_end == BlockEnd::kTailBiting;
  const std::uint64_t recorded = ring ? add_sat(L, params.depth_steps) : add_sat(L, memory_of(K));
  const std::uint64_t coded =
      mul_sat(ring ? L : add_sat(L, memory_of(K)), static_cast<std::uint64_t>(n));
  CallMemory need;
  need.working = add_sat(add_sat(trellis_table_bytes(K), trellis_best_path_bytes(K, n, recorded)),
                         add_sat(mul_sat(sizeof(float), coded), mul_sat(sizeof(int), L)));
  need.results = mul_sat(frames, L);
  return need;
}

CallMemory turbo_decode_memory(std::size_t L, int K, const TurboDecodeParams& params,
                               std::uint64_t frames, std::size_t pages) noexcept {
  CallMemory need;
  need.working =
      add_sat(add_sat(trellis_table_bytes(K), turbo_decode_bytes(L, K, params.threads, frames)),
              mul_sat(sizeof(int), frames));
  need.results = add_sat(mul_sat(mul_sat(frames, L), add_sat(pages, 1)), frames);
  return need;
}

}  // namespace linkforge
