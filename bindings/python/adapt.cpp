// Rate adaptation: puncture, depuncture, bit_count_adapt, bit_count_restore.
#include <cmath>

#include "binding.hpp"
#include "linkforge/adapt.hpp"
#include "subsystems.hpp"

namespace linkforge::python {

namespace {

using namespace py::literals;

// Counts of a pattern, truncated toward zero, column-major like the kernels read them.
struct Pattern {
  std::vector<int> counts;
  std::size_t rows = 0;
  long long sum = 0;
};

Pattern read_pattern(py::handle value, const char* name) {
  Pattern p;
  if (value.is_none()) return p;
  const Matrix m = matrix(value, name);
  if (m.cols == 0) return p;  // no columns: no pattern
  p.rows = m.rows;
  p.counts.resize(m.values.size());
  for (std::size_t i = 0; i < m.values.size(); ++i) {
    const double v = m.values[i];
    if (!std::isfinite(v)) fail(std::string(name) + " must hold finite counts");
    if (!(v > -2147483649.0 && v < 2147483648.0)) {
      fail(std::string(name) + " holds a count outside the int range");
    }
    p.counts[i] = static_cast<int>(v);
    p.sum += p.counts[i];
  }
  return p;
}

py::array_t<double> puncture_fn(py::handle input, py::handle pun_pattern, py::handle tail_pattern) {
  const Matrix x = matrix(input, "input");
  const Pattern pun = read_pattern(pun_pattern, "pun_pattern");
  const Pattern tail = read_pattern(tail_pattern, "tail_pattern");
  const std::size_t e = x.rows;
  if (pun.counts.empty()) fail("pun_pattern must not be empty");
  if (pun.rows != e) fail("pun_pattern must have as many rows as input");
  if (!tail.counts.empty() && tail.rows != e) fail("tail_pattern must have as many rows as input");
  if (tail.counts.size() / std::max<std::size_t>(e, 1) > x.cols) {
    fail("tail_pattern must not have more columns than input");
  }
  if (pun.sum == 0) fail("the counts of pun_pattern must not sum to 0");
  const PuncturedLength L = punctured_length(e, x.cols, pun.counts, tail.counts);
  if (L.expected < 0 || static_cast<std::uint64_t>(L.expected) != L.produced) {
    fail("negative counts: the patterns promise " + std::to_string(L.expected) +
         " values but the walk produces " + std::to_string(L.produced));
  }
  MemoryEstimate().values<double>(L.produced).require("the output");
  py::array_t<double> out(static_cast<py::ssize_t>(L.produced));
  puncture({out.mutable_data(), L.produced}, x.values, e, pun.counts, tail.counts);
  return out;
}

py::array_t<double> depuncture_fn(py::handle input, py::handle pun_pattern, py::handle tail_pattern) {
  const Vector x = vector(input, "input");
  const Pattern pun = read_pattern(pun_pattern, "pun_pattern");
  const Pattern tail = read_pattern(tail_pattern, "tail_pattern");
  const std::size_t e = pun.rows;
  if (pun.counts.empty()) fail("pun_pattern must not be empty");
  if (!tail.counts.empty() && tail.rows != e) {
    fail("tail_pattern must have as many rows as pun_pattern");
  }
  for (const Pattern* p : {&pun, &tail}) {
    for (const int c : p->counts) {
      if (c < 0) fail(p == &pun ? "pun_pattern must not hold negative counts"
                                : "tail_pattern must not hold negative counts");
    }
  }
  if (pun.sum == 0) fail("the counts of pun_pattern must not sum to 0");
  const std::size_t L = x.re.size();
  if (tail.sum > static_cast<long long>(L)) fail("input holds fewer values than tail_pattern takes");
  const DepuncturedShape shape = depunctured_shape(L, e, pun.counts, tail.counts);
  if (!shape.complete) fail("incomplete column of the puncturing pattern");
  MemoryEstimate().values<double>(mul_sat(shape.columns, mul_sat(e, 2))).require("the output");
  // The kernel fills the e x columns matrix column-major: a (columns, e) array row-major.
  std::vector<double> out(e * shape.columns);
  depuncture(out, x.re, e, pun.counts, tail.counts);
  py::array_t<double> result({static_cast<py::ssize_t>(e), static_cast<py::ssize_t>(shape.columns)});
  double* r = result.mutable_data();
  for (std::size_t i = 0; i < e; ++i) {
    for (std::size_t t = 0; t < shape.columns; ++t) r[i * shape.columns + t] = out[i + t * e];
  }
  return result;
}

BitCountPattern read_bit_count(long long X_i, long long e_ini, long long e_plus, long long e_minus) {
  const auto in_int = [](long long v, const char* name) {
    return checked_range(v, INT_MIN, INT_MAX, name, "within the int range");
  };
  return {in_int(X_i, "X_i"), in_int(e_ini, "e_ini"), in_int(e_plus, "e_plus"),
          in_int(e_minus, "e_minus")};
}

py::array_t<double> bit_count_adapt_fn(py::handle x_arg, long long X_i, long long e_ini,
                                       long long e_plus, long long e_minus) {
  const Frames x = frames(x_arg, "x");
  const BitCountPattern pattern = read_bit_count(X_i, e_ini, e_plus, e_minus);
  if (pattern.X_i < 0 || x.length() != static_cast<std::size_t>(pattern.X_i)) {
    fail("the length of x must be X_i");
  }
  const std::size_t Y = bit_count_kept(pattern);
  MemoryEstimate().values<double>(mul_sat(x.frames(), Y)).require("the output");
  OutFrames out = out_frames(x.lead, Y);
  std::vector<double> buffer;
  for (std::size_t f = 0; f < x.frames(); ++f) {
    bit_count_adapt({Y > 0 ? &out.view(f, 0) : nullptr, Y}, frame_values(x.re, f, buffer), pattern);
  }
  return out.array;
}

py::array_t<double> bit_count_restore_fn(py::handle x_arg, long long X_i, long long e_ini,
                                         long long e_plus, long long e_minus) {
  const Frames x = frames(x_arg, "x");
  const BitCountPattern pattern = read_bit_count(X_i, e_ini, e_plus, e_minus);
  if (pattern.X_i < 0) fail("X_i must not be negative");
  const std::size_t Y = bit_count_kept(pattern);
  if (x.length() != Y) fail("the length of x must be the number of positions X_i, e_ini, e_plus and e_minus keep (" + std::to_string(Y) + ")");
  const auto X = static_cast<std::size_t>(pattern.X_i);
  MemoryEstimate().values<double>(mul_sat(x.frames(), X)).require("the output");
  OutFrames out = out_frames(x.lead, X);
  std::vector<double> buffer;
  for (std::size_t f = 0; f < x.frames(); ++f) {
    bit_count_restore({X > 0 ? &out.view(f, 0) : nullptr, X}, frame_values(x.re, f, buffer), pattern);
  }
  return out.array;
}

}  // namespace

void add_adapt(py::module_& m) {
  m.def("puncture", &puncture_fn, "input"_a, "pun_pattern"_a, "tail_pattern"_a = py::none(),
        R"(puncture(input, pun_pattern, tail_pattern=None) -> ndarray

Punctures (and repeats) a code matrix by pattern.

input         (e, N) code matrix: row i is code bit i, column t step t
              (trellis_coder's output reshaped to (N, n) and transposed).
pun_pattern   (e, P) counts, truncated toward zero: 0 not sent, k > 0 sent k times;
              pattern column h covers the data columns t with t mod P = h.
tail_pattern  (e, T) counts for the last T columns, or None (or no columns) for none.
              With e = 4 rows 0-1 of every tail column go first, then rows 2-3.

Returns the sent values, column by column.)");

  m.def("depuncture", &depuncture_fn, "input"_a, "pun_pattern"_a, "tail_pattern"_a = py::none(),
        R"(depuncture(input, pun_pattern, tail_pattern=None) -> ndarray

Undoes puncture: rebuilds the (e, columns) matrix from the received values (1-D),
0 where nothing was sent and the sum of the copies where a value was sent repeatedly.
Counts must not be negative.)");

  m.def("bit_count_adapt", &bit_count_adapt_fn, "x"_a, "X_i"_a, "e_ini"_a, "e_plus"_a,
        "e_minus"_a,
        R"(bit_count_adapt(x, X_i, e_ini, e_plus, e_minus) -> ndarray

Punctures (..., X_i) values to the positions the 3GPP rate matching accumulator
keeps: for m = 1..X_i, e -= e_minus; the position stays when e > 0, else it is
removed and e += e_plus, starting from e = e_ini.)");

  m.def("bit_count_restore", &bit_count_restore_fn, "x"_a, "X_i"_a, "e_ini"_a, "e_plus"_a,
        "e_minus"_a,
        R"(bit_count_restore(x, X_i, e_ini, e_plus, e_minus) -> ndarray

Undoes bit_count_adapt: (..., Y) kept values back to (..., X_i), 0 at the removed
positions.)");
}

}  // namespace linkforge::python
