#include <algorithm>
#include <stdexcept>

#include "linkforge/checked.hpp"
#include "linkforge/duobinary.hpp"
#include "linkforge/max_star.hpp"
#include "linkforge/scratch.hpp"
#include "duobinary/siso_detail.hpp"

namespace linkforge {

namespace {

using namespace duobinary_detail;

// Branch metrics gamma[i] of step t: the data value of symbol i % 4 plus the parity
// value of word[i], each 0 for symbol 0, added in single precision.
inline void branch_metrics(const float* inx, const float* inz, const int* word, float* gamma) {
  const float x[kSymbols] = {0.0f, inx[0], inx[1], inx[2]};
  const float z[kSymbols] = {0.0f, inz[0], inz[1], inz[2]};
  for (int i = 0; i < kDuobinaryTransitions; ++i) gamma[i] = x[i & 3] + z[word[i]];
}

// Forward-backward recursion round a circular block.
//
//   alpha   (N + 1) rows of 8 forward metrics, row t: the state before step t
//   beta    (N + 1) rows of 8 backward metrics, likewise
//   gamma   32 branch metrics of the current step, by transition 4s + u
//   acc     8 state accumulators;  p, q: 4 symbol accumulators
//
// Every accumulator starts at -1e7 and folds its candidates with Op(accumulator, new)
// in increasing transition order. Row 0 of alpha and row N of beta start at 0 (all
// states equally likely); each completed lap copies the far end of the block onto the
// start of the next lap. A recursion stops at the first step of its second or later
// lap whose metrics repeat; rows it did not reach keep the previous lap's values.
template <class Op>
DuobinaryRecursionSteps circular_siso(const float* inx, const float* inz, float* outx, float* outz,
                                      float* soft, std::size_t N, const int* next,
                                      const int* word, const Interrupt& interrupt) {
  constexpr int S = kDuobinaryStates;
  constexpr float kMinus = kDuobinaryMinusInfinity;
  DuobinaryRecursionSteps steps;
  if (N == 0) return steps;
  const Groups into = group_by(next, S);
  const Groups emit = group_by(word, kSymbols);
  // Reused from call to call; both start all zero.
  const ScratchBlock block(2 * (N + 1) * S * sizeof(float));
  const std::span<float> alpha = block.as<float>(2 * (N + 1) * S).first((N + 1) * S);
  const std::span<float> beta = block.as<float>(2 * (N + 1) * S).last((N + 1) * S);
  std::fill(alpha.begin(), alpha.end(), 0.0f);
  std::fill(beta.begin(), beta.end(), 0.0f);
  float gamma[kDuobinaryTransitions];
  float acc[S];
  InterruptPacer pacer(interrupt);

  steps.backward = round_the_block(
      N, true,
      [&](std::size_t t, int lap) {
        pacer.add(kDuobinaryTransitions);
        branch_metrics(inx + 3 * t, inz + 3 * t, word, gamma);
        const float* b1 = beta.data() + (t + 1) * S;
        for (int s = 0; s < S; ++s) {
          float a = kMinus;
          for (int i = 4 * s; i < 4 * s + 4; ++i) a = Op::apply(a, gamma[i] + b1[next[i]]);
          acc[s] = a;
        }
        return store_renormalised(acc, beta.data() + t * S) && lap >= 1;
      },
      [&] { std::copy_n(beta.data(), S, beta.data() + N * S); });

  steps.forward = round_the_block(
      N, false,
      [&](std::size_t t, int lap) {
        pacer.add(kDuobinaryTransitions);
        branch_metrics(inx + 3 * t, inz + 3 * t, word, gamma);
        const float* a0 = alpha.data() + t * S;
        for (int s = 0; s < S; ++s) {
          float a = kMinus;
          for (int j = into.start[s]; j < into.start[s + 1]; ++j) {
            const int i = into.order[j];
            a = Op::apply(a, gamma[i] + a0[i >> 2]);
          }
          acc[s] = a;
        }
        return store_renormalised(acc, alpha.data() + (t + 1) * S) && lap >= 1;
      },
      [&] { std::copy_n(alpha.data() + N * S, S, alpha.data()); });

  float metric[kDuobinaryTransitions];
  for (std::size_t t = 0; t < N; ++t) {
    pacer.add(2 * kDuobinaryTransitions);
    branch_metrics(inx + 3 * t, inz + 3 * t, word, gamma);
    const float* a0 = alpha.data() + t * S;
    const float* b1 = beta.data() + (t + 1) * S;
    // alpha + beta first, then the branch: the documented rounding order.
    for (int i = 0; i < kDuobinaryTransitions; ++i)
      metric[i] = gamma[i] + (a0[i >> 2] + b1[next[i]]);

    float p[kSymbols];
    for (int u = 0; u < kSymbols; ++u) {
      float a = kMinus;
      for (int s = 0; s < S; ++s) a = Op::apply(a, metric[4 * s + u]);
      p[u] = a;
    }
    for (int k = 1; k < kSymbols; ++k) outx[3 * t + k - 1] = p[k] - p[0];
    soft[2 * t] = Op::apply(p[2], p[3]) - Op::apply(p[0], p[1]);      // A: u = 2, 3 against 0, 1
    soft[2 * t + 1] = Op::apply(p[1], p[3]) - Op::apply(p[0], p[2]);  // B: u = 1, 3 against 0, 2

    float q[kSymbols];
    for (int z = 0; z < kSymbols; ++z) {
      float a = kMinus;
      for (int j = emit.start[z]; j < emit.start[z + 1]; ++j)
        a = Op::apply(a, metric[emit.order[j]]);
      q[z] = a;
    }
    for (int k = 1; k < kSymbols; ++k) outz[3 * t + k - 1] = q[k] - q[0];
  }
  return steps;
}

std::size_t require_sizes(std::span<const float> inx, std::span<const float> inz,
                          std::span<float> outx, std::span<float> outz, std::span<float> soft) {
  const std::size_t N = inx.size() / 3;
  if (inx.size() != 3 * N || inz.size() != 3 * N || outx.size() != 3 * N || outz.size() != 3 * N ||
      soft.size() != 2 * N) {
    throw std::invalid_argument(
        "double-binary decoder: symbol values must hold 3N and bit values 2N entries");
  }
  return N;
}

}  // namespace

DuobinaryRecursionSteps duobinary_siso(std::span<const float> inx, std::span<const float> inz,
                                       std::span<float> outx, std::span<float> outz,
                                       std::span<float> soft, const DuobinaryTrellis& trellis,
                                       MaxStar max_star, const Interrupt& interrupt) {
  const std::size_t N = require_sizes(inx, inz, outx, outz, soft);
  const int* next = trellis.next().data();
  const int* word = trellis.word().data();
  const Groups into = group_by(next, kDuobinaryStates);
  const Groups emit = group_by(word, kSymbols);
  const int dec_type = static_cast<int>(max_star);
  // The lanes need four transitions into every state and eight per parity symbol;
  // other trellises (from generators whose parity never uses a bit, say), an empty block
  // and an operator out of range (refused there) go to the scalar decoder.
  if (N == 0 || !into.all_of_size(kDuobinaryStates, 4) || !emit.all_of_size(kSymbols, 8) ||
      !is_max_star_type(dec_type)) {
    return duobinary_siso_reference(inx, inz, outx, outz, soft, trellis, max_star, interrupt);
  }
  const ScratchBlock block(2 * (N + 1) * kDuobinaryStates * sizeof(float));
  const std::span<float> metrics = block.as<float>(2 * (N + 1) * kDuobinaryStates);
  std::fill(metrics.begin(), metrics.end(), 0.0f);
  return circular_siso_lanes(dec_type, inx.data(), inz.data(), outx.data(), outz.data(),
                             soft.data(), N, next, word, into, emit, metrics.data(),
                             metrics.data() + (N + 1) * kDuobinaryStates, interrupt);
}

DuobinaryRecursionSteps duobinary_siso_reference(std::span<const float> inx,
                                                 std::span<const float> inz,
                                                 std::span<float> outx, std::span<float> outz,
                                                 std::span<float> soft,
                                                 const DuobinaryTrellis& trellis,
                                                 MaxStar max_star, const Interrupt& interrupt) {
  const std::size_t N = require_sizes(inx, inz, outx, outz, soft);
  return with_max_star(static_cast<int>(max_star), [&]<class Op>(Op) {
    return circular_siso<Op>(inx.data(), inz.data(), outx.data(), outz.data(), soft.data(), N,
                             trellis.next().data(), trellis.word().data(), interrupt);
  });
}

std::uint64_t duobinary_siso_bytes(std::size_t pairs) noexcept {
  const std::uint64_t rows = add_sat(pairs, 1);
  return mul_sat(mul_sat(rows, 2 * kDuobinaryStates), sizeof(float));
}

}  // namespace linkforge
