// Binary convolutional and turbo codes: trellis_coder, trellis_posterior,
// trellis_best_path, viterbi_decode, turbo_decode.
#include <algorithm>
#include <climits>
#include <cmath>

#include "binding.hpp"
#include "linkforge/conv.hpp"
#include "linkforge/max_star.hpp"
#include "linkforge/turbo.hpp"
#include "linkforge/viterbi.hpp"
#include "subsystems.hpp"

namespace linkforge::python {

namespace {

using namespace py::literals;

struct Code {
  int n = 0;  // rows: code bits per step
  int K = 0;  // columns: constraint length
  std::vector<int> g;
  std::size_t m() const noexcept { return static_cast<std::size_t>(K - 1); }
};

// An n x K generator matrix (a 1-D array is one row).
Code read_generator(py::handle value, const char* name) {
  const Matrix g = matrix(value, name);
  if (g.rows == 0 || g.cols == 0) fail(std::string(name) + " must have at least one row and one column");
  if (g.rows > kMaxTrellisOutputs || g.cols - 1 > kMaxTrellisMemory) {
    fail(std::string(name) + " is too large: K - 1 and n must both be below 31");
  }
  Code code{static_cast<int>(g.rows), static_cast<int>(g.cols), {}};
  const std::string tables = std::string("the trellis of ") + name;
  require_memory(trellis_table_bytes(code.K), tables.c_str());
  code.g = generator_polynomials(g.values, code.n, code.K);
  return code;
}

// The code type numbers as the modules read them, any integer accepted.
int code_type_int(long long code_type) {
  return static_cast<int>(std::clamp<long long>(code_type, -1, 2));
}

void same_frames(const Frames& a, const Frames& b, const char* names) {
  if (a.lead != b.lead) fail(std::string(names) + " must have the same leading (frame) axes");
}

py::array_t<double> trellis_coder(py::handle input, py::handle g_encoder, long long code_type) {
  const Frames data = frames(input, "input");
  const Code code = read_generator(g_encoder, "g_encoder");
  const CodeType type = code_type_from_int(code_type_int(code_type));
  const std::size_t L = data.length();
  const std::size_t N = trellis_coder_length(L, code.K, code.n, type);
  MemoryEstimate()
      .call(trellis_coder_memory(L, code.K, code.n, type, data.frames()))
      .require("the encoder");
  refuse_nan(data.re, "input");
  OutFrames out = out_frames(data.lead, N);
  without_gil([&] {
    const Trellis trellis = make_trellis(code.g, code.K, type == CodeType::kRecursive);
    const EncoderTail tail = encoder_tail(trellis, type);
    std::vector<int> bits(L), coded(N);
    for (std::size_t f = 0; f < data.frames(); ++f) {
      for (std::size_t k = 0; k < L; ++k) bits[k] = std::fabs(data.re(f, k)) >= 1.0;
      trellis_encode(coded, bits, trellis, tail);
      for (std::size_t k = 0; k < N; ++k) out.view(f, k) = coded[k];
    }
  });
  return out.array;
}

py::tuple trellis_posterior(py::handle input_u, py::handle input_c, py::handle g_encoder,
                            long long code_type, long long decoder_type) {
  const Frames u = frames(input_u, "input_u");
  const Frames c = frames(input_c, "input_c");
  same_frames(u, c, "input_u and input_c");
  const Code code = read_generator(g_encoder, "g_encoder");
  const std::size_t L = u.length();
  const std::size_t coded = trellis_coder_length(L, code.K, code.n, CodeType::kFeedForward);
  if (c.length() != coded) fail("the lengths of input_u and input_c don't agree: input_c must hold (L + K - 1)*n values");
  const int type = read_max_star(decoder_type, "decoder_type");
  MemoryEstimate()
      .call(trellis_posterior_memory(code.K, code.n, L, true, u.frames()))
      .require("the decoder");
  refuse_bad_soft_values(u.re, "input_u");
  refuse_bad_soft_values(c.re, "input_c");
  OutFrames out_u = out_frames(u.lead, L);
  OutFrames out_c = out_frames(u.lead, coded);
  without_gil([&] {
    const Trellis trellis = make_trellis(code.g, code.K, code_type == 0);
    std::vector<float> in_u(L), in_c(coded), o_u(L), o_c(coded);
    for (std::size_t f = 0; f < u.frames(); ++f) {
      for (std::size_t k = 0; k < L; ++k) in_u[k] = static_cast<float>(u.re(f, k));
      for (std::size_t k = 0; k < coded; ++k) in_c[k] = static_cast<float>(c.re(f, k));
      trellis_posterior(in_u, in_c, trellis, static_cast<MaxStar>(type), o_u, o_c,
                        python_interrupt());
      for (std::size_t k = 0; k < L; ++k) out_u.view(f, k) = o_u[k];
      for (std::size_t k = 0; k < coded; ++k) out_c.view(f, k) = o_c[k];
    }
  });
  return py::make_tuple(out_u.array, out_c.array);
}

// The data-bit count and block end of input_c (shared by both Viterbi functions).
struct BestPathShape {
  std::size_t L = 0;
  ViterbiParams params;
};

BestPathShape best_path_shape(std::size_t CL, const Code& code, long long code_type,
                              long long depth) {
  BestPathShape s;
  s.params.block_end = block_end_from_code_type(code_type_int(code_type));
  if (s.params.block_end == BlockEnd::kTailBiting) {
    if (depth < 0) fail("depth must not be negative");
    if (depth > INT_MAX) fail("depth is out of range");
    s.params.depth_steps = static_cast<std::size_t>(depth) * static_cast<std::size_t>(code.K);
  }
  s.L = viterbi_block_steps(CL, code.K, code.n, s.params.block_end);
  return s;
}

py::array_t<double> trellis_best_path(py::handle input_c, py::handle g_encoder,
                                      long long code_type, long long depth) {
  const Frames c = frames(input_c, "input_c");
  const Code code = read_generator(g_encoder, "g_encoder");
  const BestPathShape s = best_path_shape(c.length(), code, code_type, depth);
  const bool tail_biting = s.params.block_end == BlockEnd::kTailBiting;
  MemoryEstimate()
      .call(trellis_best_path_memory(code.K, code.n, s.L, s.params, c.frames()))
      .require("the decoder");
  refuse_bad_soft_values(c.re, "input_c");
  OutFrames out = out_frames(c.lead, s.L);
  without_gil([&] {
    const Trellis trellis = make_trellis(code.g, code.K, code_type == 0);
    std::vector<float> in(c.length());
    std::vector<int> decisions(s.L);
    for (std::size_t f = 0; f < c.frames(); ++f) {
      for (std::size_t k = 0; k < in.size(); ++k) in[k] = static_cast<float>(c.re(f, k));
      if (tail_biting) {
        trellis_best_path_circular(decisions, in, trellis, s.params.depth_steps, python_interrupt());
      } else {
        trellis_best_path(decisions, in, trellis, python_interrupt());
      }
      for (std::size_t k = 0; k < s.L; ++k) out.view(f, k) = decisions[k];
    }
  });
  return out.array;
}

py::array_t<double> viterbi_decode(py::handle input_c, py::handle g_encoder, long long code_type,
                                   long long depth, long long threads) {
  const Frames c = frames(input_c, "input_c");
  const Code code = read_generator(g_encoder, "g_encoder");
  BestPathShape s = best_path_shape(c.length(), code, code_type, depth);
  s.params.threads = read_threads(threads);
  MemoryEstimate()
      .call(viterbi_decode_memory(code.K, code.n, s.L, s.params, c.frames()))
      .require("the decoder");
  refuse_bad_soft_values(c.re, "input_c");
  OutFrames out = out_frames(c.lead, s.L);
  without_gil([&] {
    const Trellis trellis = make_trellis(code.g, code.K, code_type == 0);
    viterbi_decode(c.re, trellis, s.params, out.view, python_interrupt());
  });
  return out.array;
}

// early_stop: False (never), True (once the decisions repeat) or the name of the CRC the
// decisions must pass ("24A", "24B", ...).
void read_early_stop(py::handle value, TurboDecodeParams& params) {
  if (py::isinstance<py::str>(value)) {
    const std::string label = value.cast<std::string>();
    const auto name = crc_name(label);
    if (!name) fail("early_stop '" + label + "' is not a CRC: use one of " + crc_name_list());
    params.early_stop = EarlyStop::kCrc;
    params.crc = name;
    return;
  }
  params.early_stop = value.cast<bool>() ? EarlyStop::kUnchangedDecisions : EarlyStop::kNever;
}

py::tuple turbo_decode(py::handle ys_arg, py::handle yp1_arg, py::handle yp2_arg,
                       py::handle ytail_arg, py::handle g, py::handle alpha_arg,
                       long long iterations, long long decoder_type, long long threads,
                       py::handle early_stop) {
  const Frames ys = frames(ys_arg, "ys");
  const Frames yp1 = frames(yp1_arg, "yp1");
  const Frames yp2 = frames(yp2_arg, "yp2");
  const Frames ytail = frames(ytail_arg, "ytail");
  const Code code = read_generator(g, "g");
  if (code.n != 2) fail("g must have two rows: the feedback and the parity polynomial");
  const Vector alpha_values = vector(alpha_arg, "alpha");
  const std::size_t L = ys.length(), m = code.m();
  for (const Frames* x : {&yp1, &yp2, &ytail}) same_frames(ys, *x, "ys, yp1, yp2 and ytail");
  if (yp1.length() != L || yp2.length() != L) fail("ys, yp1 and yp2 must have the same shape");
  if (ytail.length() != 4 * m) {
    fail("ytail must hold 4*(K - 1) = " + std::to_string(4 * m) + " values per frame");
  }
  if (alpha_values.re.size() != L) fail("alpha must hold L values, L the length of a frame of ys");
  TurboDecodeParams params;
  params.iterations = checked_range(iterations, 1, INT_MAX, "iterations", "at least 1");
  params.max_star = static_cast<MaxStar>(read_max_star(decoder_type, "decoder_type"));
  params.threads = read_threads(threads);
  read_early_stop(early_stop, params);
  const std::vector<int> alpha = read_positions(alpha_values.re, "alpha");
  const std::size_t F = ys.frames();
  const auto pages = static_cast<std::size_t>(params.iterations);
  MemoryEstimate().call(turbo_decode_memory(L, code.K, params, F, pages)).require("the decoder");
  refuse_bad_soft_values(ys.re, "ys");
  refuse_bad_soft_values(yp1.re, "yp1");
  refuse_bad_soft_values(yp2.re, "yp2");
  refuse_bad_soft_values(ytail.re, "ytail");
  OutFrames app = out_frames(ys.lead, L);
  py::array_t<double> app_all(shape_of(ys.lead, {pages, L}));
  py::array_t<std::int64_t> runs(ys.lead);
  std::vector<int> iterations_run(F);
  TurboResults results;
  results.app = app.view;
  results.app_all = {{app_all.mutable_data(), F, L, static_cast<std::ptrdiff_t>(pages * L), 1},
                     pages,
                     static_cast<std::ptrdiff_t>(L)};
  results.iterations_run = iterations_run;
  without_gil([&] {
    const Trellis trellis = make_trellis(code.g, code.K, true);
    turbo_decode({ys.re, yp1.re, yp2.re, ytail.re}, trellis, alpha, params, results,
                 python_interrupt());
  });
  std::copy(iterations_run.begin(), iterations_run.end(), runs.mutable_data());
  return py::make_tuple(app.array, app_all, runs);
}

}  // namespace

void add_conv(py::module_& m) {
  m.def("trellis_coder", &trellis_coder, "input"_a, "g_encoder"_a, "code_type"_a = 0,
        R"(trellis_coder(input, g_encoder, code_type=0) -> ndarray

Encodes data bits with a binary convolutional code.

input      (..., L) data bits; each value is truncated toward zero and anything
           other than 0 is a 1. NaN is refused.
g_encoder  (n, K) generator matrix: row i gives code bit i, column 0 taps the bit
           entering the register now. Any nonzero entry is a tap.
code_type  0: recursive systematic, terminated by K - 1 tail steps; 1 (or below):
           feed-forward, terminated; 2 (or above): feed-forward, tail-biting.

Returns (..., (L + K - 1)*n) code bits, step-major (element k*n + i is code bit i of
step k); (..., L*n) for tail-biting blocks.)");

  m.def("trellis_posterior", &trellis_posterior, "input_u"_a, "input_c"_a, "g_encoder"_a,
        "code_type"_a = 0, "decoder_type"_a = 0,
        R"(trellis_posterior(input_u, input_c, g_encoder, code_type=0, decoder_type=0) -> (output_u, output_c)

Soft-in/soft-out (forward-backward) decoding of terminated convolutional code blocks.
LLRs are ln(P(1)/P(0)): positive favours 1.

input_u       (..., L) a-priori values of the data bits.
input_c       (..., (L + K - 1)*n) channel values of the code bits, laid out as
              trellis_coder's output.
g_encoder     (n, K) generator matrix.
code_type     0: recursive systematic; any other value: feed-forward.
decoder_type  max-star operator: 0 linear correction, 1 max-log, 2 constant
              correction, 3 piecewise-linear correction, 4 exact log-MAP.

Returns the a-posteriori values of the data bits (..., L) and of the code bits
(..., (L + K - 1)*n); they include the inputs.)");

  m.def("trellis_best_path", &trellis_best_path, "input_c"_a, "g_encoder"_a, "code_type"_a = 0,
        "depth"_a = 6,
        R"(trellis_best_path(input_c, g_encoder, code_type=0, depth=6) -> ndarray

Viterbi decoding of convolutional code blocks, frame by frame (viterbi_decode gives
the same results for many frames at once).

input_c    (..., CL) channel LLRs ln(P(1)/P(0)) of the code bits, laid out as
           trellis_coder's output; CL a multiple of n.
g_encoder  (n, K) generator matrix.
code_type  0: recursive systematic, terminated; 1 (or below): feed-forward,
           terminated; 2 (or above): feed-forward, tail-biting.
depth      wrap-around of tail-biting blocks in multiples of K steps (not negative).

Returns (..., L) data bits 0.0 or 1.0: L = CL/n - (K - 1), or CL/n tail-biting.)");

  m.def("viterbi_decode", &viterbi_decode, "input_c"_a, "g_encoder"_a, "code_type"_a = 0,
        "depth"_a = 6, "threads"_a = 0,
        R"(viterbi_decode(input_c, g_encoder, code_type=0, depth=6, threads=0) -> ndarray

Viterbi decoding of many blocks at once: frames share SIMD lanes and threads. Each
frame's result equals trellis_best_path's for that frame bit for bit.

input_c    (..., CL) channel LLRs ln(P(1)/P(0)) of the code bits; CL a multiple of n.
g_encoder  (n, K) generator matrix.
code_type  0: recursive systematic, terminated; 1 (or below): feed-forward,
           terminated; 2 (or above): feed-forward, tail-biting.
depth      wrap-around of tail-biting blocks in multiples of K steps (not negative).
threads    threads to use, 0 (default) for every core; results do not depend on it.

Returns (..., L) data bits 0.0 or 1.0.)");

  m.def(
      "turbo_decode", &turbo_decode, "ys"_a, "yp1"_a, "yp2"_a, "ytail"_a, "g"_a, "alpha"_a,
      "iterations"_a, "decoder_type"_a, "threads"_a = 0, "early_stop"_a = py::bool_(false),
      R"(turbo_decode(ys, yp1, yp2, ytail, g, alpha, iterations, decoder_type, threads=0, early_stop=False) -> (app, app_all, iterations_run)

Iterative decoding of a rate-1/3 turbo code (two recursive systematic codes g, the
second fed with the data permuted by alpha), many frames at once. LLRs are
ln(P(1)/P(0)): positive favours 1.

ys, yp1, yp2  (..., L) channel values of the systematic and both parity streams
              (0 where punctured).
ytail         (..., 4*(K - 1)) tail values: code bits 0 and 1 of each tail step of
              the first encoder, then those of the second.
g             (2, K) generator: feedback polynomial, then parity polynomial.
alpha         (L,) 0-based permutation: interleaved[k] = data[alpha[k]].
iterations    at least 1.
decoder_type  max-star operator 0..4 (1 max-log, 4 exact log-MAP).
threads       threads to use, 0 (default) for every core.
early_stop    True: stop a frame after an iteration whose hard decisions equal the
              previous iteration's; the name of a CRC ("24A", "24B", "24C", "16",
              "11", "8" or "6"): stop a frame after an iteration whose hard
              decisions pass it, their last L bits the parity bits of the others
              (LTE: "24B" for a code block of a segmented transport block, "24A"
              for a transport block sent whole); False (default): never.

Returns app (..., L) after each frame's last iteration, app_all (..., iterations, L)
after every iteration (a frame that stopped early repeats its last values), and
iterations_run (...) int64.)");
}

}  // namespace linkforge::python
