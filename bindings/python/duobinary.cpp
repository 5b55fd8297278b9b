// Double-binary circular codes: circular_pair_coder, circular_pair_posterior,
// circular_turbo_decode.
//
// Per-pair values are rows: a frame of N pairs is (N, 3) symbol values (k = 1..3 of
// pair t in row t) or (N, 2) bits; circular_turbo_decode takes the same values
// flattened, (..., 3N).
#include <climits>
#include <cmath>

#include "binding.hpp"
#include "linkforge/duobinary.hpp"
#include "linkforge/duobinary_turbo.hpp"
#include "linkforge/max_star.hpp"
#include "subsystems.hpp"

namespace linkforge::python {

namespace {

using namespace py::literals;

DuobinaryTrellis read_poly(py::handle value) {
  const Matrix poly = matrix(value, "poly");
  if (poly.rows != 2 || poly.cols != 4) {
    fail("poly must be (2, 4): two parity polynomials of 4 taps each");
  }
  for (const double v : poly.values) {
    if (!std::isfinite(v)) fail("poly must not contain NaN or Inf");
  }
  return DuobinaryTrellis(duobinary_generators(poly.values));
}

// Frames of (..., N, width) values, as frames of N*width values.
Frames pair_frames(py::handle value, const char* name, std::size_t width) {
  const Frames f = frames(value, name);
  if (f.single() || f.length() != width) {
    fail(std::string(name) + " must be (..., N, " + std::to_string(width) + "): one row per pair");
  }
  std::vector<py::ssize_t> shape = f.lead;
  shape.back() *= static_cast<py::ssize_t>(width);
  return frames(f.keep.attr("reshape")(as_tuple(shape)), name);
}

py::tuple circular_pair_coder(py::handle x_arg, py::handle poly) {
  const Frames x = frames(x_arg, "x");
  const DuobinaryTrellis trellis = read_poly(poly);
  if (x.length() % 2 != 0) fail("x must have even length: two bits per pair");
  const std::size_t N = x.length() / 2;
  if (!has_circulation_state(N)) {
    fail("the number of pairs in x is a multiple of 7 (or 0): such a block has no circulation state");
  }
  MemoryEstimate().values<double>(mul_sat(x.frames(), add_sat(2 * N, x.length()))).require("the encoder");
  for (std::size_t f = 0; f < x.frames(); ++f) {
    for (std::size_t k = 0; k < x.length(); ++k) {
      if (!std::isfinite(x.re(f, k))) fail("x must not contain NaN or Inf");
    }
  }
  OutFrames outz = out_frames(x.lead, 2 * N);
  py::array_t<std::int64_t> sc(x.lead);
  std::int64_t* s = sc.mutable_data();
  without_gil([&] {
    std::vector<double> buffer;
    for (std::size_t f = 0; f < x.frames(); ++f) {
      const std::span<const double> bits = frame_values(x.re, f, buffer);
      const int state = find_circular_state(bits);
      s[f] = state;
      duobinary_encode(bits, {&outz.view(f, 0), 2 * N}, trellis, state);
    }
  });
  return py::make_tuple(outz.array.attr("reshape")(as_tuple(shape_of(x.lead, {N, 2}))), sc);
}

py::tuple circular_pair_posterior(py::handle inx_arg, py::handle inz_arg, py::handle poly,
                                  long long dec_type) {
  const Frames inx = pair_frames(inx_arg, "inx", 3);
  const Frames inz = pair_frames(inz_arg, "inz", 3);
  if (inx.lead != inz.lead || inx.length() != inz.length()) {
    fail("inx and inz must have the same shape");
  }
  const DuobinaryTrellis trellis = read_poly(poly);
  const int type = read_max_star(dec_type, "dec_type");
  const std::size_t N = inx.length() / 3;
  MemoryEstimate()
      .bytes(duobinary_siso_bytes(N))
      .values<float>(mul_sat(N, 14))
      .values<double>(mul_sat(inx.frames(), mul_sat(N, 8)))
      .require("the decoder");
  refuse_bad_soft_values(inx.re, "inx");
  refuse_bad_soft_values(inz.re, "inz");
  OutFrames outx = out_frames(inx.lead, 3 * N);
  OutFrames outz = out_frames(inx.lead, 3 * N);
  OutFrames soft = out_frames(inx.lead, 2 * N);
  without_gil([&] {
    std::vector<float> x(3 * N), z(3 * N), ox(3 * N), oz(3 * N), os(2 * N);
    for (std::size_t f = 0; f < inx.frames(); ++f) {
      for (std::size_t k = 0; k < 3 * N; ++k) {
        x[k] = static_cast<float>(inx.re(f, k));
        z[k] = static_cast<float>(inz.re(f, k));
      }
      duobinary_siso(x, z, ox, oz, os, trellis, static_cast<MaxStar>(type), python_interrupt());
      for (std::size_t k = 0; k < 3 * N; ++k) {
        outx.view(f, k) = ox[k];
        outz.view(f, k) = oz[k];
      }
      for (std::size_t k = 0; k < 2 * N; ++k) soft.view(f, k) = os[k];
    }
  });
  return py::make_tuple(outx.array.attr("reshape")(as_tuple(shape_of(inx.lead, {N, 3}))),
                        outz.array.attr("reshape")(as_tuple(shape_of(inx.lead, {N, 3}))),
                        soft.array.attr("reshape")(as_tuple(shape_of(inx.lead, {N, 2}))));
}

py::array_t<double> circular_turbo_decode(py::handle Lx, py::handle Lz1, py::handle Lz2,
                                          py::handle poly, py::handle alpha_arg,
                                          py::handle swap_arg, long long iterations,
                                          long long dec_type, long long threads) {
  const Frames lx = frames(Lx, "Lx");
  const Frames lz1 = frames(Lz1, "Lz1");
  const Frames lz2 = frames(Lz2, "Lz2");
  const DuobinaryTrellis trellis = read_poly(poly);
  const Vector alpha_values = vector(alpha_arg, "alpha");
  const Vector swap_values = vector(swap_arg, "swap");
  const std::size_t values = lx.length();
  if (values % 3 != 0) fail("Lx must hold 3*N values per frame: three symbol values per pair");
  const std::size_t N = values / 3;
  if (lz1.lead != lx.lead || lz2.lead != lx.lead || lz1.length() != values ||
      lz2.length() != values) {
    fail("Lx, Lz1 and Lz2 must have the same shape");
  }
  if (alpha_values.re.size() != N) fail("alpha must hold N values, N = Lx.shape[-1] // 3");
  if (swap_values.re.size() != N) fail("swap must hold N values, N = Lx.shape[-1] // 3");
  DuobinaryTurboParams params;
  params.iterations = checked_range(iterations, 1, 1000, "iterations", "1 to 1000");
  params.max_star = static_cast<MaxStar>(read_max_star(dec_type, "dec_type"));
  params.threads = read_threads(threads);
  MemoryEstimate()
      .bytes(duobinary_turbo_decode_bytes(N, params.threads))
      .values<double>(mul_sat(lx.frames(), values))
      .require("the decoder");
  refuse_bad_soft_values(lx.re, "Lx");
  refuse_bad_soft_values(lz1.re, "Lz1");
  refuse_bad_soft_values(lz2.re, "Lz2");
  refuse_nan(swap_values.re, "swap");
  const std::vector<int> alpha = read_positions(alpha_values.re, "alpha");
  std::vector<std::uint8_t> swap(N);
  for (std::size_t j = 0; j < N; ++j) swap[j] = swap_values.re[j] != 0.0 ? 1 : 0;
  OutFrames app = out_frames(lx.lead, values);
  without_gil([&] {
    duobinary_turbo_decode({lx.re, lz1.re, lz2.re}, trellis, {alpha, swap}, params, app.view,
                           python_interrupt());
  });
  return app.array;
}

}  // namespace

void add_duobinary(py::module_& m) {
  m.def("circular_pair_coder", &circular_pair_coder, "x"_a, "poly"_a,
        R"(circular_pair_coder(x, poly) -> (outz, Sc)

Encodes pairs of bits with the eight-state double-binary circular recursive
systematic code, starting and ending in the circulation state.

x     (..., 2N) data bits, pair t = (A, B) = (x[2t], x[2t+1]); bit 0 of each value
      truncated toward zero is read. N must not be a multiple of 7.
poly  (2, 4) parity generators; column 0 taps the feedback bit.

Returns outz (..., N, 2) parity bits (row t: z0, z1 of step t) and Sc (...) int64,
the circulation state 0..7.)");

  m.def("circular_pair_posterior", &circular_pair_posterior, "inx"_a, "inz"_a, "poly"_a,
        "dec_type"_a,
        R"(circular_pair_posterior(inx, inz, poly, dec_type) -> (outx, outz, soft_bits)

Symbol-level soft-in/soft-out decoding of circular double-binary blocks. Values are
ln(P(u = k)/P(u = 0)), k = 1..3, u = 2A + B; bit values ln(P(1)/P(0)).

inx       (..., N, 3) values of the data symbols, row t for pair t.
inz       (..., N, 3) values of the parity symbols z = 2 z0 + z1.
poly      (2, 4) parity generators.
dec_type  max-star operator 0..4 (1 max-log, 4 exact log-MAP).

Returns outx and outz (..., N, 3) a-posteriori symbol values (they include the
inputs) and soft_bits (..., N, 2): bits A and B of each pair.)");

  m.def("circular_turbo_decode", &circular_turbo_decode, "Lx"_a, "Lz1"_a, "Lz2"_a, "poly"_a,
        "alpha"_a, "swap"_a, "iterations"_a, "dec_type"_a, "threads"_a = 0,
        R"(circular_turbo_decode(Lx, Lz1, Lz2, poly, alpha, swap, iterations, dec_type, threads=0) -> ndarray

Iterative decoding of a double-binary circular turbo code, many frames at once. Each
frame's result equals the loop of circular_pair_posterior, interleave and
deinterleave bit for bit.

Lx        (..., 3N) channel values of the data pairs: element 3t + k - 1 holds
          ln(P(u = k)/P(u = 0)) of pair t (circular_pair_posterior's (N, 3) values
          flattened).
Lz1, Lz2  (..., 3N) values of the parity symbols of the first and second code.
poly      (2, 4) parity generators.
alpha     (N,) 0-based pair permutation: the second code's pair j is data pair alpha[j].
swap      (N,) where nonzero, bits A and B of the second code's pair j are exchanged.
iterations  1 to 1000.
dec_type  max-star operator 0..4.
threads   threads to use, 0 (default) for every core.

Returns (..., 3N) a-posteriori values of the data pairs in natural order.)");
}

}  // namespace linkforge::python
