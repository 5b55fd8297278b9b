#include <cmath>

#include "philox.hpp"

namespace linkforge::sim {

Ziggurat::Ziggurat() {
  const double m = 16777216.0;  // 2^24
  double d = kR, t = kR;
  const double q = kV / std::exp(-0.5 * d * d);
  edge[0] = (d / q) * m;
  edge[1] = 0;
  width[0] = q / m;
  width[127] = d / m;
  height[0] = 1.0;
  height[127] = std::exp(-0.5 * d * d);
  for (int i = 126; i >= 1; --i) {
    d = std::sqrt(-2.0 * std::log(kV / d + std::exp(-0.5 * d * d)));
    edge[static_cast<std::size_t>(i) + 1] = (d / t) * m;
    t = d;
    height[static_cast<std::size_t>(i)] = std::exp(-0.5 * d * d);
    width[static_cast<std::size_t>(i)] = d / m;
  }
}

const Ziggurat kZiggurat;

}  // namespace linkforge::sim
