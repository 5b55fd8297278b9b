// 5G polar codes: polar_construct, polar_encode, polar_decode, polar_code_length,
// polar_rate_match, polar_rate_recover.
#include "linkforge/polar.hpp"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "binding.hpp"
#include "linkforge/checked.hpp"
#include "linkforge/crc.hpp"
#include "linkforge/polar_rate.hpp"
#include "subsystems.hpp"

namespace linkforge::python {

namespace {

using namespace py::literals;

// K and N as the kernels take them, refused when they make no polar code.
std::pair<std::size_t, std::size_t> read_code(long long K, long long N) {
  if (K < 1) fail("K must be a positive integer");
  if (N < 1) fail("N must be a positive integer");
  const auto k = static_cast<std::size_t>(K), n = static_cast<std::size_t>(N);
  check_polar_code(k, n);
  return {k, n};
}

// A size (K, E) of 1 or more, saturated beyond what any code takes.
std::size_t read_size(long long value, const char* name) {
  if (value < 1) fail(std::string(name) + " must be a positive integer");
  return static_cast<std::size_t>(std::min(value, 1LL << 40));
}

PolarLink read_link(const std::string& link) {
  if (link == "downlink") return PolarLink::kDownlink;
  if (link == "uplink") return PolarLink::kUplink;
  fail("link must be 'downlink' or 'uplink', not '" + link + "'");
}

// An optional integer argument (int, NumPy integer), saturated as a long long.
long long read_integer(py::handle value, const char* name) {
  if (!py::hasattr(value, "__index__"))
    fail_type(std::string(name) + " must be an integer or None");
  const py::object index = value.attr("__index__")();
  int overflow = 0;
  const long long v = PyLong_AsLongLongAndOverflow(index.ptr(), &overflow);
  if (overflow != 0)
    return overflow > 0 ? std::numeric_limits<long long>::max()
                        : std::numeric_limits<long long>::min();
  return v;
}

// The information positions of polar_construct(K, N, E): the rate-matched code's where
// E is given.
std::vector<std::uint32_t> read_info(std::size_t k, std::size_t n, py::handle E) {
  if (E.is_none()) return polar_construct(k, n);
  return polar_rate_construct({k, read_size(read_integer(E, "E"), "E"), n, false});
}

py::array_t<std::int64_t> polar_construct_py(long long K, long long N, py::handle E) {
  const auto [k, n] = read_code(K, N);
  const std::vector<std::uint32_t> info = read_info(k, n, E);
  py::array_t<std::int64_t> out(static_cast<py::ssize_t>(info.size()));
  std::copy(info.begin(), info.end(), out.mutable_data());
  return out;
}

py::array_t<double> polar_encode_py(py::handle data, long long N, py::handle E) {
  const Frames in = frames(data, "data");
  const auto [k, n] = read_code(static_cast<long long>(in.length()), N);
  const std::vector<std::uint32_t> info = read_info(k, n, E);
  const std::size_t F = in.frames();
  MemoryEstimate()
      .values<std::uint8_t>(mul_sat(F, k + n))
      .values<double>(mul_sat(F, n))
      .require("the encoder");
  std::vector<std::uint8_t> bits(F * k), code(F * n);
  for (std::size_t f = 0; f < F; ++f) {
    for (std::size_t i = 0; i < k; ++i) {
      const double v = in.re(f, i);
      if (v != 0.0 && v != 1.0) fail("data must hold only 0 and 1");
      bits[f * k + i] = static_cast<std::uint8_t>(v);
    }
  }
  polar_encode_frames(FrameView<const std::uint8_t>::row_major(bits.data(), F, k), info, n,
                      FrameView<std::uint8_t>::row_major(code.data(), F, n));
  OutFrames out = out_frames(in.lead, n);
  for (std::size_t f = 0; f < F; ++f)
    for (std::size_t i = 0; i < n; ++i) out.view(f, i) = code[f * n + i];
  return out.array;
}

py::array_t<double> polar_decode_py(py::handle llr, long long K, long long N, long long L,
                                    py::handle crc, long long threads, py::handle E) {
  const Frames in = frames(llr, "llr");
  const auto [k, n] = read_code(K, N);
  PolarDecodeParams params;
  params.list_size = static_cast<int>(std::clamp(L, -1000LL, 1000LL));
  if (!crc.is_none()) {
    if (!py::isinstance<py::str>(crc)) fail_type("crc must be a CRC name such as '11', or None");
    const std::string label = crc.cast<std::string>();
    params.crc = crc_name(label);
    if (!params.crc)
      fail("crc '" + label + "' is not a CRC: use None or one of " + crc_name_list());
  }
  params.threads = read_threads(threads);
  const std::vector<std::uint32_t> info = read_info(k, n, E);
  if (in.length() != n) {
    fail("llr must hold N = " + std::to_string(n) + " values per frame, not " +
         std::to_string(in.length()));
  }
  const std::size_t F = in.frames();
  MemoryEstimate().call(polar_decode_memory(F, n, k, params)).require("the decoder");
  refuse_bad_soft_values(in.re, "llr");
  std::vector<float> values(F * n);
  for (std::size_t f = 0; f < F; ++f)
    for (std::size_t i = 0; i < n; ++i) values[f * n + i] = static_cast<float>(in.re(f, i));
  std::vector<std::uint8_t> bits(F * k);
  without_gil([&] {
    polar_decode_frames(FrameView<const float>::row_major(values.data(), F, n), info, params,
                        FrameView<std::uint8_t>::row_major(bits.data(), F, k), python_interrupt());
  });
  OutFrames out = out_frames(in.lead, k);
  for (std::size_t f = 0; f < F; ++f)
    for (std::size_t i = 0; i < k; ++i) out.view(f, i) = bits[f * k + i];
  return out.array;
}

long long polar_code_length_py(long long K, long long E, const std::string& link) {
  return static_cast<long long>(
      polar_code_length(read_size(K, "K"), read_size(E, "E"), read_link(link)));
}

py::array_t<double> polar_rate_match_py(py::handle code, long long K, long long E,
                                        bool interleave) {
  const Frames in = frames(code, "code");
  PolarRateParams p{read_size(K, "K"), read_size(E, "E"), in.length(), interleave};
  check_polar_rate(p);
  refuse_nan(in.re, "code");
  MemoryEstimate()
      .values<std::uint32_t>(p.E)
      .values<double>(mul_sat(in.frames(), p.E))
      .require("rate matching");
  OutFrames out = out_frames(in.lead, p.E);
  polar_rate_match(p, in.re, out.view);
  return out.array;
}

py::array_t<double> polar_rate_recover_py(py::handle llr, long long K, long long N,
                                          bool interleave) {
  const Frames in = frames(llr, "llr");
  PolarRateParams p{read_size(K, "K"), in.length(), read_size(N, "N"), interleave};
  check_polar_rate(p);
  refuse_bad_soft_values(in.re, "llr");
  MemoryEstimate()
      .values<std::uint32_t>(p.E + p.N)
      .values<double>(mul_sat(in.frames(), p.N))
      .require("rate recovery");
  OutFrames out = out_frames(in.lead, p.N);
  polar_rate_recover(p, in.re, out.view);
  return out.array;
}

}  // namespace

void add_polar(py::module_& m) {
  m.def("polar_construct", &polar_construct_py, "K"_a, "N"_a, "E"_a = py::none(),
        R"(polar_construct(K, N, E=None) -> positions

The sorted 0-based positions (int64) of the K information bits of the length-N polar
code (N a power of two, 32 to 1024): the K most reliable entries below N of the NR
reliability sequence (3GPP TS 38.212 Table 5.3.1.2-1). With E, those of the code rate
matched to E bits (5.4.1.1): the bits polar_rate_match leaves out are frozen first,
and with puncturing also the positions below ceil(3N/4 - E/2) (E >= 3N/4) or
ceil(9N/16 - E/4).)");

  m.def("polar_encode", &polar_encode_py, "data"_a, "N"_a, "E"_a = py::none(),
        R"(polar_encode(data, N, E=None) -> code

data (..., K) bits 0 or 1 go to the positions of polar_construct(K, N, E), zeros
elsewhere, and each frame u becomes x = u F^(x)n mod 2, F = [[1, 0], [1, 1]], in natural
order. With E, the code is the one rate matched to E bits (polar_rate_match).
Returns (..., N).)");

  m.def("polar_decode", &polar_decode_py, "llr"_a, "K"_a, "N"_a, "L"_a = 1, "crc"_a = py::none(),
        "threads"_a = 0, "E"_a = py::none(),
        R"(polar_decode(llr, K, N, L=1, crc=None, threads=0, E=None) -> data

Successive cancellation (L = 1) or successive-cancellation list decoding (L = 2, 4, 8,
16 or 32) of frames of the polar code of polar_construct(K, N, E), with the min-sum
updates and path metrics that grow by |lambda| for each decision against the sign of
its value. With a CRC name ('24A', '24B', '24C', '16', '11', '8', '6') the last bits of
the K are its parity bits and the decoder returns the most likely path whose CRC holds,
else the most likely path.

llr      (..., N) LLRs ln(P(1)/P(0)): positive favours 1.
threads  threads to use, 0 (default) for every core.
E        the bits sent, for a code rate matched to E (llr from polar_rate_recover).

Returns (..., K) decided bits (float64), CRC bits included.)");

  m.def("polar_code_length", &polar_code_length_py, "K"_a, "E"_a, "link"_a = "downlink",
        R"(polar_code_length(K, E, link="downlink") -> N

The length N = 2^n of the polar code carrying K bits (CRC included) sent as E
(3GPP TS 38.212 5.3.1): n = max(min(n1, n2, n_max), 5) with n1 = ceil(log2 E), less one
where E <= (9/8) 2^(ceil(log2 E) - 1) and K/E < 9/16, n2 = ceil(log2 8K), and n_max 9
for "downlink", 10 for "uplink". Refuses E < K, E > 2^20 and K above the N chosen.)");

  m.def("polar_rate_match", &polar_rate_match_py, "code"_a, "K"_a, "E"_a, "interleave"_a = false,
        R"(polar_rate_match(code, K, E, interleave=False) -> out

The E bits sent of each frame of N polar code bits (code (..., N), N a power of two,
32 to 1024; values copied): the sub-block interleaver y_n = d_J(n), then repetition
(E >= N), puncturing (E < N, K/E <= 7/16: the first N - E bits of y left out) or
shortening (otherwise: the last N - E left out), then with interleave=True the
triangular coded-bit interleaver of the uplink. Returns (..., E).)");

  m.def("polar_rate_recover", &polar_rate_recover_py, "llr"_a, "K"_a, "N"_a, "interleave"_a = false,
        R"(polar_rate_recover(llr, K, N, interleave=False) -> llr_code

The soft inverse of polar_rate_match with the same K, N and interleave: llr (..., E)
received LLRs ln(P(1)/P(0)) go back to the code bits they were sent for, repetitions
added up; punctured bits get 0 and shortened ones -2**20 (certainly 0). Returns
(..., N) for polar_decode.)");
}

}  // namespace linkforge::python
