// The NR LDPC codes: the library's tables against the table files, the encoder against
// a parity-check matrix lifted here from the files for every Z of both graphs, and the
// layered decoder (its frames in lanes equal to the scalar reference bit for bit on every
// SIMD target and thread count; clean and noisy frames; early stop; refusals).
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <limits>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "hwy_targets.hpp"
#include "linkforge/error.hpp"
#include "linkforge/nr_ldpc.hpp"
#include "peak_allocation.hpp"

namespace linkforge::nr_ldpc {
namespace {

// ---------------------------------------------------------------------------------
// The table files, read here

std::vector<std::vector<int>> read_csv(const std::string& name) {
  std::ifstream in(std::string(LINKFORGE_STANDARDS_DIR) + "/" + name);
  EXPECT_TRUE(in.good()) << name;
  std::vector<std::vector<int>> rows;
  std::string line;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    std::vector<int> row;
    std::stringstream cells(line);
    std::string cell;
    while (std::getline(cells, cell, ',')) row.push_back(std::stoi(cell));
    rows.push_back(row);
  }
  return rows;
}

// The lifted H of (bg, Z) from the files: for each of its rows the bits it checks.
std::vector<std::vector<std::size_t>> lifted_checks(int bg, int z) {
  int set = -1;
  for (const auto& row : read_csv("nr_ldpc_lifting_sizes.csv")) {
    if (row[3] == z) set = row[0];
  }
  EXPECT_GE(set, 0);
  const auto table = read_csv(bg == 1 ? "nr_ldpc_bg1.csv" : "nr_ldpc_bg2.csv");
  const int rows = bg == 1 ? 46 : 42;
  std::vector<std::vector<std::size_t>> checks(static_cast<std::size_t>(rows * z));
  for (const auto& e : table) {
    const int shift = e[2 + set] % z;
    for (int r = 0; r < z; ++r) {
      checks[static_cast<std::size_t>(e[0] * z + r)].push_back(
          static_cast<std::size_t>(e[1] * z + (r + shift) % z));
    }
  }
  return checks;
}

TEST(NrLdpcTables, EqualTheTableFiles) {
  for (const int bg : {1, 2}) {
    const auto file = read_csv(bg == 1 ? "nr_ldpc_bg1.csv" : "nr_ldpc_bg2.csv");
    const auto table = base_graph_table(bg);
    ASSERT_EQ(table.size(), bg == 1 ? 316u : 197u);
    ASSERT_EQ(table.size(), file.size());
    for (std::size_t e = 0; e < table.size(); ++e) {
      ASSERT_EQ(table[e].row, file[e][0]) << bg << " " << e;
      ASSERT_EQ(table[e].col, file[e][1]) << bg << " " << e;
      for (int s = 0; s < 8; ++s) ASSERT_EQ(table[e].shift[s], file[e][2 + s]) << bg << " " << e;
    }
  }
  const auto sizes = read_csv("nr_ldpc_lifting_sizes.csv");
  ASSERT_EQ(lifting_sizes().size(), 51u);
  for (const auto& row : sizes) EXPECT_EQ(set_index(row[3]), row[0]) << row[3];
  for (std::size_t i = 1; i < lifting_sizes().size(); ++i) {
    EXPECT_LT(lifting_sizes()[i - 1], lifting_sizes()[i]);
  }
  EXPECT_EQ(set_index(17), -1);
  EXPECT_EQ(set_index(385), -1);
  EXPECT_EQ(nearest_lifting_size(17), 16);  // 16 and 18 are as near: the smaller
  EXPECT_EQ(nearest_lifting_size(0), 2);
  EXPECT_EQ(nearest_lifting_size(1000), 384);
  EXPECT_EQ(nearest_lifting_size(370), 384);
  EXPECT_EQ(nearest_lifting_size(360), 352);
}

// ---------------------------------------------------------------------------------
// Encoder

std::vector<double> random_bits(std::size_t count, std::mt19937& rng) {
  std::vector<double> bits(count);
  for (double& b : bits) b = static_cast<double>(rng() & 1u);
  return bits;
}

TEST(NrLdpcEncode, EveryCheckHoldsForEveryLiftingSizeOfBothGraphs) {
  std::mt19937 rng(7);
  for (const int bg : {1, 2}) {
    for (const int z : lifting_sizes()) {
      const Code code = make_code(bg, z);
      const std::size_t k = code.data_length(), n = code.code_length();
      ASSERT_EQ(k, static_cast<std::size_t>((bg == 1 ? 22 : 10) * z));
      ASSERT_EQ(n, static_cast<std::size_t>((bg == 1 ? 68 : 52) * z));
      constexpr std::size_t F = 2;
      const std::vector<double> data = random_bits(F * k, rng);
      std::vector<double> word(F * n, -1.0);
      // Column-major frames, as Octave holds them.
      encode(code, FrameView<const double>::column_major(data.data(), F, k),
             FrameView<double>::column_major(word.data(), F, n));
      const auto checks = lifted_checks(bg, z);
      for (std::size_t f = 0; f < F; ++f) {
        for (std::size_t v = 0; v < k; ++v) ASSERT_EQ(word[f + v * F], data[f + v * F]);
        std::vector<std::uint8_t> bits(n);
        for (std::size_t v = 0; v < n; ++v) bits[v] = static_cast<std::uint8_t>(word[f + v * F]);
        for (std::size_t c = 0; c < checks.size(); ++c) {
          unsigned parity = 0;
          for (const std::size_t v : checks[c]) parity ^= bits[v];
          ASSERT_EQ(parity, 0u) << "BG" << bg << " Z = " << z << " check " << c;
        }
        EXPECT_EQ(failed_checks(code, bits), 0u);
        bits[n - 1] ^= 1;  // the last extension bit is in one check only
        EXPECT_EQ(failed_checks(code, bits), 1u);
      }
    }
  }
}

TEST(NrLdpcEncode, RefusesNonBinaryDataAndWrongLengths) {
  const Code code = make_code(2, 2);
  std::vector<double> data(20, 0.0), word(104);
  data[5] = 0.5;
  EXPECT_THROW(encode(code, FrameView<const double>::row_major(data.data(), 1, 20),
                      FrameView<double>::row_major(word.data(), 1, 104)),
               ArgumentError);
  data[5] = 1.0;
  EXPECT_THROW(encode(code, FrameView<const double>::row_major(data.data(), 1, 19),
                      FrameView<double>::row_major(word.data(), 1, 104)),
               ArgumentError);
}

TEST(NrLdpcCode, RefusesBadGraphsAndLiftingSizesNamingTheNearest) {
  EXPECT_THROW(make_code(3, 384), ArgumentError);
  EXPECT_THROW(make_code(0, 384), ArgumentError);
  const auto message = [](long long z) {
    try {
      make_code(1, z);
    } catch (const ArgumentError& e) {
      return std::string(e.what());
    }
    return std::string("accepted");
  };
  EXPECT_NE(message(385).find("nearest is 384"), std::string::npos) << message(385);
  EXPECT_NE(message(17).find("nearest is 16"), std::string::npos) << message(17);
  EXPECT_NE(message(0).find("nearest is 2"), std::string::npos) << message(0);
  EXPECT_NE(message(-40).find("nearest is 2"), std::string::npos) << message(-40);
  EXPECT_EQ(message(384), "accepted");
}

// ---------------------------------------------------------------------------------
// Decoder

struct Frames {
  std::vector<double> data, word, llr;  // row-major
};

// F random codewords and their LLRs ln(P(1)/P(0)) over BPSK in Gaussian noise of
// standard deviation sigma (0: noiseless, amplitude 4), the first 2Z bits not sent;
// frame f's sigma is sigma (1 + spread (f mod 4) / 4).
Frames make_frames(const Code& code, std::size_t F, double sigma, std::uint32_t seed,
                   double spread = 0.0) {
  std::mt19937 rng(seed);
  std::normal_distribution<double> noise(0.0, 1.0);
  const std::size_t k = code.data_length(), n = code.code_length();
  Frames fr;
  fr.data = random_bits(F * k, rng);
  fr.word.resize(F * n);
  encode(code, FrameView<const double>::row_major(fr.data.data(), F, k),
         FrameView<double>::row_major(fr.word.data(), F, n));
  fr.llr.resize(F * n);
  for (std::size_t f = 0; f < F; ++f) {
    for (std::size_t v = 0; v < n; ++v) {
      const double x = 2.0 * fr.word[f * n + v] - 1.0;
      const double s = sigma * (1.0 + spread * static_cast<double>(f % 4) / 4.0);
      const double y = x + s * noise(rng);
      fr.llr[f * n + v] = sigma == 0.0 ? 4.0 * x : 2.0 * y / (s * s);
      if (v < 2 * static_cast<std::size_t>(code.z)) fr.llr[f * n + v] = 0.0;
    }
  }
  return fr;
}

struct Decoded {
  std::vector<double> bits, app;
  std::vector<int> iterations;
};

Decoded run_decode(const Code& code, const std::vector<double>& llr, const DecodeParams& params) {
  const std::size_t n = code.code_length();
  const std::size_t F = llr.size() / n;
  Decoded out{std::vector<double>(F * n, -1.0), std::vector<double>(F * n), std::vector<int>(F, -1)};
  decode(code, FrameView<const double>::row_major(llr.data(), F, n), params,
         {FrameView<double>::row_major(out.bits.data(), F, n),
          FrameView<double>::row_major(out.app.data(), F, n), out.iterations});
  return out;
}

constexpr Algorithm kAlgorithms[] = {Algorithm::kSumProduct, Algorithm::kMinSum,
                                     Algorithm::kNormalizedMinSum, Algorithm::kOffsetMinSum};

TEST(NrLdpcDecode, CleanAndHighSnrFramesDecode) {
  for (const int bg : {1, 2}) {
    const Code code = make_code(bg, bg == 1 ? 16 : 40);
    const std::size_t n = code.code_length();
    const Frames clean = make_frames(code, 5, 0.0, 3);
    // Rate 1/3 (BG1) or 1/5 (BG2) at Eb/N0 = 4 dB.
    const double rate = static_cast<double>(code.data_cols) / (code.cols - 2);
    const double sigma = std::sqrt(1.0 / (2.0 * rate * std::pow(10.0, 0.4)));
    const Frames noisy = make_frames(code, 20, sigma, 4);
    for (const Algorithm kind : kAlgorithms) {
      DecodeParams params;
      params.algorithm = kind;
      params.max_iterations = 20;
      const Decoded a = run_decode(code, clean.llr, params);
      EXPECT_EQ(a.bits, clean.word) << "BG" << bg << " kind " << static_cast<int>(kind);
      for (const int t : a.iterations) EXPECT_GE(t, 1);  // the 2Z unsent bits need one
      const Decoded b = run_decode(code, noisy.llr, params);
      EXPECT_EQ(b.bits, noisy.word) << "BG" << bg << " kind " << static_cast<int>(kind);
      for (std::size_t v = 0; v < b.app.size(); ++v) {
        ASSERT_EQ(b.app[v] > 0.0, b.bits[v] == 1.0) << v;
        ASSERT_LE(std::fabs(b.app[v]), kAppLimit);
      }
      // Every bit received (none left out): the channel's decisions already hold.
      std::vector<double> full(clean.llr);
      for (std::size_t v = 0; v < full.size(); ++v) full[v] = 4.0 * (2.0 * clean.word[v] - 1.0);
      const Decoded c = run_decode(code, full, params);
      EXPECT_EQ(c.bits, clean.word);
      EXPECT_EQ(c.iterations, std::vector<int>(5, 0));
      EXPECT_EQ(c.app, full);  // untouched
      (void)n;
    }
  }
}

TEST(NrLdpcDecode, EarlyStopCountsIterationsAndCanBeTurnedOff) {
  const Code code = make_code(2, 8);
  const std::size_t n = code.code_length();
  Frames fr = make_frames(code, 3, 0.0, 5);
  // Frame 1: one received bit flipped takes more iterations; frame 2: all zero LLRs
  // (the all-zero word holds every check at once).
  fr.llr[n + 100] = -fr.llr[n + 100];
  std::fill(fr.llr.begin() + 2 * n, fr.llr.end(), 0.0);
  DecodeParams params;
  params.max_iterations = 9;
  params.algorithm = Algorithm::kMinSum;
  const Decoded a = run_decode(code, fr.llr, params);
  EXPECT_GE(a.iterations[0], 1);
  EXPECT_GT(a.iterations[1], a.iterations[0]);
  EXPECT_LT(a.iterations[1], 9);
  EXPECT_EQ(a.iterations[2], 0);
  params.early_stop = false;
  const Decoded b = run_decode(code, fr.llr, params);
  EXPECT_EQ(b.iterations, std::vector<int>(3, 9));
  EXPECT_EQ(std::vector<double>(b.bits.begin(), b.bits.begin() + 2 * static_cast<long>(n)),
            std::vector<double>(fr.word.begin(), fr.word.begin() + 2 * static_cast<long>(n)));
  params.max_iterations = 0;
  const Decoded c = run_decode(code, fr.llr, params);
  EXPECT_EQ(c.iterations, std::vector<int>(3, 0));
  for (std::size_t v = 0; v < n; ++v) EXPECT_EQ(c.bits[v], fr.llr[v] > 0.0 ? 1.0 : 0.0);
}

// Lanes against the scalar reference: noisy frames near the threshold (some decode,
// some do not, iteration counts vary), a frame count that is not a multiple of any lane
// count, every algorithm, every target, one and two threads.
TEST(NrLdpcDecode, LanesEqualTheReferenceOnEveryTargetAndThreadCount) {
  struct Case {
    int bg, z;
    double ebn0_db;
  };
  for (const Case c : {Case{1, 20, 2.0}, Case{2, 13, 2.0}}) {
    const Code code = make_code(c.bg, c.z);
    const std::size_t n = code.code_length();
    const double rate = static_cast<double>(code.data_cols) / (code.cols - 2);
    const double sigma = std::sqrt(1.0 / (2.0 * rate * std::pow(10.0, c.ebn0_db / 10.0)));
    constexpr std::size_t F = 37;
    const Frames fr = make_frames(code, F, sigma, 11, 1.0);
    for (const Algorithm kind : kAlgorithms) {
      DecodeParams params;
      params.algorithm = kind;
      params.max_iterations = 12;
      params.scale = 0.6875f;
      params.offset = 0.25f;
      std::vector<std::uint8_t> bits(F * n);
      std::vector<float> app(F * n);
      std::vector<int> iterations(F);
      std::vector<float> llr(n);
      for (std::size_t f = 0; f < F; ++f) {
        for (std::size_t v = 0; v < n; ++v) llr[v] = static_cast<float>(fr.llr[f * n + v]);
        iterations[f] = decode_reference(code, llr, params, std::span(bits).subspan(f * n, n),
                                         std::span(app).subspan(f * n, n));
      }
      std::set<int> distinct(iterations.begin(), iterations.end());
      EXPECT_GE(distinct.size(), 3u) << "the frames should stop at different iterations";
      EXPECT_EQ(distinct.count(12), 1u) << "some frames should run to the end";
      for_each_target([&](const std::string& target, bool) {
        for (const int threads : {1, 2}) {
          params.threads = threads;
          const Decoded d = run_decode(code, fr.llr, params);
          const std::string where = target + " threads " + std::to_string(threads) + " kind " +
                                    std::to_string(static_cast<int>(kind)) + " BG" +
                                    std::to_string(c.bg);
          ASSERT_EQ(d.iterations, iterations) << where;
          for (std::size_t i = 0; i < F * n; ++i) {
            ASSERT_EQ(d.bits[i], bits[i]) << where << " value " << i;
            ASSERT_EQ(std::bit_cast<std::uint32_t>(static_cast<float>(d.app[i])),
                      std::bit_cast<std::uint32_t>(app[i]))
                << where << " value " << i;
          }
        }
      });
    }
  }
}

TEST(NrLdpcDecode, RefusesBadValuesShapesAndParameters) {
  const Code code = make_code(2, 4);
  const std::size_t n = code.code_length();
  std::vector<double> llr(2 * n, 1.0);
  DecodeParams params;
  EXPECT_NO_THROW(run_decode(code, llr, params));
  llr[n + 3] = std::numeric_limits<double>::quiet_NaN();
  EXPECT_THROW(run_decode(code, llr, params), ArgumentError);
  llr[n + 3] = 1e39;
  EXPECT_THROW(run_decode(code, llr, params), ArgumentError);
  llr[n + 3] = -std::numeric_limits<double>::infinity();
  EXPECT_THROW(run_decode(code, llr, params), ArgumentError);
  llr[n + 3] = 1.0;
  std::vector<double> short_llr(n - 1, 0.0), bits(n - 1);
  EXPECT_THROW(decode(code, FrameView<const double>::row_major(short_llr.data(), 1, n - 1),
                      params, {FrameView<double>::row_major(bits.data(), 1, n - 1), {}, {}}),
               ArgumentError);
  DecodeParams bad = params;
  bad.max_iterations = -1;
  EXPECT_THROW(run_decode(code, llr, bad), ArgumentError);
  bad = params;
  bad.algorithm = Algorithm::kNormalizedMinSum;
  bad.scale = 0.0f;
  EXPECT_THROW(run_decode(code, llr, bad), ArgumentError);
  bad.algorithm = Algorithm::kOffsetMinSum;
  bad.offset = -0.5f;
  EXPECT_THROW(run_decode(code, llr, bad), ArgumentError);
  bad.offset = std::numeric_limits<float>::infinity();
  EXPECT_THROW(run_decode(code, llr, bad), ArgumentError);
  bad = params;
  bad.algorithm = static_cast<Algorithm>(4);
  EXPECT_THROW(run_decode(code, llr, bad), ArgumentError);
}

TEST(NrLdpcDecode, AllocatesNoMoreThanItsEstimate) {
  for (const int threads : {1, 2}) {
    const Code code = make_code(1, 64);
    const Frames fr = make_frames(code, 40, 0.0, 9);
    DecodeParams params;
    params.threads = threads;
    params.max_iterations = 2;
    const std::size_t n = code.code_length();
    std::vector<double> bits(40 * n), app(40 * n);
    std::vector<int> iterations(40);
    const std::size_t peak = heap_count::peak_allocation([&] {
      decode(code, FrameView<const double>::row_major(fr.llr.data(), 40, n), params,
             {FrameView<double>::row_major(bits.data(), 40, n),
              FrameView<double>::row_major(app.data(), 40, n), iterations});
    });
    EXPECT_LE(peak, decode_memory(1, 64, params, 40, true).working) << threads;
    EXPECT_GT(peak, decode_memory(1, 64, params, 40, true).working / 4) << threads;
  }
}

}  // namespace
}  // namespace linkforge::nr_ldpc
