// The simulator's generator and sweep: the generator against Philox4x32-10's published
// answers, and the sweep's counts the same for any number of threads, cut by the
// stopping rules at whole chunks in frame order.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "engine.hpp"
#include "philox.hpp"

namespace linkforge::sim {
namespace {

TEST(Philox, GivesThePublishedAnswers) {
  const Philox zero(0, 0);
  EXPECT_EQ(zero({0, 0, 0, 0}), (Philox::Block{0x6627e8d5, 0xe169c58d, 0xbc57ac4c, 0x9b00dbd8}));
  const Philox ones(~std::uint64_t{0}, 0);
  EXPECT_EQ(ones({~0u, ~0u, ~0u, ~0u}),
            (Philox::Block{0x408f276d, 0x41c83b0e, 0xa20bc7c6, 0x6d5451fd}));
  // Frames and streams draw from disjoint counters.
  FrameStream a(zero, 5, 0), b(zero, 5, 1), c(zero, 6, 0);
  EXPECT_NE(a.bits(), b.bits());
  EXPECT_NE(FrameStream(zero, 5, 0).bits(), c.bits());
}

// The ziggurat's normal values: mean, variance and the mass beyond 3 of a million draws,
// within five standard errors.
TEST(FrameStream, DrawsStandardNormalValues) {
  const Philox philox(9, 2);
  FrameStream s(philox, 123, 1);
  const int n = 1000000;
  double sum = 0, squares = 0;
  int beyond = 0;
  for (int i = 0; i < n; ++i) {
    const double x = s.normal();
    sum += x;
    squares += x * x;
    beyond += std::fabs(x) > 3.0 ? 1 : 0;
  }
  EXPECT_NEAR(sum / n, 0.0, 5 * 1e-3);
  EXPECT_NEAR(squares / n, 1.0, 5 * std::sqrt(2.0 / n));
  const double tail = 0.0026998;
  EXPECT_NEAR(static_cast<double>(beyond) / n, tail, 5 * std::sqrt(tail / n));
}

// A link whose frame f at Eb/N0 e has (f * 7 + e) % 5 bit errors when that is odd:
// cheap, and every frame's outcome its own.
class CountingLink final : public Link {
 public:
  std::size_t info_bits() const override { return 10; }
  std::vector<double> rates() const override { return {0.5}; }
  std::vector<std::string> labels() const override { return {"counting"}; }
  void run(const Philox& philox, double ebn0_db, std::uint64_t first, std::size_t count,
           ChunkCounts& counts) override {
    counts.bit_errors.assign(count, 0);
    for (std::size_t f = 0; f < count; ++f) {
      const std::uint32_t draw = FrameStream(philox, first + f, 0).bits() % 5;
      counts.bit_errors[f] = draw % 2 == 1 && ebn0_db < 2 ? draw : 0;
    }
  }
};

TEST(Sweep, CountsAreTheSameForAnyThreadCount) {
  SweepOptions o;
  o.ebn0_db = {0, 1, 2, 3};
  o.max_frames = 1000;
  o.target_errors = 150;
  o.chunk = 7;
  std::vector<std::vector<PointResult>> runs;
  for (const int threads : {1, 2, 3}) {
    o.threads = threads;
    runs.push_back(run_sweep(o, [] { return std::make_unique<CountingLink>(); }));
  }
  for (const auto& run : runs) {
    ASSERT_EQ(run.size(), 3u);  // the point at 2 dB has no errors and ends the sweep
    for (std::size_t p = 0; p < run.size(); ++p) {
      EXPECT_EQ(run[p].frames, runs[0][p].frames);
      EXPECT_EQ(run[p].bit_errors, runs[0][p].bit_errors);
      EXPECT_EQ(run[p].frame_errors, runs[0][p].frame_errors);
    }
  }
  // The error target ends a point at the end of a whole chunk; max_frames cuts the last.
  EXPECT_GE(runs[0][0].frame_errors[0], 150u);
  EXPECT_EQ(runs[0][0].frames % 7, 0u);
  EXPECT_EQ(runs[0][2].frames, 1000u);
}

}  // namespace
}  // namespace linkforge::sim
