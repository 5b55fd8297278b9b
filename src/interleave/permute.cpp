// The two permuters. Values are copied, never inspected, so bits and soft values of
// any sign pass through unchanged.
#include <stdexcept>

#include "linkforge/error.hpp"
#include "linkforge/interleave.hpp"

namespace linkforge {

namespace {

void check_permuter(std::size_t output, std::size_t input, std::span<const int> alpha) {
  const std::size_t N = alpha.size();
  if (output != N || input != N) {
    throw ArgumentError("permuter: input, output and alpha must hold N values");
  }
  for (const int a : alpha) {
    if (a < 0 || static_cast<std::size_t>(a) >= N) {
      throw ArgumentError("permuter: alpha holds an index outside 0..N-1");
    }
  }
}

}  // namespace

void interleave(std::span<double> output, std::span<const double> input,
                std::span<const int> alpha) {
  check_permuter(output.size(), input.size(), alpha);
  for (std::size_t k = 0; k < alpha.size(); ++k) output[k] = input[alpha[k]];
}

void deinterleave(std::span<double> output, std::span<const double> input,
                  std::span<const int> alpha) {
  check_permuter(output.size(), input.size(), alpha);
  for (std::size_t k = 0; k < alpha.size(); ++k) output[alpha[k]] = input[k];
}

}  // namespace linkforge
