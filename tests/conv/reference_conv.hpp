// Literal branch-by-branch forms of the convolutional decoders: the oracles the
// optimised kernels must reproduce bit for bit. Each loop visits states in increasing
// order and, per state, the branch of data bit 0 before that of data bit 1.
#pragma once

#include <cstdint>
#include <vector>

#include "linkforge/conv.hpp"
#include "linkforge/max_star.hpp"

namespace linkforge::reference {

inline std::vector<float> gammas(const float* values, int n) {
  std::vector<float> g(std::size_t{1} << n);
  for (std::size_t w = 0; w < g.size(); ++w) {
    g[w] = Gamma({values, static_cast<std::size_t>(n)}, static_cast<int>(w));
  }
  return g;
}

inline void posterior(const std::vector<float>& in_u, const std::vector<float>& in_c,
                      const Trellis& t, int type, std::vector<float>& out_u,
                      std::vector<float>& out_c) {
  const MaxStarFn op = max_star_table[type];
  const int S = t.num_states, n = t.n;
  const std::size_t L = in_u.size(), LL = L + t.m;
  const float inf = kTrellisMinusInfinity;
  out_u.assign(L, 0.0f);
  out_c.assign(LL * n, 0.0f);
  std::vector<std::vector<float>> beta(LL + 1, std::vector<float>(S, inf));
  beta[LL][0] = 0.0f;
  for (std::size_t k = LL; k-- > 0;) {
    const float a = k < L ? in_u[k] : 0.0f;
    const std::vector<float> g = gammas(&in_c[k * n], n);
    for (int s = 0; s < S; ++s) {
      beta[k][s] =
          op(g[t.out0[s]] + beta[k + 1][t.next0[s]], g[t.out1[s]] + beta[k + 1][t.next1[s]] + a);
    }
    for (int s = 1; s < S; ++s) beta[k][s] -= beta[k][0];
    beta[k][0] = 0.0f;
  }
  std::vector<float> alpha(S, inf), next(S), num(n), den(n);
  alpha[0] = 0.0f;
  for (std::size_t k = 0; k < LL; ++k) {
    const float a = k < L ? in_u[k] : 0.0f;
    const std::vector<float> g = gammas(&in_c[k * n], n);
    std::fill(next.begin(), next.end(), inf);
    std::fill(num.begin(), num.end(), inf);
    std::fill(den.begin(), den.end(), inf);
    for (int s = 0; s < S; ++s) {
      next[t.next0[s]] = op(g[t.out0[s]] + alpha[s], next[t.next0[s]]);
      next[t.next1[s]] = op(g[t.out1[s]] + alpha[s] + a, next[t.next1[s]]);
    }
    float num_u = inf, den_u = inf;
    for (int s = 0; s < S; ++s) {
      const float p0 = g[t.out0[s]] + alpha[s] + beta[k + 1][t.next0[s]];
      den_u = op(p0, den_u);
      for (int i = 0; i < n; ++i) {
        float& acc = (t.out0[s] >> (n - 1 - i)) & 1 ? num[i] : den[i];
        acc = op(p0, acc);
      }
      const float p1 = g[t.out1[s]] + alpha[s] + beta[k + 1][t.next1[s]] + a;
      num_u = op(p1, num_u);
      for (int i = 0; i < n; ++i) {
        float& acc = (t.out1[s] >> (n - 1 - i)) & 1 ? num[i] : den[i];
        acc = op(p1, acc);
      }
      alpha[s] = next[s] - next[0];
    }
    if (k < L) out_u[k] = num_u - den_u;
    for (int i = 0; i < n; ++i) out_c[k * n + i] = num[i] - den[i];
  }
}

// Viterbi over `steps` trellis steps with survivors recorded from step `first_recorded`
// on (negative steps wrap around the block); returns the decisions after traceback.
struct ViterbiTables {
  std::vector<std::vector<int>> prev, bit;
};

inline void viterbi_step(const Trellis& t, const float* values, std::vector<float>& metric,
                         std::vector<int>* prev, std::vector<int>* bit) {
  const float inf = kTrellisMinusInfinity;
  const std::vector<float> g = gammas(values, t.n);
  std::vector<float> next(t.num_states, inf);
  for (int s = 0; s < t.num_states; ++s) {
    const float c0 = metric[s] + g[t.out0[s]];
    if (c0 > next[t.next0[s]]) {
      next[t.next0[s]] = c0;
      if (prev) (*prev)[t.next0[s]] = s, (*bit)[t.next0[s]] = 0;
    }
    const float c1 = metric[s] + g[t.out1[s]];
    if (c1 > next[t.next1[s]]) {
      next[t.next1[s]] = c1;
      if (prev) (*prev)[t.next1[s]] = s, (*bit)[t.next1[s]] = 1;
    }
  }
  float top = 0.0f;
  for (const float v : next) top = v > top ? v : top;
  for (int s = 0; s < t.num_states; ++s) metric[s] = next[s] - top;
}

inline std::vector<int> best_path(const std::vector<float>& in_c, const Trellis& t) {
  const std::size_t steps = in_c.size() / t.n, L = steps - t.m;
  std::vector<float> metric(t.num_states, kTrellisMinusInfinity);
  metric[0] = 0.0f;
  ViterbiTables tab{std::vector<std::vector<int>>(steps, std::vector<int>(t.num_states, 0)),
                    std::vector<std::vector<int>>(steps, std::vector<int>(t.num_states, 0))};
  for (std::size_t k = 0; k < steps; ++k) {
    viterbi_step(t, &in_c[k * t.n], metric, &tab.prev[k], &tab.bit[k]);
  }
  std::vector<int> out(L);
  int state = 0;
  for (std::size_t k = steps; k-- > L;) state = tab.prev[k][state];
  for (std::size_t k = L; k-- > 0;) {
    out[k] = tab.bit[k][state];
    state = tab.prev[k][state];
  }
  return out;
}

inline std::vector<int> best_path_circular(const std::vector<float>& in_c, const Trellis& t,
                                           std::size_t D) {
  const std::size_t L = in_c.size() / t.n;
  std::vector<float> metric(t.num_states, 0.0f);
  ViterbiTables tab{std::vector<std::vector<int>>(L + D, std::vector<int>(t.num_states, 0)),
                    std::vector<std::vector<int>>(L + D, std::vector<int>(t.num_states, 0))};
  const auto ring = static_cast<std::ptrdiff_t>(L);
  for (std::ptrdiff_t k = -static_cast<std::ptrdiff_t>(D);
       k < ring + static_cast<std::ptrdiff_t>(D); ++k) {
    const std::ptrdiff_t step = ((k % ring) + ring) % ring;
    const bool record = k >= 0;
    viterbi_step(t, &in_c[static_cast<std::size_t>(step) * t.n], metric,
                 record ? &tab.prev[k] : nullptr, record ? &tab.bit[k] : nullptr);
  }
  int state = 0;
  for (int s = 1; s < t.num_states; ++s) state = metric[s] > metric[state] ? s : state;
  std::vector<int> out(L);
  for (std::size_t k = L + D; k-- > L;) state = tab.prev[k][state];
  for (std::size_t k = L; k-- > 0;) {
    out[k] = tab.bit[k][state];
    state = tab.prev[k][state];
  }
  return out;
}

}  // namespace linkforge::reference
