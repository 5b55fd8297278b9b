// Capacity estimates: capacity, info_rate_table.
#include <cmath>

#include "binding.hpp"
#include "linkforge/capacity.hpp"
#include "linkforge/modem.hpp"
#include "subsystems.hpp"

namespace linkforge::python {

namespace {

using namespace py::literals;

double capacity_fn(py::handle input, py::handle data) {
  const Frames in = frames(input, "input");
  const Vector bits = vector(data, "data");
  if (in.lead.size() > 1) fail("input must be (N,) bit LLRs or (N, M) symbol log-likelihoods");
  const std::size_t N = in.single() ? in.length() : in.frames();
  const std::size_t M = in.single() ? 1 : in.length();
  if (M == 0) fail("input must hold at least one value per symbol");
  if (N == 0) fail("input must hold at least one symbol");
  refuse_bad_soft_values(in.re, "input");
  std::vector<double> values;
  values.reserve(N * M);
  for (std::size_t j = 0; j < in.frames(); ++j) {
    for (std::size_t l = 0; l < in.length(); ++l) values.push_back(in.re(j, l));
  }
  double estimate = 0;
  if (M == 1) {
    if (bits.re.size() != N) fail("the number of bits must equal the number of symbols");
    without_gil([&] { estimate = capacity_binary(values, bits.re, python_interrupt()); });
  } else {
    const auto m = static_cast<std::size_t>(compute_bits_per_symbol(M));
    if (bits.re.size() != N * m) fail("data must hold m = floor(log2(M)) bits per symbol");
    for (std::size_t j = 0; j < N; ++j) {
      const double g = capacity_label(bits.re.subspan(j * m, m));
      if (!(g >= 0 && g < static_cast<double>(M))) fail("data bits give a label outside 0 to M-1");
    }
    without_gil([&] { estimate = capacity_symbol(values, M, bits.re, python_interrupt()); });
  }
  return estimate;
}

py::array_t<double> info_rate_table_fn(py::handle EsNo_AWGN, py::handle capacity_AWGN,
                                       py::handle slope, py::handle gamma) {
  const Vector E = vector(EsNo_AWGN, "EsNo_AWGN");
  const Vector C = vector(capacity_AWGN, "capacity_AWGN");
  const Vector D = vector(slope, "slope");
  if (C.re.size() != E.re.size()) fail("EsNo_AWGN and capacity_AWGN must have the same length");
  if (D.re.size() + 1 != E.re.size()) fail("slope must hold one value fewer than EsNo_AWGN");
  const Frames g = frames(gamma, "gamma");
  const std::size_t R = g.frames(), K = g.length();
  MemoryEstimate().values<double>(add_sat(mul_sat(R, K), R)).require("the table lookup");
  // The kernel reads gamma column-major, R x K.
  std::vector<double> values(R * K);
  for (std::size_t i = 0; i < R; ++i) {
    for (std::size_t j = 0; j < K; ++j) values[i + j * R] = g.re(i, j);
  }
  py::array_t<double> out(g.lead);
  const std::span<double> o(out.mutable_data(), R);
  without_gil([&] { info_rate_table(E.re, C.re, D.re, values, o, python_interrupt()); });
  return out;
}

}  // namespace

void add_capacity(py::module_& m) {
  m.def("capacity", &capacity_fn, "input"_a, "data"_a,
        R"(capacity(input, data) -> float

Estimates the capacity of a channel from simulated likelihoods and the sent bits.

input  (N,) bit LLRs ln(P(1)/P(0)) (binary form), or (N, M) symbol log-likelihoods,
       M >= 2, row j for symbol j as plane_metrics returns them (symbol form).
data   the sent bits, 1-D: N bits (a value above 0 counts as 1), or N*m bits of 0
       and 1, m = floor(log2(M)), symbol j's label most significant bit first.

Returns the estimate in bits per channel use (NaN for no symbols).)");

  m.def("info_rate_table", &info_rate_table_fn, "EsNo_AWGN"_a, "capacity_AWGN"_a, "slope"_a,
        "gamma"_a,
        R"(info_rate_table(EsNo_AWGN, capacity_AWGN, slope, gamma) -> ndarray

Capacity of faded channels by piecewise-linear lookup in a table of the unfaded one.

EsNo_AWGN      (T,) ratios of the table, increasing.
capacity_AWGN  (T,) capacities at those ratios.
slope          (T-1,) slopes between neighbouring table points.
gamma          (..., K) ratios: the K ratios of each frame are looked up and summed.

Returns (...) the sums (not means) of the capacities.)");
}

}  // namespace linkforge::python
