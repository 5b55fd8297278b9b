// Standard codes: crc_attach, crc_check, qpp_permutation.
#include <algorithm>
#include <string>
#include <vector>

#include "binding.hpp"
#include "linkforge/crc.hpp"
#include "linkforge/qpp.hpp"
#include "subsystems.hpp"

namespace linkforge::python {

namespace {

using namespace py::literals;

CrcName read_crc_name(py::handle name) {
  if (!py::isinstance<py::str>(name)) fail_type("name must be a str, one of " + crc_name_list());
  const std::string label = name.cast<std::string>();
  const auto crc = crc_name(label);
  if (!crc) fail("name '" + label + "' is not a CRC: use one of " + crc_name_list());
  return *crc;
}

py::array_t<double> crc_attach_py(py::handle data, py::handle name) {
  const Frames bits = frames(data, "data");
  const CrcName crc = read_crc_name(name);
  refuse_nan(bits.re, "data");
  const std::size_t n = bits.length() + static_cast<std::size_t>(crc_polynomial(crc).length);
  MemoryEstimate().values<double>(mul_sat(bits.frames(), n)).require("the output");
  OutFrames out = out_frames(bits.lead, n);
  without_gil([&] { crc_attach(crc, bits.re, out.view); });
  return out.array;
}

py::tuple crc_check_py(py::handle word, py::handle name) {
  const Frames bits = frames(word, "word");
  const CrcName crc = read_crc_name(name);
  refuse_nan(bits.re, "word");
  const auto L = static_cast<std::size_t>(crc_polynomial(crc).length);
  if (bits.length() < L) {
    fail("word must hold at least the " + std::to_string(L) + " parity bits of CRC '" +
         crc_polynomial(crc).label + "' per frame, not " + std::to_string(bits.length()));
  }
  MemoryEstimate()
      .values<double>(mul_sat(bits.frames(), bits.length() - L))
      .values<std::uint8_t>(mul_sat(bits.frames(), 2))
      .require("the check");
  OutFrames data = out_frames(bits.lead, bits.length() - L);
  std::vector<std::uint8_t> flags(bits.frames());
  without_gil([&] { crc_check(crc, bits.re, data.view, flags); });
  py::array_t<bool> ok(bits.lead);
  std::copy(flags.begin(), flags.end(), ok.mutable_data());
  return py::make_tuple(data.array, ok);
}

// The row of K, refusals raised with the kernel's text ("K = ... is not an LTE
// interleaver size; the nearest ...").
const QppParams& read_qpp(long long K) {
  try {
    return lte_qpp(K);
  } catch (const ArgumentError& e) {
    fail(e.what());
  }
}

py::array_t<std::int64_t> qpp_permutation_py(long long K) {
  const QppParams& p = read_qpp(K);
  MemoryEstimate().values<int>(static_cast<std::uint64_t>(p.K)).require("the permutation");
  std::vector<int> alpha(static_cast<std::size_t>(p.K));
  qpp_permutation(p.K, alpha);
  return to_index_array(alpha);
}

}  // namespace

void add_standards(py::module_& m) {
  m.def("crc_attach", &crc_attach_py, "data"_a, "name"_a,
        R"(crc_attach(data, name) -> word

Appends the parity bits of the 3GPP CRC `name` (TS 36.212 5.1.1, TS 38.212 5.1) to every
frame: the remainder of a(D) D^L divided by the generator of degree L, highest power
first (a register starting at zero, bits in order).

data  (..., A) bits 0 or 1 (any other value is refused); A may be 0.
name  '24A', '24B', '24C' (L = 24), '16', '11', '8' or '6' (L = the number).

Returns (..., A + L): each frame followed by its L parity bits.)");

  m.def("crc_check", &crc_check_py, "word"_a, "name"_a,
        R"(crc_check(word, name) -> (data, ok)

Strips the L parity bits of the 3GPP CRC `name` from every frame and checks them (see
crc_attach).

word  (..., A + L) bits 0 or 1, at least L per frame.
name  '24A', '24B', '24C', '16', '11', '8' or '6'.

Returns data (..., A), the first A bits of each frame, and ok (...) bool, True where
the last L bits are the parity bits of the data.)");

  m.def("qpp_permutation", &qpp_permutation_py, "K"_a,
        R"(qpp_permutation(K) -> alpha

The LTE turbo code internal interleaver (3GPP TS 36.212 5.1.3.2.3) for one of the 188
block sizes K of its Table 5.1.3-3 (40..6144; another K is refused, naming the sizes
next to it): alpha[j] = (f1*j + f2*j**2) mod K, 0-based, interleaved[j] =
data[alpha[j]]. Returns an int64 array of K entries for interleave, deinterleave and
turbo_decode.)");
}

}  // namespace linkforge::python
