// The whole double-binary turbo decoder (frames in SIMD lanes) against the per-frame
// loop of the scalar symbol decoder, bit for bit, on every target the CPU runs.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "hwy_targets.hpp"
#include "linkforge/duobinary.hpp"
#include "linkforge/duobinary_turbo.hpp"

namespace linkforge {
namespace {

// The iterations as a host loop runs them, one frame at a time, through the scalar
// decoder: extrinsic values in double precision, inputs rounded as they are taken.
std::vector<double> reference_frame(const double* x, const double* z1, const double* z2,
                                    std::size_t N, const std::vector<int>& alpha,
                                    const std::vector<std::uint8_t>& swap,
                                    const DuobinaryTrellis& trellis, int iterations,
                                    MaxStar max_star) {
  const auto interleave = [&](const std::vector<double>& from, bool inverse) {
    std::vector<double> to(3 * N);
    for (std::size_t j = 0; j < N; ++j) {
      const std::size_t t = static_cast<std::size_t>(alpha[j]);
      const std::size_t a = swap[j] != 0 ? 1 : 0, b = 1 - a;
      if (!inverse) {
        to[3 * j] = from[3 * t + a], to[3 * j + 1] = from[3 * t + b], to[3 * j + 2] = from[3 * t + 2];
      } else {
        to[3 * t + a] = from[3 * j], to[3 * t + b] = from[3 * j + 1], to[3 * t + 2] = from[3 * j + 2];
      }
    }
    return to;
  };
  const auto single = [](const std::vector<double>& v) { return std::vector<float>(v.begin(), v.end()); };
  const std::vector<double> lx(x, x + 3 * N), x2 = interleave(lx, false);
  const std::vector<float> lz1 = single({z1, z1 + 3 * N}), lz2 = single({z2, z2 + 3 * N});
  std::vector<double> apriori(3 * N, 0.0), in1(3 * N), in2(3 * N), ext(3 * N);
  std::vector<float> out(3 * N), outz(3 * N), soft(2 * N);
  for (int it = 0; it < iterations; ++it) {
    for (std::size_t i = 0; i < 3 * N; ++i) in1[i] = lx[i] + apriori[i];
    duobinary_siso_reference(single(in1), lz1, out, outz, soft, trellis, max_star);
    for (std::size_t i = 0; i < 3 * N; ++i) ext[i] = static_cast<double>(out[i]) - in1[i];
    const std::vector<double> e2 = interleave(ext, false);
    for (std::size_t i = 0; i < 3 * N; ++i) in2[i] = x2[i] + e2[i];
    duobinary_siso_reference(single(in2), lz2, out, outz, soft, trellis, max_star);
    for (std::size_t i = 0; i < 3 * N; ++i) ext[i] = static_cast<double>(out[i]) - in2[i];
    apriori = interleave(ext, true);
  }
  return interleave(std::vector<double>(out.begin(), out.end()), true);
}

TEST(DuobinaryTurbo, FramesInLanesEqualThePerFrameLoopOnEveryTarget) {
  std::mt19937 rng(8);
  std::normal_distribution<double> noise(0.0, 2.0);
  const DuobinaryTrellis trellis(duobinary_generators(std::vector<double>{1, 1, 0, 0, 1, 0, 1, 1}));
  // Frames beyond a group of lanes, one frame, a frame of zeros (every step ties) and
  // a frame with an infinity.
  for (const std::size_t F : {std::size_t{1}, std::size_t{19}}) {
    const std::size_t N = F == 1 ? 5 : 40;
    std::vector<int> alpha(N);
    std::vector<std::uint8_t> swap(N);
    for (std::size_t j = 0; j < N; ++j) {
      alpha[j] = static_cast<int>((13 * j + 3) % N);
      swap[j] = static_cast<std::uint8_t>(rng() % 2);
    }
    std::vector<double> x(F * 3 * N), z1(F * 3 * N), z2(F * 3 * N), app(F * 3 * N);
    for (auto* v : {&x, &z1, &z2}) {
      for (double& e : *v) e = noise(rng);
    }
    if (F > 2) {
      std::fill_n(x.begin() + 3 * N, 3 * N, 0.0);
      std::fill_n(z1.begin() + 3 * N, 3 * N, 0.0);
      std::fill_n(z2.begin() + 3 * N, 3 * N, 0.0);
      z2[2 * 3 * N + 7] = std::numeric_limits<double>::infinity();
    }
    const auto rows = [&](const std::vector<double>& v) {
      return FrameView<const double>::row_major(v.data(), F, 3 * N);
    };
    for_each_target([&](const std::string& target, bool) {
      for (int dec_type = 0; dec_type < kMaxStarTypes; ++dec_type) {
        DuobinaryTurboParams params;
        params.iterations = 1 + dec_type % 3;
        params.max_star = static_cast<MaxStar>(dec_type);
        params.threads = 2;
        duobinary_turbo_decode({rows(x), rows(z1), rows(z2)}, trellis, {alpha, swap}, params,
                               FrameView<double>::row_major(app.data(), F, 3 * N));
        for (std::size_t f = 0; f < F; ++f) {
          const std::vector<double> ref =
              reference_frame(&x[f * 3 * N], &z1[f * 3 * N], &z2[f * 3 * N], N, alpha, swap,
                              trellis, params.iterations, params.max_star);
          for (std::size_t i = 0; i < 3 * N; ++i) {
            const double got = app[f * 3 * N + i];
            ASSERT_TRUE(std::memcmp(&got, &ref[i], sizeof(double)) == 0 ||
                        (got != got && ref[i] != ref[i]))
                << target << " dec_type " << dec_type << " frame " << f
                << " value " << i << ": " << got << " against " << ref[i];
          }
        }
      }
    });
  }
}

}  // namespace
}  // namespace linkforge
