#include "linkforge/capacity.hpp"

#include <cmath>
#include <stdexcept>

#include "linkforge/checked.hpp"
#include "linkforge/error.hpp"
#include "linkforge/max_star.hpp"
#include "linkforge/modem.hpp"

namespace linkforge {

double capacity_binary(std::span<const double> llr, std::span<const double> bits,
                       const Interrupt& interrupt) {
  if (llr.size() != bits.size()) {
    throw ArgumentError("capacity_binary: one bit per log-likelihood ratio");
  }
  constexpr double kLn2 = 0.6931471805599453;
  double sum = 0;
  InterruptPacer pacer(interrupt);
  for (std::size_t j = 0; j < llr.size(); ++j) {
    pacer.add(1);
    const auto l = static_cast<float>(llr[j]);
    sum += max_star4(0.0f, bits[j] > 0 ? -l : l);
  }
  return 1.0 - sum / (static_cast<double>(llr.size()) * kLn2);
}

double capacity_label(std::span<const double> bits) {
  double g = 0;
  for (const double b : bits) g = std::trunc(2 * g + b);
  return g;
}

double capacity_symbol(std::span<const double> input, std::size_t M, std::span<const double> bits,
                       const Interrupt& interrupt) {
  if (M < 2) throw ArgumentError("capacity_symbol: at least 2 labels");
  const auto m = static_cast<std::size_t>(compute_bits_per_symbol(M));
  const std::size_t N = input.size() / M;
  if (input.size() % M != 0 || bits.size() != mul_sat(N, m)) {
    throw ArgumentError("capacity_symbol: sizes of likelihoods and bits disagree");
  }
  double sum = 0;
  InterruptPacer pacer(interrupt);
  for (std::size_t j = 0; j < N; ++j) {
    pacer.add(M + m);
    const double g = capacity_label(bits.subspan(j * m, m));
    if (!(g >= 0 && g < static_cast<double>(M))) {
      throw ArgumentError("capacity_symbol: a label falls outside 0..M-1");
    }
    const double* column = input.data() + j * M;
    const double sent = column[static_cast<std::size_t>(g)];
    float acc = kDemapMinusInfinity;
    for (std::size_t l = 0; l < M; ++l) acc = max_star4(acc, static_cast<float>(column[l] - sent));
    sum += acc;
  }
  return 1.0 - sum / (static_cast<double>(N) * std::log(static_cast<double>(M)));
}

}  // namespace linkforge
