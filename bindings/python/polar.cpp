// 5G polar codes: polar_construct, polar_encode, polar_decode.
#include "linkforge/polar.hpp"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "binding.hpp"
#include "linkforge/checked.hpp"
#include "linkforge/crc.hpp"
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

py::array_t<std::int64_t> polar_construct_py(long long K, long long N) {
  const auto [k, n] = read_code(K, N);
  const auto info = polar_construct(k, n);
  py::array_t<std::int64_t> out(static_cast<py::ssize_t>(info.size()));
  std::copy(info.begin(), info.end(), out.mutable_data());
  return out;
}

py::array_t<double> polar_encode_py(py::handle data, long long N) {
  const Frames in = frames(data, "data");
  const auto [k, n] = read_code(static_cast<long long>(in.length()), N);
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
  polar_encode_frames(FrameView<const std::uint8_t>::row_major(bits.data(), F, k), n,
                      FrameView<std::uint8_t>::row_major(code.data(), F, n));
  OutFrames out = out_frames(in.lead, n);
  for (std::size_t f = 0; f < F; ++f)
    for (std::size_t i = 0; i < n; ++i) out.view(f, i) = code[f * n + i];
  return out.array;
}

py::array_t<double> polar_decode_py(py::handle llr, long long K, long long N, long long L,
                                    py::handle crc, long long threads) {
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
    polar_decode_frames(FrameView<const float>::row_major(values.data(), F, n), k, params,
                        FrameView<std::uint8_t>::row_major(bits.data(), F, k), python_interrupt());
  });
  OutFrames out = out_frames(in.lead, k);
  for (std::size_t f = 0; f < F; ++f)
    for (std::size_t i = 0; i < k; ++i) out.view(f, i) = bits[f * k + i];
  return out.array;
}

}  // namespace

void add_polar(py::module_& m) {
  m.def("polar_construct", &polar_construct_py, "K"_a, "N"_a,
        R"(polar_construct(K, N) -> positions

The sorted 0-based positions (int64) of the K information bits of the length-N polar
code (N a power of two, 32 to 1024): the K most reliable entries below N of the NR
reliability sequence (3GPP TS 38.212 Table 5.3.1.2-1).)");

  m.def("polar_encode", &polar_encode_py, "data"_a, "N"_a,
        R"(polar_encode(data, N) -> code

data (..., K) bits 0 or 1 go to the positions of polar_construct(K, N), zeros elsewhere,
and each frame u becomes x = u F^(x)n mod 2, F = [[1, 0], [1, 1]], in natural order.
Returns (..., N).)");

  m.def("polar_decode", &polar_decode_py, "llr"_a, "K"_a, "N"_a, "L"_a = 1, "crc"_a = py::none(),
        "threads"_a = 0,
        R"(polar_decode(llr, K, N, L=1, crc=None, threads=0) -> data

Successive cancellation (L = 1) or successive-cancellation list decoding (L = 2, 4, 8,
16 or 32) of frames of the polar code of polar_construct(K, N), with the min-sum
updates and path metrics that grow by |lambda| for each decision against the sign of
its value. With a CRC name ('24A', '24B', '24C', '16', '11', '8', '6') the last bits of
the K are its parity bits and the decoder returns the most likely path whose CRC holds,
else the most likely path.

llr      (..., N) LLRs ln(P(1)/P(0)): positive favours 1.
threads  threads to use, 0 (default) for every core.

Returns (..., K) decided bits (float64), CRC bits included.)");
}

}  // namespace linkforge::python
