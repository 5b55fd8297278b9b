// The simulator's generator and sweep: the generator against Philox4x32-10's published
// answers, and the sweep's counts the same for any number of threads, cut by the
// stopping rules at whole chunks in frame order. The channels against the closed-form
// error rates of their uncoded bits, and every link error-free at high Eb/N0.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "channel.hpp"
#include "engine.hpp"
#include "frame_ops.hpp"
#include "link.hpp"
#include "philox.hpp"

namespace linkforge::sim {
namespace {

// Runs `check` with the vector paths (where the CPU has them) and with the scalar loops.
template <class Check>
void both_paths(Check&& check) {
  for (const bool vector : {true, false}) {
    set_vector_paths(vector);
    check(vector);
  }
  set_vector_paths(true);
}

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

// The ziggurat's normal values, one at a time and in bulk: mean, variance and the mass
// beyond 3 of two million draws within five standard errors, and their histogram in
// 80 bins of 0.1 from -4 to 4 (and the two beyond) against the normal distribution by a
// chi-square test at the 0.1 % level (a wedge or tail settled wrongly moves far more).
TEST(Normals, AreStandardNormalValues) {
  const Philox philox(9, 2);
  const std::size_t n = 2000000;
  std::vector<double> draws(n);
  FrameStream one(philox, 123, 1);
  for (double& x : draws) x = one.normal();
  for (const bool bulk : {false, true}) {
    if (bulk) Normals(philox, 123, 1).draw(draws.data(), n);
    double sum = 0, squares = 0;
    std::size_t beyond = 0;
    std::vector<double> bins(82, 0.0);
    for (const double x : draws) {
      sum += x;
      squares += x * x;
      beyond += std::fabs(x) > 3.0 ? 1 : 0;
      bins[static_cast<std::size_t>(std::clamp(std::floor(x * 10) + 41, 0.0, 81.0))] += 1;
    }
    const double N = static_cast<double>(n);
    EXPECT_NEAR(sum / N, 0.0, 5 / std::sqrt(N)) << bulk;
    EXPECT_NEAR(squares / N, 1.0, 5 * std::sqrt(2.0 / N)) << bulk;
    const double tail = 0.0026998;
    EXPECT_NEAR(static_cast<double>(beyond) / N, tail, 5 * std::sqrt(tail / N)) << bulk;
    const auto cdf = [](double x) { return 0.5 * std::erfc(-x / std::sqrt(2.0)); };
    double chi2 = 0;
    for (std::size_t b = 0; b < bins.size(); ++b) {
      const double lo = b == 0 ? -INFINITY : (static_cast<double>(b) - 41) / 10;
      const double hi = b == 81 ? INFINITY : (static_cast<double>(b) - 40) / 10;
      const double expected = N * (cdf(hi) - cdf(lo));
      chi2 += (bins[b] - expected) * (bins[b] - expected) / expected;
    }
    EXPECT_LT(chi2, 126.0) << bulk;  // the 0.1 % point of chi-square with 81 degrees
  }
}

// The wedge test's bounds give the exponential's answer: random points of every layer's
// wedge, and points just above and below the density.
TEST(Ziggurat, WedgeBoundsAgreeWithTheExponential) {
  const Ziggurat& z = kZiggurat;
  std::mt19937_64 rng(8);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (std::size_t i = 1; i < 128; ++i) {
    for (int n = 0; n < 20000; ++n) {
      const auto u = static_cast<double>(z.box[i] + rng() % (16777216 - z.box[i]));
      const double x = u * z.width[i];
      const double exact = std::exp(-0.5 * x * x);
      double y = z.height[i] + unit(rng) * (z.height[i - 1] - z.height[i]);
      if (n % 4 == 1) y = std::nextafter(exact, 2.0);
      if (n % 4 == 2) y = std::nextafter(exact, 0.0);
      if (n % 4 == 3) y = exact * (1 + (unit(rng) - 0.5) * 1e-9);
      ASSERT_EQ(z.below_density(i, x, y), y < exact) << i << " " << u << " " << y;
    }
  }
}

// The batched blocks are Philox's blocks, also where the block counter wraps.
TEST(Philox, BatchesGiveTheSameBlocks) {
  const Philox philox(0x123456789abcdefull, 3);
  both_paths([&](bool vector) {
    for (const std::uint32_t first : {0u, 0xFFFFFFF8u}) {
      std::vector<std::uint32_t> words(4 * Philox::kBatch);
      philox.batch(77, 1, 2, first, words.data());
      for (std::uint32_t j = 0; j < Philox::kBatch; ++j) {
        const Philox::Block b = philox({77, 1, 2, first + j});
        for (std::size_t k = 0; k < 4; ++k)
          EXPECT_EQ(words[4 * j + k], b[k]) << vector << " " << first << " " << j;
      }
    }
  });
}

// Values in bulk are the same on the vector path and the scalar loops, and the same
// drawn in one call or in runs of any length across the buffers' refills and the words
// that leave their layer's box (about one in 36: 1156 here, 29 of them in the tail
// and 105 that the wedge bounds leave to the exponential).
TEST(Normals, TheSameOnEveryPathAndInPieces) {
  const Philox philox(4, 1);
  std::vector<double> want(40000);
  set_vector_paths(false);
  Normals(philox, 9, 1).draw(want.data(), want.size());
  both_paths([&](bool vector) {
    std::vector<double> whole(want.size()), pieces(want.size());
    Normals(philox, 9, 1).draw(whole.data(), whole.size());
    Normals bulk(philox, 9, 1);
    std::size_t at = 0;
    for (std::size_t run = 1; at < pieces.size(); run = run * 3 % 97 + 1) {
      const std::size_t count = std::min(run, pieces.size() - at);
      bulk.draw(pieces.data() + at, count);
      at += count;
    }
    EXPECT_EQ(std::memcmp(whole.data(), want.data(), want.size() * sizeof(double)), 0) << vector;
    EXPECT_EQ(std::memcmp(pieces.data(), want.data(), want.size() * sizeof(double)), 0) << vector;
  });
}

// The turbo link's counts at seed 1, point 0, in chunks of 64 as the sweep runs them:
// faster frame generation must not change a single count.
TEST(Links, TurboCountsStayAsTheyWere) {
  struct Case {
    const char* rate;
    const char* modulation;
    const char* channel;
    double ebn0_db;
    std::size_t frames;
    std::uint64_t bit_errors, frame_errors;
  };
  const Case cases[] = {{"1/3", "bpsk", "awgn", 0.0, 128, 25632, 125},
                        {"1/2", "bpsk", "awgn", 1.0, 192, 14409, 137},
                        {"1/3", "16qam", "rayleigh-fast", 4.0, 320, 13653, 113}};
  for (const Case& c : cases) {
    LinkOptions o = link_defaults("turbo");
    o.decoder = "max-log";
    o.rate = c.rate;
    o.modulation = c.modulation;
    o.channel = c.channel;
    const auto link = make_link(o);
    std::uint64_t bits = 0, frames = 0;
    for (std::size_t first = 0; first < c.frames; first += 64) {
      ChunkCounts counts;
      link->run(Philox(1, 0), c.ebn0_db, first, 64, counts);
      for (const std::uint32_t e : counts.bit_errors) {
        bits += e;
        frames += e > 0 ? 1 : 0;
      }
    }
    EXPECT_EQ(bits, c.bit_errors) << c.rate << " " << c.modulation;
    EXPECT_EQ(frames, c.frame_errors) << c.rate << " " << c.modulation;
  }
}

// The same at other block lengths, chunk sizes (frames not a multiple of 8), rates and
// the exact decoder, as the program counted them (seed 1, the point's index p).
TEST(Links, TurboCountsStayAsTheyWereAtOtherShapes) {
  struct Case {
    std::size_t K;
    const char* rate;
    const char* decoder;
    std::uint32_t point;
    double ebn0_db;
    std::size_t chunk, frames;
    std::uint64_t bit_errors, frame_errors;
  };
  const Case cases[] = {{203, "1/3", "max-log", 1, 0.5, 13, 130, 2140, 60},
                        {1000, "1/3", "max-log", 0, 0.5, 20, 200, 15334, 125},
                        {40, "1/3", "max-log", 0, 1.0, 64, 300, 769, 86},
                        {203, "1/2", "max-log", 0, 1.0, 13, 130, 2079, 69},
                        {203, "1/3", "exact", 0, 0.5, 13, 39, 199, 10}};
  both_paths([&](bool vector) {
    for (const Case& c : cases) {
      LinkOptions o = link_defaults("turbo");
      o.K = c.K;
      o.rate = c.rate;
      o.decoder = c.decoder;
      const auto link = make_link(o);
      std::uint64_t bits = 0, frames = 0;
      for (std::size_t first = 0; first < c.frames; first += c.chunk) {
        ChunkCounts counts;
        link->run(Philox(1, c.point), c.ebn0_db, first, std::min(c.chunk, c.frames - first),
                  counts);
        for (const std::uint32_t e : counts.bit_errors) {
          bits += e;
          frames += e > 0 ? 1 : 0;
        }
      }
      EXPECT_EQ(bits, c.bit_errors) << vector << " " << c.K << " " << c.rate << " " << c.decoder;
      EXPECT_EQ(frames, c.frame_errors)
          << vector << " " << c.K << " " << c.rate << " " << c.decoder;
    }
  });
}

// The bulk frame steps (vector paths where the CPU has them) against plain loops, bit
// for bit, at lengths that leave partial vectors and words.
TEST(FrameOps, BpskRatiosFromPackedBitsAreTheChannels) {
  Channel channel("bpsk", "awgn");
  const Philox philox(3, 2);
  both_paths([&](bool vector) {
    for (const std::size_t n : {std::size_t{3084}, std::size_t{13}}) {
      std::vector<int> bits(n);
      std::vector<std::uint8_t> packed((n + 7) / 8, 0);
      FrameStream draw(philox, 1, 0);
      for (std::size_t i = 0; i < n; ++i) {
        bits[i] = static_cast<int>(draw.bits() & 1);
        packed[i / 8] |= static_cast<std::uint8_t>(bits[i] << (i % 8));
      }
      std::vector<double> want(n), got(n);
      channel.transmit(philox, 7, 1, 1.5, 1.0 / 3, MaxStar::kMaxLog, bits, want);
      channel.transmit(philox, 7, 1, 1.5, 1.0 / 3, MaxStar::kMaxLog, packed.data(), n, got.data());
      EXPECT_EQ(std::memcmp(want.data(), got.data(), n * sizeof(double)), 0) << vector << " " << n;
    }
  });
}

TEST(FrameOps, RowsToColumnsPutsEveryValueInPlace) {
  std::mt19937 rng(4);
  const std::size_t n = 3084 + 5, stride = 3096, frames = 16;
  std::vector<double> rows(8 * stride);
  for (double& x : rows) x = std::uniform_real_distribution<double>(-9, 9)(rng);
  std::vector<std::uint32_t> row_of(n);
  for (std::size_t p = 0; p < n; ++p)
    row_of[p] = static_cast<std::uint32_t>((p * 7) % n);  // 7 is prime to n
  both_paths([&](bool vector) {
    for (const std::size_t count : {std::size_t{8}, std::size_t{5}}) {
      std::vector<double> out(n * frames, 0.0);
      rows_to_columns(rows.data(), stride, count, n, row_of.data(), frames, out.data() + 8);
      for (std::size_t p = 0; p < n; ++p) {
        for (std::size_t j = 0; j < frames; ++j) {
          const double want = j >= 8 && j < 8 + count ? rows[(j - 8) * stride + p] : 0.0;
          ASSERT_EQ(out[row_of[p] * frames + j], want)
              << vector << " " << count << " " << p << " " << j;
        }
      }
      // Noise rows become what bpsk_llrs makes of them, bit for bit.
      std::vector<std::uint8_t> bits(8 * 400);
      for (auto& b : bits) b = static_cast<std::uint8_t>(rng());
      const BpskRatios ratios{bits.data(), 400, 0.83, 2.9};
      std::vector<double> llrs(8 * stride);
      for (std::size_t j = 0; j < 8; ++j) {
        bpsk_llrs(bits.data() + 400 * j, rows.data() + j * stride, n, ratios.sigma, ratios.scale,
                  llrs.data() + j * stride);
      }
      std::vector<double> want(n * frames, 0.0);
      rows_to_columns(llrs.data(), stride, count, n, row_of.data(), frames, want.data() + 8);
      rows_to_columns(rows.data(), stride, count, n, row_of.data(), frames, out.data() + 8, &ratios);
      EXPECT_EQ(std::memcmp(want.data(), out.data(), want.size() * sizeof(double)), 0)
          << vector << " " << count;
    }
  });
}

TEST(FrameOps, BitsAndErrorsWordWise) {
  std::mt19937 rng(5);
  for (const std::size_t L : {std::size_t{1024}, std::size_t{203}, std::size_t{40}}) {
    std::vector<std::uint32_t> words((L + 31) / 32 + 1);
    for (auto& w : words) w = static_cast<std::uint32_t>(rng());
    const auto bit = [&](std::size_t k) { return (words[k / 32] >> (k % 32)) & 1u; };
    // The cellular permutation's kind of index list: any position, repeats allowed.
    std::vector<int> alpha(L);
    for (int& a : alpha) a = static_cast<int>(rng() % L);
    // Decisions app > 0: zeros, negative zeros and NaN decide 0.
    std::vector<double> app(L);
    for (double& x : app) {
      const std::uint32_t r = rng() % 8;
      x = r == 0   ? 0.0
          : r == 1 ? -0.0
          : r == 2 ? std::numeric_limits<double>::quiet_NaN()
                   : std::uniform_real_distribution<double>(-3, 3)(rng);
    }
    std::uint32_t want = 0;
    for (std::size_t k = 0; k < L; ++k) want += (app[k] > 0.0 ? 1u : 0u) != bit(k) ? 1 : 0;
    both_paths([&](bool vector) {
      std::vector<std::uint32_t> permuted((L + 31) / 32, 0xFFFFFFFFu);
      permute_bits(words.data(), alpha.data(), L, permuted.data());
      for (std::size_t k = 0; k < permuted.size() * 32; ++k) {
        const std::uint32_t b = k < L ? bit(static_cast<std::size_t>(alpha[k])) : 0u;
        ASSERT_EQ((permuted[k / 32] >> (k % 32)) & 1u, b) << vector << " " << L << " " << k;
      }
      EXPECT_EQ(bit_errors(app.data(), words.data(), L), want) << vector << " " << L;
    });
  }
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

double q(double x) {
  return 0.5 * std::erfc(x / std::sqrt(2.0));
}

// Hard decisions on the demapped values of uncoded bits (rate 1) against the bit error
// rate of the modulation and channel in closed form, within five standard errors:
// checks the points' energy, the noise and fading powers from Eb/N0, and the labels.
TEST(Channel, UncodedBitsErrAsTheTheorySays) {
  struct Case {
    const char* modulation;
    const char* channel;
    double ebn0_db;
    double ber;
  };
  const double g = std::pow(10.0, 0.4);  // 4 dB
  const double a = std::sqrt(0.8 * g);
  const Case cases[] = {
      {"bpsk", "awgn", 4.0, q(std::sqrt(2 * g))},
      {"qpsk", "awgn", 4.0, q(std::sqrt(2 * g))},
      {"16qam", "awgn", 4.0, 0.75 * q(a) + 0.5 * q(3 * a) - 0.25 * q(5 * a)},
      {"bpsk", "rayleigh-fast", 4.0, 0.5 * (1 - std::sqrt(g / (1 + g)))},
      {"qpsk", "rayleigh-block", 4.0, 0.5 * (1 - std::sqrt(g / (1 + g)))},
  };
  const Philox philox(7, 0);
  const std::size_t n = 3000, frames = 100;  // block fading: a gain per 3000 bits
  for (const Case& c : cases) {
    Channel channel(c.modulation, c.channel);
    std::vector<int> bits(n);
    std::vector<double> llr(n);
    std::size_t errors = 0;
    for (std::uint64_t f = 0; f < frames; ++f) {
      FrameStream draw(philox, f, 0);
      for (int& b : bits) b = static_cast<int>(draw.bits() & 1);
      channel.transmit(philox, f, 1, c.ebn0_db, 1.0, MaxStar::kMaxLog, bits, llr);
      for (std::size_t i = 0; i < n; ++i) errors += (llr[i] > 0 ? 1 : 0) != bits[i] ? 1 : 0;
    }
    // Bits that share a gain err together: the block channel has 100 independent draws.
    const double independent = std::string(c.channel) == "rayleigh-block" ? frames : n * frames;
    const double ber = static_cast<double>(errors) / static_cast<double>(n * frames);
    const double spread = std::string(c.channel) == "rayleigh-block" ? 0.5 : std::sqrt(c.ber * (1 - c.ber));
    EXPECT_NEAR(ber, c.ber, 5 * spread / std::sqrt(independent)) << c.modulation << " " << c.channel;
  }
}

// Gray QPSK over AWGN is two BPSK bits per symbol with the same noise per bit: a coded
// link counts what it counts over BPSK (the demapper's single precision aside, within
// statistics).
TEST(Channel, QpskCountsAsBpskOverAwgn) {
  const auto errors = [](const char* modulation) {
    LinkOptions o = link_defaults("conv");
    o.K = 300;
    o.modulation = modulation;
    const auto link = make_link(o);
    ChunkCounts counts;
    link->run(Philox(3, 0), 3.0, 0, 400, counts);
    std::uint64_t sum = 0;
    for (const std::uint32_t e : counts.bit_errors) sum += e;
    return static_cast<double>(sum);
  };
  const double bpsk = errors("bpsk"), qpsk = errors("qpsk");
  EXPECT_GT(bpsk, 20.0);
  EXPECT_NEAR(qpsk, bpsk, 3 * std::sqrt(bpsk));
}

// Every link, at every rate, over every modulation and channel it takes, decodes a few
// frames at 30 dB without an error (block fading: 8 frames seldom meet a deep fade).
TEST(Links, DecodeWithoutErrorAtHighEbN0) {
  struct Case {
    const char* link;
    const char* rate;
    std::size_t K;
    std::vector<const char*> modulations;
  };
  const std::vector<const char*> all = {"bpsk", "qpsk", "16qam", "64qam"};
  const Case cases[] = {{"turbo", "1/3", 200, all},           {"turbo", "1/2", 200, all},
                        {"conv", "1/2", 200, all},            {"conv", "3/4", 200, all},
                        {"ldpc", "1/2", 200, all},            {"duobinary", "1/3", 96, all},
                        {"duobinary", "1/2", 96, all},        {"bicm-id", "1/2", 200, {"qpsk", "16qam", "64qam"}},
                        {"fsk", "1/2", 200, {"16fsk"}}};
  for (const Case& c : cases) {
    for (const char* modulation : c.modulations) {
      for (const char* channel : {"awgn", "rayleigh-fast", "rayleigh-block"}) {
        LinkOptions o = link_defaults(c.link);
        o.K = c.K;
        o.rate = c.rate;
        o.modulation = modulation;
        o.channel = channel;
        o.iterations = 4;
        const auto link = make_link(o);
        ChunkCounts counts;
        link->run(Philox(11, 1), 30.0, 0, 8, counts);
        for (const std::uint32_t e : counts.bit_errors) {
          EXPECT_EQ(e, 0u) << c.link << " " << c.rate << " " << modulation << " " << channel;
        }
      }
    }
  }
}

// Total bit errors of each curve of `frames` frames of a link at `ebn0_db`.
std::vector<std::uint64_t> curve_errors(const LinkOptions& o, double ebn0_db, std::size_t frames) {
  const auto link = make_link(o);
  ChunkCounts counts;
  link->run(Philox(5, 0), ebn0_db, 0, frames, counts);
  std::vector<std::uint64_t> sums(link->labels().size(), 0);
  for (std::size_t c = 0; c < sums.size(); ++c) {
    for (std::size_t f = 0; f < frames; ++f) sums[c] += counts.bit_errors[c * frames + f];
  }
  return sums;
}

// Iterative demapping pays off with set-partitioning labels, where the decoder's values
// let the demapper tell apart points one bit apart: a broken extrinsic exchange (or
// interleaver) loses that gain. Gray labels gain little.
TEST(Links, BicmIdGainsByIteratingWithSetPartitioning) {
  LinkOptions o = link_defaults("bicm-id");
  o.K = 1000;
  const std::vector<std::uint64_t> e = curve_errors(o, 4.5, 48);  // Gray 1, 4 it; SP 1, 4 it
  ASSERT_EQ(e.size(), 4u);
  EXPECT_GT(e[2], 1000u);
  EXPECT_LT(e[3] * 10, e[2]);
  EXPECT_LE(e[1], e[0]);
}

// Knowing more of the channel helps the FSK receiver: coherent with the gain, then its
// amplitude, then its statistics only.
TEST(Links, FskModelsRankByChannelKnowledge) {
  LinkOptions o = link_defaults("fsk");
  o.K = 500;
  const std::vector<std::uint64_t> e = curve_errors(o, 6.0, 200);
  ASSERT_EQ(e.size(), 3u);
  EXPECT_LT(e[0] * 4, e[1]);
  EXPECT_LT(e[1], e[2]);
}

// Options a link cannot do are refused by name.
TEST(Links, RefuseWhatTheyCannotDo) {
  const auto refused = [](LinkOptions o) {
    try {
      make_link(o);
    } catch (const std::invalid_argument&) {
      return true;
    }
    return false;
  };
  LinkOptions o = link_defaults("conv");
  o.rate = "1/3";
  EXPECT_TRUE(refused(o));
  o = link_defaults("turbo");
  o.modulation = "8psk";
  EXPECT_TRUE(refused(o));
  o = link_defaults("duobinary");
  o.K = 100;
  EXPECT_TRUE(refused(o));
  o = link_defaults("ldpc");
  o.channel = "rician";
  EXPECT_TRUE(refused(o));
  o = link_defaults("bicm-id");
  o.modulation = "bpsk";
  EXPECT_TRUE(refused(o));
  o = link_defaults("fsk");
  o.modulation = "qpsk";
  EXPECT_TRUE(refused(o));
}

}  // namespace
}  // namespace linkforge::sim
