#include <stdexcept>
#include <vector>

#include "linkforge/checked.hpp"
#include "linkforge/error.hpp"
#include "linkforge/max_star.hpp"
#include "linkforge/modem.hpp"

namespace linkforge {

namespace {

// Working arrays of one call:
//   pair         M*M pair metrics of the current symbol
//   label_sum    a-priori sum of each of the 2^m labels of the current symbol
//   zeros        m*N zero a-priori values when the caller passes none
struct RelayLabelWork {
  std::vector<float> pair, label_sum, zeros;
};

RelayLabelWork allocate_temporary_memory(std::size_t M, int m, std::size_t N, bool need_zeros) {
  const auto bits = static_cast<std::size_t>(m);
  RelayLabelWork w;
  if (N > 0) {
    w.pair.resize(M * M);
    w.label_sum.resize(std::size_t{1} << bits);
  }
  if (need_zeros) w.zeros.resize(bits * N);
  return w;
}

template <class Op>
void demap_pairs(const double* input, std::size_t M, int m, std::size_t N,
                 std::span<const float> apriori, RelayLabelWork& w, double* out,
                 const Interrupt& interrupt) {
  const auto bits = static_cast<std::size_t>(m);
  const std::size_t labels = std::size_t{1} << bits;
  // compute_extrinsic_info reads only the low m bits of a label, so every exclusive-or
  // label (which may reach 2^m and above when M is not a power of two) shares the sum of
  // its low bits.
  const std::size_t low_bits = labels - 1;
  InterruptPacer pacer(interrupt);
  for (std::size_t i = 0; i < N; ++i) {
    pacer.add((bits + 1) * M * M + labels * bits);
    const double* block = input + i * M * M;
    for (std::size_t f = 0; f < labels; ++f) {
      w.label_sum[f] = compute_extrinsic_info(apriori, f, i, m);
    }
    for (std::size_t p = 0; p < M; ++p) {
      for (std::size_t q = 0; q < M; ++q) {
        w.pair[p * M + q] =
            w.label_sum[gen_nc_bits(p, q) & low_bits] + static_cast<float>(block[p * M + q]);
      }
    }
    for (std::size_t k = 0; k < bits; ++k) {
      const std::uint64_t mask = std::uint64_t{1} << (bits - 1 - k);
      const float a = apriori[i * bits + k];
      float acc0 = kDemapMinusInfinity;
      float acc1 = kDemapMinusInfinity;
      for (std::size_t p = 0; p < M; ++p) {
        for (std::size_t q = 0; q < M; ++q) {
          const float metric = w.pair[p * M + q];
          if ((gen_nc_bits(p, q) & mask) != 0) {
            acc1 = Op::apply(acc1, metric - a);
          } else {
            acc0 = Op::apply(acc0, metric);
          }
        }
      }
      out[i * bits + k] = static_cast<double>(acc1 - acc0);
    }
  }
}

}  // namespace

float compute_extrinsic_info(std::span<const float> apriori, std::uint64_t f, std::size_t i,
                             int m) {
  const auto bits = static_cast<std::size_t>(m);
  if (mul_sat(add_sat(i, 1), bits) > apriori.size()) {
    throw ArgumentError("compute_extrinsic_info: symbol beyond the a-priori values");
  }
  // Every bit contributes bit * value, also the clear ones (0 * value), so an infinite
  // a-priori value makes the sum of every label NaN rather than of some.
  float sum = 0.0f;
  for (std::size_t t = 0; t < bits; ++t) {
    sum += static_cast<float>((f >> t) & 1) * apriori[i * bits + bits - 1 - t];
  }
  return sum;
}

std::uint64_t relay_label_metrics_bytes(std::uint64_t M, std::uint64_t N) noexcept {
  const auto m = static_cast<std::uint64_t>(compute_bits_per_symbol(M));
  std::uint64_t floats = mul_sat(m, N);
  if (N > 0) floats = add_sat(floats, add_sat(mul_sat(M, M), std::uint64_t{1} << m));
  return mul_sat(floats, sizeof(float));
}

void relay_label_metrics(std::span<const double> input, std::size_t M, MaxStar op,
                         std::span<const float> apriori, std::span<double> out,
                         const Interrupt& interrupt) {
  if (M == 0) throw ArgumentError("relay_label_metrics: M must be at least 1");
  const std::uint64_t pairs = mul_sat(M, M);
  const std::size_t N = input.size() / pairs;
  const int m = compute_bits_per_symbol(M);
  const std::uint64_t total = compute_total_number_of_bits(N, m);
  if (input.size() % pairs != 0 || out.size() != total ||
      (!apriori.empty() && apriori.size() != total)) {
    throw ArgumentError(
        "relay_label_metrics: sizes of input, a-priori values and output "
        "disagree");
  }
  const int demod_type = static_cast<int>(op);
  if (!is_max_star_type(demod_type)) throw_bad_max_star_type(demod_type);
  if (m == 0) return;
  RelayLabelWork work = allocate_temporary_memory(M, m, N, apriori.empty());
  const std::span<const float> prior = apriori.empty() ? work.zeros : apriori;
  with_max_star(demod_type, [&]<class Op>(Op) {
    demap_pairs<Op>(input.data(), M, m, N, prior, work, out.data(), interrupt);
  });
}

}  // namespace linkforge
