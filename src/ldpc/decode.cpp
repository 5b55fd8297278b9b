#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "linkforge/checked.hpp"
#include "linkforge/error.hpp"
#include "linkforge/ldpc.hpp"
#include "linkforge/ldpc_batch.hpp"

namespace linkforge::ldpc {

namespace {

// A min-sum check of degree 1 sends this magnitude: the smallest "other" magnitude
// starts here.
constexpr float kMinSumStart = 1000.0f;

// Check update of the sum-product decoder in the phi domain. S and X take one pass, and
// each message is phi0 of the total minus its own term. The arguments of phi0 are
// gathered for the whole graph (in r) and evaluated side by side in SIMD lanes, with
// the scalar phi0's results.
void check_update_sum_product(const SparseGraph& g, float r_scale, const float* q,
                              const std::int32_t* sign, float* r) {
  const int* q_edge = g.check_q_edge.data();
  const auto m = static_cast<std::size_t>(g.m);
  for (std::size_t i = 0; i < m; ++i) {
    const int begin = g.check_offset[i];
    const int end = g.check_offset[i + 1];
    float S = 0.0f;
    for (int c = begin; c < end; ++c) S += q[q_edge[c]];
    for (int c = begin; c < end; ++c) r[c] = S - q[q_edge[c]];
  }
  const std::span<float> all(r, g.check_bits.size());
  phi0_lanes(all, all);
  for (std::size_t i = 0; i < m; ++i) {
    const int begin = g.check_offset[i];
    const int end = g.check_offset[i + 1];
    std::int32_t X = 0;
    for (int c = begin; c < end; ++c) X ^= sign[q_edge[c]];
    for (int c = begin; c < end; ++c) {
      const float magnitude = r[c] * r_scale;
      r[c] = sign[q_edge[c]] != X ? -magnitude : magnitude;
    }
  }
}

// Check update of the scaled min-sum decoder. Each message takes the smallest magnitude
// of the other edges; the two smallest of the check give it exactly, as a rescan would.
void check_update_min_sum(const SparseGraph& g, float r_scale, const float* q,
                          const std::int32_t* sign, float* r) {
  const int* q_edge = g.check_q_edge.data();
  for (std::size_t i = 0; i < static_cast<std::size_t>(g.m); ++i) {
    const int begin = g.check_offset[i];
    const int end = g.check_offset[i + 1];
    std::int32_t X = 0;
    float min1 = kMinSumStart;
    float min2 = kMinSumStart;
    int min1_edge = -1;
    for (int c = begin; c < end; ++c) {
      const float value = q[q_edge[c]];
      X ^= sign[q_edge[c]];
      if (value < min1) {
        min2 = min1;
        min1 = value;
        min1_edge = c;
      } else if (value < min2) {
        min2 = value;
      }
    }
    for (int c = begin; c < end; ++c) {
      const float magnitude = r_scale * (c == min1_edge ? min2 : min1);
      r[c] = sign[q_edge[c]] != X ? -magnitude : magnitude;
    }
  }
}

// Bit update: total T = L + the r messages in list order; D = T - r_j per edge. The
// sum-product decoder's phi0(|D|) are evaluated for the whole graph at once, in lanes.
template <DecoderKind kind>
void bit_update(const SparseGraph& g, float q_scale, const float* channel, const float* r, float* q,
                std::int32_t* sign, std::uint8_t* decisions) {
  const int* r_edge = g.bit_r_edge.data();
  for (std::size_t v = 0; v < static_cast<std::size_t>(g.n); ++v) {
    const int begin = g.bit_offset[v];
    const int end = g.bit_offset[v + 1];
    float T = channel[v];
    for (int b = begin; b < end; ++b) T += r[r_edge[b]];
    decisions[v] = T < 0.0f;
    for (int b = begin; b < end; ++b) {
      const float D = T - r[r_edge[b]];
      q[b] = kind == DecoderKind::kSumProduct ? std::fabs(D) : q_scale * std::fabs(D);
      sign[b] = D > 0.0f ? 0 : 1;
    }
  }
  if constexpr (kind == DecoderKind::kSumProduct) {
    const std::span<float> all(q, g.bit_checks.size());
    phi0_lanes(all, all);
    for (float& x : all) x = q_scale * x;
  }
}

void check_sizes(const SparseGraph& g, std::size_t channel) {
  if (channel != static_cast<std::size_t>(g.n)) {
    throw ArgumentError("channel values do not match the code length");
  }
}

}  // namespace

void init_messages(const SparseGraph& g, std::span<const float> channel, DecoderKind kind,
                   GraphMessages& messages) {
  check_sizes(g, channel.size());
  messages.channel.assign(channel.begin(), channel.end());
  messages.r.assign(g.check_bits.size(), 0.0f);
  messages.q_magnitude.resize(g.bit_checks.size());
  messages.q_sign.resize(g.bit_checks.size());
  for (std::size_t v = 0; v < static_cast<std::size_t>(g.n); ++v) {
    const float L = channel[v];
    const float magnitude = kind == DecoderKind::kSumProduct ? phi0(std::fabs(L)) : std::fabs(L);
    const std::int32_t negative = L < 0.0f ? 1 : 0;
    for (int b = g.bit_offset[v]; b < g.bit_offset[v + 1]; ++b) {
      messages.q_magnitude[static_cast<std::size_t>(b)] = magnitude;
      messages.q_sign[static_cast<std::size_t>(b)] = negative;
    }
  }
}

void iterate(const SparseGraph& g, const DecodeParams& params, GraphMessages& messages,
             std::span<std::uint8_t> decisions) {
  check_sizes(g, messages.channel.size());
  if (decisions.size() != static_cast<std::size_t>(g.n) ||
      messages.r.size() != g.check_bits.size() ||
      messages.q_magnitude.size() != g.bit_checks.size() ||
      messages.q_sign.size() != g.bit_checks.size()) {
    throw ArgumentError("message or decision arrays do not match the graph");
  }
  float* r = messages.r.data();
  float* q = messages.q_magnitude.data();
  std::int32_t* sign = messages.q_sign.data();
  if (params.kind == DecoderKind::kMinSum) {
    check_update_min_sum(g, params.r_scale, q, sign, r);
    bit_update<DecoderKind::kMinSum>(g, params.q_scale, messages.channel.data(), r, q, sign,
                                     decisions.data());
  } else {
    check_update_sum_product(g, params.r_scale, q, sign, r);
    bit_update<DecoderKind::kSumProduct>(g, params.q_scale, messages.channel.data(), r, q, sign,
                                         decisions.data());
  }
}

int decode(const SparseGraph& g, std::span<const float> channel, const DecodeParams& params,
           std::span<const int> data, std::span<std::uint8_t> decisions, std::span<int> errors,
           const Interrupt& interrupt) {
  check_sizes(g, channel.size());
  if (params.max_iter < 0) throw ArgumentError("max_iter must not be negative");
  const auto iterations = static_cast<std::size_t>(params.max_iter);
  const auto n = static_cast<std::size_t>(g.n);
  const auto k = static_cast<std::size_t>(std::max(g.k, 0));
  if (data.size() != k) throw ArgumentError("data does not hold k values");
  if (decisions.size() != iterations * n || errors.size() != iterations) {
    throw ArgumentError("decision or error arrays do not hold max_iter rows");
  }
  std::fill(decisions.begin(), decisions.end(), std::uint8_t{0});
  std::fill(errors.begin(), errors.end(), 0);
  GraphMessages messages;
  init_messages(g, channel, params.kind, messages);
  InterruptPacer pacer(interrupt);
  for (std::size_t t = 0; t < iterations; ++t) {
    pacer.add(2 * g.edges() + n);
    const std::span<std::uint8_t> row = decisions.subspan(t * n, n);
    iterate(g, params, messages, row);
    int count = 0;
    for (std::size_t v = 0; v < k; ++v) count += row[v] != data[v];
    errors[t] = count;
    if (params.early_stop && count == 0) return static_cast<int>(t + 1);
  }
  return params.max_iter;
}

std::uint64_t decode_bytes(std::size_t n, std::size_t edges) noexcept {
  return add_sat(mul_sat(n, sizeof(float)), mul_sat(edges, 3 * sizeof(float)));
}

}  // namespace linkforge::ldpc
