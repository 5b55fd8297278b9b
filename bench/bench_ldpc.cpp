// Throughput of the LDPC kernels on a rate-1/2 staircase code of n = 8000 bits (k = 4000
// data columns of weight 3), in information bits per second; the per-frame decoders
// count every iteration, so their items_per_second is information bits times iterations
// per second and seconds_per_iteration the time of one flooding iteration. The batch
// decoder counts information bits decoded (10 iterations each), also on a (576, 288)
// code of the same kind.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "linkforge/ldpc.hpp"
#include "linkforge/ldpc_batch.hpp"
#include "linkforge/ldpc_graph_state.hpp"

namespace {

using namespace linkforge::ldpc;
using linkforge::FrameView;

constexpr int kK = 4000;
constexpr int kM = 4000;
constexpr int kN = kK + kM;

// Index matrices (0-based, -1 padding) of the explicit data columns, and the 1-based
// positions the encoder reads.
struct Code {
  std::vector<std::vector<int>> rows, cols;
  std::vector<int> row_cells, col_cells;
  std::size_t row_width = 0;
  std::vector<double> positions;
};

Code make_code(int k = kK, int m = kM) {
  std::mt19937 rng(2024);
  Code c;
  c.rows.resize(m);
  c.cols.resize(k);
  std::vector<int> all(m);
  for (int i = 0; i < m; ++i) all[i] = i;
  for (int v = 0; v < k; ++v) {
    std::shuffle(all.begin(), all.end(), rng);
    c.cols[v] = {all[0], all[1], all[2]};
    std::sort(c.cols[v].begin(), c.cols[v].end());
    for (const int i : c.cols[v]) c.rows[i].push_back(v);
  }
  if (c.rows[0].empty()) {
    c.rows[0].push_back(0);
    c.cols[0].push_back(0);
  }
  const auto um = static_cast<std::size_t>(m);
  const auto uk = static_cast<std::size_t>(k);
  for (const auto& r : c.rows) c.row_width = std::max(c.row_width, r.size());
  c.row_cells.assign(um * c.row_width, -1);
  c.positions.assign(um * c.row_width, 0.0);
  for (std::size_t i = 0; i < um; ++i) {
    for (std::size_t j = 0; j < c.rows[i].size(); ++j) {
      c.row_cells[i + j * um] = c.rows[i][j];
      c.positions[i + j * um] = c.rows[i][j] + 1;
    }
  }
  std::size_t col_width = 0;
  for (const auto& l : c.cols) col_width = std::max(col_width, l.size());
  c.col_cells.assign(uk * col_width, -1);
  for (std::size_t v = 0; v < uk; ++v) {
    for (std::size_t j = 0; j < c.cols[v].size(); ++j) c.col_cells[v + j * uk] = c.cols[v][j];
  }
  return c;
}

const Code& code() {
  static const Code c = make_code();
  return c;
}

SparseGraph staircase_graph() {
  const Code& c = code();
  return make_sparse_graph(kN, {c.row_cells, kM, c.row_width},
                           {c.col_cells, kK, c.col_cells.size() / kK});
}

std::vector<double> codeword() {
  const Code& c = code();
  std::mt19937 rng(7);
  std::vector<double> data(kK);
  for (double& b : data) b = static_cast<double>(rng() & 1);
  std::vector<double> word(kN);
  encode(data, {c.positions, kM, c.row_width}, {}, word);
  return word;
}

// Channel values of BPSK over Gaussian noise at Eb/N0 = 1 dB, near the decoding threshold,
// so the messages keep changing throughout the iterations.
std::vector<float> received() {
  const std::vector<double> word = codeword();
  std::mt19937 rng(11);
  const double sigma = std::sqrt(1.0 / std::pow(10.0, 0.1));
  std::normal_distribution<double> noise(0.0, sigma);
  std::vector<float> llr(kN);
  for (int v = 0; v < kN; ++v) {
    llr[v] = static_cast<float>(2.0 * ((word[v] ? -1.0 : 1.0) + noise(rng)) / (sigma * sigma));
  }
  return llr;
}

void BM_SparseGraphDecode(benchmark::State& state) {
  const auto kind = state.range(0) == 1 ? DecoderKind::kMinSum : DecoderKind::kSumProduct;
  const int iterations = static_cast<int>(state.range(1));
  const SparseGraph graph = staircase_graph();
  const std::vector<float> llr = received();
  const std::vector<int> data(kK, 0);
  std::vector<std::uint8_t> decisions(static_cast<std::size_t>(iterations) * kN);
  std::vector<int> errors(iterations);
  const DecodeParams params{iterations, kind, kind == DecoderKind::kMinSum ? 0.75f : 1.0f, 1.0f,
                            false};
  for (auto _ : state) {
    decode(graph, llr, params, data, decisions, errors);
    benchmark::DoNotOptimize(decisions.data());
  }
  const double per_run = static_cast<double>(kK) * iterations;
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * per_run));
  state.counters["seconds_per_iteration"] = benchmark::Counter(
      iterations, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.SetLabel(std::string(kind == DecoderKind::kMinSum ? "min-sum" : "sum-product") + ", " +
                 std::to_string(iterations) + " iterations");
}
BENCHMARK(BM_SparseGraphDecode)->ArgsProduct({{0, 1}, {10, 50}})->Unit(benchmark::kMillisecond);

// The batch decoder: 10 iterations without early stop over many frames per call, one
// frame per SIMD lane. Arguments: code (0: n = 8000, 1: n = 576), decoder kind (0:
// sum-product, 1: min-sum) and threads (0: all). The frames are noisy codewords at
// Eb/N0 = 1 dB, as above.
void BM_SparseGraphDecodeBatch(benchmark::State& state) {
  const bool small = state.range(0) == 1;
  const auto kind = state.range(1) == 1 ? DecoderKind::kMinSum : DecoderKind::kSumProduct;
  const int threads = static_cast<int>(state.range(2));
  const int k = small ? 288 : kK;
  const int m = small ? 288 : kM;
  const int n = k + m;
  const std::size_t F = small ? 1024 : 128;
  const Code c = make_code(k, m);
  const SparseGraph graph = make_sparse_graph(
      n, {c.row_cells, static_cast<std::size_t>(m), c.row_width},
      {c.col_cells, static_cast<std::size_t>(k), c.col_cells.size() / static_cast<std::size_t>(k)});
  std::mt19937 rng(7);
  const double sigma = std::sqrt(1.0 / std::pow(10.0, 0.1));
  std::normal_distribution<double> noise(0.0, sigma);
  std::vector<double> data(static_cast<std::size_t>(k)), word(static_cast<std::size_t>(n));
  std::vector<double> channel(F * static_cast<std::size_t>(n));  // column-major, as the host
  for (std::size_t f = 0; f < F; ++f) {
    for (double& b : data) b = static_cast<double>(rng() & 1);
    encode(data, {c.positions, static_cast<std::size_t>(m), c.row_width}, {}, word);
    for (std::size_t v = 0; v < static_cast<std::size_t>(n); ++v) {
      channel[f + v * F] = 2.0 * ((word[v] ? 1.0 : -1.0) + noise(rng)) / (sigma * sigma);
    }
  }
  const int iterations = 10;
  std::vector<std::uint8_t> decisions(F * static_cast<std::size_t>(n));
  std::vector<int> errors(F * iterations);
  BatchDecodeParams params;
  params.max_iter = iterations;
  params.kind = kind;
  params.r_scale = kind == DecoderKind::kMinSum ? 0.75f : 1.0f;
  params.early_stop = false;
  params.threads = threads;
  const BatchResults results{
      FrameView<std::uint8_t>::column_major(decisions.data(), F, static_cast<std::size_t>(n)),
      FrameView<int>::column_major(errors.data(), F, iterations), {}};
  for (auto _ : state) {
    decode_batch(graph,
                 FrameView<const double>::column_major(channel.data(), F, static_cast<std::size_t>(n)),
                 {}, params, results);
    benchmark::DoNotOptimize(decisions.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * F * static_cast<std::size_t>(k)));
  state.SetLabel(std::string(small ? "n 576, " : "n 8000, ") +
                 (kind == DecoderKind::kMinSum ? "min-sum, " : "sum-product, ") +
                 (threads == 0 ? std::string("all threads") : std::to_string(threads) + " thread"));
}
BENCHMARK(BM_SparseGraphDecodeBatch)
    ->ArgsProduct({{0, 1}, {0, 1}, {1, 0}})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

void BM_MakeSparseGraph(benchmark::State& state) {
  const Code& c = code();
  for (auto _ : state) {
    SparseGraph g = make_sparse_graph(kN, {c.row_cells, kM, c.row_width},
                                      {c.col_cells, kK, c.col_cells.size() / kK});
    benchmark::DoNotOptimize(g.check_bits.data());
  }
  state.SetItemsProcessed(state.iterations() * kK);
}
BENCHMARK(BM_MakeSparseGraph)->Unit(benchmark::kMicrosecond);

void BM_Encode(benchmark::State& state) {
  const Code& c = code();
  std::vector<double> data(kK, 1.0);
  std::vector<double> word(kN);
  for (auto _ : state) {
    encode(data, {c.positions, kM, c.row_width}, {}, word);
    benchmark::DoNotOptimize(word.data());
  }
  state.SetItemsProcessed(state.iterations() * kK);
}
BENCHMARK(BM_Encode)->Unit(benchmark::kMicrosecond);

// One iteration over caller-held state: the same code described in full.
void BM_GraphStateStep(benchmark::State& state) {
  const SparseGraph g = staircase_graph();
  std::vector<int> dv(kN), dc(kM);
  for (int v = 0; v < kN; ++v) dv[v] = g.bit_offset[v + 1] - g.bit_offset[v];
  for (int i = 0; i < kM; ++i) dc[i] = g.check_offset[i + 1] - g.check_offset[i];
  std::vector<VnState> vn = make_vn_state(dv);
  std::vector<CnState> cn = make_cn_state(dc);
  std::vector<VnPtrs> vn_ptrs(kN);
  std::vector<CnPtrs> cn_ptrs(kM);
  GetVnPtrs(vn, vn_ptrs);
  GetCnPtrs(cn, cn_ptrs);
  const auto width = [](const std::vector<int>& d) {
    return *std::max_element(d.begin(), d.end());
  };
  std::vector<int> check_index(static_cast<std::size_t>(kM) * width(dc), -1);
  std::vector<int> var_index(static_cast<std::size_t>(kN) * width(dv), -1);
  for (int i = 0; i < kM; ++i) {
    for (int e = g.check_offset[i]; e < g.check_offset[i + 1]; ++e) {
      check_index[i + static_cast<std::size_t>(e - g.check_offset[i]) * kM] = g.check_bits[e];
    }
  }
  for (int v = 0; v < kN; ++v) {
    for (int e = g.bit_offset[v]; e < g.bit_offset[v + 1]; ++e) {
      var_index[v + static_cast<std::size_t>(e - g.bit_offset[v]) * kN] = g.bit_checks[e];
    }
  }
  const std::vector<float> llr = received();
  const std::vector<double> input(llr.begin(), llr.end());
  std::vector<double> negated(kN);
  for (int v = 0; v < kN; ++v) negated[v] = -input[v];
  graph_state_setup(input, {check_index, kM, static_cast<std::size_t>(width(dc))},
                    {var_index, kN, static_cast<std::size_t>(width(dv))}, vn_ptrs, cn_ptrs);
  std::vector<double> output(kN);
  std::vector<int> decisions(kN);
  for (auto _ : state) {
    graph_state_step(negated, vn_ptrs, cn_ptrs, cn_ptrs.size(), output, decisions);
    benchmark::DoNotOptimize(output.data());
  }
  state.SetItemsProcessed(state.iterations() * kK);
}
BENCHMARK(BM_GraphStateStep)->Unit(benchmark::kMicrosecond);

}  // namespace
