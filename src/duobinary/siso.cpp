#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

#include "linkforge/checked.hpp"
#include "linkforge/duobinary.hpp"
#include "linkforge/max_star.hpp"
#include "linkforge/scratch.hpp"

namespace linkforge {

namespace {

constexpr int kLaps = 4;
constexpr int kSymbols = 4;
// Two renormalised metrics repeat when they differ by at most this much.
constexpr double kRepeatTolerance = 1e-7;

// The transitions of each key value (successor state or parity symbol), every group in
// increasing transition order: the order in which a loop over i = 0..31 meets them, so
// folding a group into its accumulator repeats that loop's roundings and ties exactly.
struct Groups {
  std::array<int, kDuobinaryTransitions> order{};
  std::array<int, kDuobinaryStates + 1> start{};  // group k is order[start[k]..start[k+1])
};

Groups group_by(const int* key, int keys) {
  Groups groups;
  int filled = 0;
  for (int k = 0; k < keys; ++k) {
    groups.start[k] = filled;
    for (int i = 0; i < kDuobinaryTransitions; ++i) {
      if (key[i] == k) groups.order[filled++] = i;
    }
  }
  groups.start[keys] = filled;
  return groups;
}

// Branch metrics gamma[i] of step t: the data value of symbol i % 4 plus the parity
// value of word[i], each 0 for symbol 0, added in single precision.
inline void branch_metrics(const float* inx, const float* inz, const int* word, float* gamma) {
  const float x[kSymbols] = {0.0f, inx[0], inx[1], inx[2]};
  const float z[kSymbols] = {0.0f, inz[0], inz[1], inz[2]};
  for (int i = 0; i < kDuobinaryTransitions; ++i) gamma[i] = x[i & 3] + z[word[i]];
}

// Writes the metrics acc[k] - acc[0] (state 0 renormalised to 0) over `row` and
// reports whether every one of them repeats the value it replaces within the
// tolerance: the difference is formed in single precision and compared with 1e-7 at
// double precision. NaN never repeats.
inline bool store_renormalised(const float* acc, float* row) {
  bool repeats = true;
  for (int k = 1; k < kDuobinaryStates; ++k) {
    const float d = acc[k] - acc[0];
    if (!(std::fabs(d - row[k]) <= kRepeatTolerance)) repeats = false;
    row[k] = d;
  }
  row[0] = 0.0f;
  return repeats;
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

  for (int lap = 0; lap < kLaps; ++lap) {
    bool ended = false;
    for (std::size_t t = N; t-- > 0;) {
      pacer.add(kDuobinaryTransitions);
      branch_metrics(inx + 3 * t, inz + 3 * t, word, gamma);
      const float* b1 = beta.data() + (t + 1) * S;
      for (int s = 0; s < S; ++s) {
        float a = kMinus;
        for (int i = 4 * s; i < 4 * s + 4; ++i) a = Op::apply(a, gamma[i] + b1[next[i]]);
        acc[s] = a;
      }
      ++steps.backward;
      if (store_renormalised(acc, beta.data() + t * S) && lap >= 1) {
        ended = true;
        break;
      }
    }
    if (ended) break;
    std::copy_n(beta.data(), S, beta.data() + N * S);
  }

  for (int lap = 0; lap < kLaps; ++lap) {
    bool ended = false;
    for (std::size_t t = 0; t < N; ++t) {
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
      ++steps.forward;
      if (store_renormalised(acc, alpha.data() + (t + 1) * S) && lap >= 1) {
        ended = true;
        break;
      }
    }
    if (ended) break;
    std::copy_n(alpha.data() + N * S, S, alpha.data());
  }

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

void require_tables(std::span<const int> next, std::span<const int> word) {
  if (next.size() != kDuobinaryTransitions || word.size() != kDuobinaryTransitions) {
    throw std::invalid_argument("double-binary trellis tables must hold 32 entries");
  }
  for (int i = 0; i < kDuobinaryTransitions; ++i) {
    if (next[i] < 0 || next[i] >= kDuobinaryStates || word[i] < 0 || word[i] >= kSymbols) {
      throw std::invalid_argument("double-binary trellis table entry out of range");
    }
  }
}

}  // namespace

DuobinaryRecursionSteps Duobinary_SISO_wtrellis(std::span<const float> inx,
                                                std::span<const float> inz, std::span<float> outx,
                                                std::span<float> outz, std::span<float> soft,
                                                std::span<const int> next,
                                                std::span<const int> word, int dec_type,
                                                const Interrupt& interrupt) {
  const std::size_t N = inx.size() / 3;
  if (inx.size() != 3 * N || inz.size() != 3 * N || outx.size() != 3 * N || outz.size() != 3 * N ||
      soft.size() != 2 * N) {
    throw std::invalid_argument(
        "double-binary decoder: symbol values must hold 3N and bit values 2N entries");
  }
  require_tables(next, word);
  return with_max_star(dec_type, [&]<class Op>(Op) {
    return circular_siso<Op>(inx.data(), inz.data(), outx.data(), outz.data(), soft.data(), N,
                             next.data(), word.data(), interrupt);
  });
}

std::uint64_t duobinary_siso_bytes(std::size_t pairs) noexcept {
  const std::uint64_t rows = add_sat(pairs, 1);
  return mul_sat(mul_sat(rows, 2 * kDuobinaryStates), sizeof(float));
}

}  // namespace linkforge
