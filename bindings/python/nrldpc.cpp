// 5G NR LDPC codes: nr_ldpc_encode, nr_ldpc_decode.
#include <algorithm>
#include <cmath>
#include <string>

#include "binding.hpp"
#include "linkforge/nr_ldpc.hpp"
#include "subsystems.hpp"

namespace linkforge::python {

namespace {

using namespace py::literals;

// Runs a kernel call, raising its untyped refusals (Fault::kOther) with their own text.
template <class Fn>
auto plainly(Fn&& fn) {
  try {
    return fn();
  } catch (const ArgumentError& e) {
    if (e.refusal().fault != Fault::kOther) throw;
    fail(e.what());
  }
}

nr_ldpc::Code read_code(long long bg, long long Z) {
  const int base = static_cast<int>(std::clamp(bg, -1000LL, 1000LL));
  return plainly([&] { return nr_ldpc::make_code(base, Z); });
}

nr_ldpc::Algorithm read_algorithm(py::handle algorithm) {
  if (py::isinstance<py::str>(algorithm)) {
    const std::string name = algorithm.cast<std::string>();
    if (name == "sum-product") return nr_ldpc::Algorithm::kSumProduct;
    if (name == "min-sum") return nr_ldpc::Algorithm::kMinSum;
    if (name == "normalized-min-sum" || name == "normalised-min-sum") {
      return nr_ldpc::Algorithm::kNormalizedMinSum;
    }
    if (name == "offset-min-sum") return nr_ldpc::Algorithm::kOffsetMinSum;
    fail("algorithm '" + name +
         "' is not one of 'sum-product', 'min-sum', 'normalized-min-sum', 'offset-min-sum'");
  }
  if (!py::isinstance<py::int_>(algorithm)) fail_type("algorithm must be a name or an int");
  const int kind = checked_range(algorithm.cast<long long>(), 0, 3, "algorithm", "0 to 3 or a name");
  return static_cast<nr_ldpc::Algorithm>(kind);
}

py::array_t<double> nr_ldpc_encode(py::handle data, long long bg, long long Z) {
  const Frames bits = frames(data, "data");
  const nr_ldpc::Code code = read_code(bg, Z);
  const std::size_t k = code.data_length(), n = code.code_length();
  if (bits.length() != k) {
    fail("data must hold Kb*Z = " + std::to_string(k) + " bits per frame, not " +
         std::to_string(bits.length()));
  }
  refuse_nan(bits.re, "data");
  MemoryEstimate().call(nr_ldpc::encode_memory(code.bg, code.z, bits.frames())).require("the encoder");
  OutFrames out = out_frames(bits.lead, n);
  nr_ldpc::encode(code, bits.re, out.view);
  return out.array;
}

py::tuple nr_ldpc_decode(py::handle llr, long long bg, long long Z, long long max_iterations,
                         py::handle algorithm, py::handle scale_or_offset, long long threads) {
  const Frames in = frames(llr, "llr");
  const nr_ldpc::Code code = read_code(bg, Z);
  nr_ldpc::DecodeParams params;
  params.max_iterations = checked_range(max_iterations, 0, 1 << 30, "max_iterations", "0 or more");
  params.algorithm = read_algorithm(algorithm);
  if (!scale_or_offset.is_none()) {
    const auto value = static_cast<float>(scale_or_offset.cast<double>());
    if (params.algorithm == nr_ldpc::Algorithm::kNormalizedMinSum) params.scale = value;
    if (params.algorithm == nr_ldpc::Algorithm::kOffsetMinSum) params.offset = value;
  }
  params.threads = read_threads(threads);
  plainly([&] {
    nr_ldpc::check_params(params);
    return 0;
  });
  const std::size_t n = code.code_length();
  if (in.length() != n) {
    fail("llr must hold " + std::to_string(code.cols) + "*Z = " + std::to_string(n) +
         " values per frame, not " + std::to_string(in.length()));
  }
  MemoryEstimate()
      .call(nr_ldpc::decode_memory(code.bg, code.z, params, in.frames(), true))
      .require("the decoder");
  refuse_bad_soft_values(in.re, "llr");
  OutFrames bits = out_frames(in.lead, n);
  OutFrames app = out_frames(in.lead, n);
  std::vector<int> runs(in.frames());
  without_gil([&] {
    nr_ldpc::decode(code, in.re, params, {bits.view, app.view, runs}, python_interrupt());
  });
  py::array_t<std::int64_t> iterations(in.lead);
  std::copy(runs.begin(), runs.end(), iterations.mutable_data());
  return py::make_tuple(bits.array, app.array, iterations);
}

nr_ldpc::RateMatchParams read_rate_match(const nr_ldpc::Code& code, long long E, long long rv,
                                         long long Qm, py::handle K_prime, long long N_ref) {
  nr_ldpc::RateMatchParams p;
  p.e = E;
  p.rv = static_cast<int>(std::clamp(rv, -1000LL, 1000LL));
  p.modulation_order = static_cast<int>(std::clamp(Qm, -1000LL, 1000LL));
  p.filler_start = K_prime.is_none() ? static_cast<long long>(code.data_length())
                                     : K_prime.cast<long long>();
  p.limited_buffer = N_ref;
  plainly([&] {
    nr_ldpc::check_rate_match(code, p);
    return 0;
  });
  return p;
}

py::array_t<double> nr_ldpc_rate_match(py::handle codeword, long long bg, long long Z, long long E,
                                       long long rv, long long Qm, py::handle K_prime,
                                       long long N_ref) {
  const Frames word = frames(codeword, "codeword");
  const nr_ldpc::Code code = read_code(bg, Z);
  const nr_ldpc::RateMatchParams p = read_rate_match(code, E, rv, Qm, K_prime, N_ref);
  if (word.length() != code.code_length()) {
    fail("codeword must hold " + std::to_string(code.code_length()) + " bits per frame, not " +
         std::to_string(word.length()));
  }
  refuse_nan(word.re, "codeword");
  const auto e = static_cast<std::size_t>(p.e);
  MemoryEstimate().values<std::size_t>(e).values<double>(mul_sat(word.frames(), e)).require("rate matching");
  OutFrames out = out_frames(word.lead, e);
  nr_ldpc::rate_match(code, p, word.re, out.view);
  return out.array;
}

py::array_t<double> nr_ldpc_rate_recover(py::handle llr, long long bg, long long Z, long long rv,
                                         long long Qm, py::handle K_prime, long long N_ref) {
  const Frames in = frames(llr, "llr");
  const nr_ldpc::Code code = read_code(bg, Z);
  const nr_ldpc::RateMatchParams p =
      read_rate_match(code, static_cast<long long>(in.length()), rv, Qm, K_prime, N_ref);
  refuse_bad_soft_values(in.re, "llr");
  MemoryEstimate()
      .values<std::size_t>(in.length())
      .values<double>(mul_sat(in.frames(), code.code_length()))
      .require("rate recovery");
  OutFrames out = out_frames(in.lead, code.code_length());
  nr_ldpc::rate_recover(code, p, in.re, out.view);
  return out.array;
}

py::dict nr_ldpc_segment(long long A, double R, long long G, long long Qm, long long layers) {
  const nr_ldpc::Segmentation s = plainly([&] {
    return nr_ldpc::segment(A, R, G, static_cast<int>(std::clamp(Qm, -1000LL, 1000LL)),
                            static_cast<int>(std::clamp(layers, -1000LL, 1000LL)));
  });
  py::array_t<std::int64_t> e(static_cast<py::ssize_t>(s.e.size()));
  std::copy(s.e.begin(), s.e.end(), e.mutable_data());
  return py::dict("bg"_a = s.bg, "Z"_a = s.z, "C"_a = s.code_blocks, "K_prime"_a = s.k_prime,
                  "K"_a = s.k, "E"_a = e, "tb_crc"_a = s.tb_crc, "cb_crc"_a = s.cb_crc);
}

}  // namespace

void add_nrldpc(py::module_& m) {
  m.def("nr_ldpc_encode", &nr_ldpc_encode, "data"_a, "bg"_a, "Z"_a,
        R"(nr_ldpc_encode(data, bg, Z) -> codeword

Encodes with the 5G NR LDPC code of base graph bg (1 or 2) lifted by Z (one of the 51
lifting sizes; another is refused, naming the nearest).

data      (..., Kb*Z) bits 0 or 1, Kb = 22 (bg 1) or 10 (bg 2).

Returns (..., 68*Z) or (..., 52*Z) code bits: the data first (the 2Z bits a
transmitter leaves out included), then the parity; every check of H holds.)");

  m.def("nr_ldpc_decode", &nr_ldpc_decode, "llr"_a, "bg"_a, "Z"_a, "max_iterations"_a = 25,
        "algorithm"_a = "sum-product", "scale_or_offset"_a = py::none(), "threads"_a = 0,
        R"(nr_ldpc_decode(llr, bg, Z, max_iterations=25, algorithm='sum-product', scale_or_offset=None, threads=0) -> (bits, app, iterations)

Layered decoding of the 5G NR LDPC code of base graph bg lifted by Z, many frames at
once (SIMD lanes and threads; results do not depend on either). LLRs are
ln(P(1)/P(0)): positive favours 1; 0 for bits not received.

llr              (..., 68*Z) or (..., 52*Z) soft values of the whole codeword.
max_iterations   most iterations; a frame stops once its decisions satisfy every check.
algorithm        'sum-product' (0), 'min-sum' (1), 'normalized-min-sum' (2) or
                 'offset-min-sum' (3).
scale_or_offset  the scale of normalized min-sum (default 0.75) or the offset of
                 offset min-sum (default 0.5); None for the default.
threads          threads to use, 0 (default) for every core.

Returns bits (..., n) hard decisions, app (..., n) a-posteriori LLRs and iterations
(...) int64, the iterations each frame ran.)");

  m.def("nr_ldpc_rate_match", &nr_ldpc_rate_match, "codeword"_a, "bg"_a, "Z"_a, "E"_a, "rv"_a = 0,
        "Qm"_a = 1, "K_prime"_a = py::none(), "N_ref"_a = 0,
        R"(nr_ldpc_rate_match(codeword, bg, Z, E, rv=0, Qm=1, K_prime=None, N_ref=0) -> out

Rate matching of 3GPP TS 38.212 5.4.2: E bits selected round the circular buffer (the
codeword without its first 2Z bits, limited to N_ref bits when N_ref > 0) from the start
of redundancy version rv, past the filler bits K_prime..K-1 (None: no filler bits),
then interleaved for Qm bits per symbol.

codeword  (..., 68*Z) or (..., 52*Z) code bits. Returns (..., E).)");

  m.def("nr_ldpc_rate_recover", &nr_ldpc_rate_recover, "llr"_a, "bg"_a, "Z"_a, "rv"_a = 0,
        "Qm"_a = 1, "K_prime"_a = py::none(), "N_ref"_a = 0,
        R"(nr_ldpc_rate_recover(llr, bg, Z, rv=0, Qm=1, K_prime=None, N_ref=0) -> llr_code

The soft inverse of nr_ldpc_rate_match with the same arguments (E = the last axis of
llr): values deinterleaved and added to the codeword bits they were sent for; 0 for
bits never sent, -2**20 (certainly 0) for the filler bits.

llr  (..., E) received LLRs ln(P(1)/P(0)). Returns (..., 68*Z) or (..., 52*Z).)");

  m.def("nr_ldpc_segment", &nr_ldpc_segment, "A"_a, "R"_a, "G"_a = 0, "Qm"_a = 1, "layers"_a = 1,
        R"(nr_ldpc_segment(A, R, G=0, Qm=1, layers=1) -> dict

The NR LDPC chain's parameters for a transport block of A bits at code rate R (3GPP
TS 38.212 7.2.2 base graph, 5.2.2 segmentation, 5.4.2.1 bits per block): a dict with
bg, Z, C (code blocks), K_prime (bits of a block with its CRC, the first filler bit),
K (22*Z or 10*Z), E (int64 array, the bits of each block where G > 0, else empty),
tb_crc and cb_crc (CRC lengths).)");
}

}  // namespace linkforge::python
