// Permutations and permuters: wcdma_permutation, space_link_permutation,
// spread_permutation, seeded_spread_permutation, interleave, deinterleave.
#include <climits>
#include <cmath>
#include <mutex>
#include <numeric>

#include "binding.hpp"
#include "linkforge/interleave.hpp"
#include "subsystems.hpp"

namespace linkforge::python {

namespace {

using namespace py::literals;

py::array_t<std::int64_t> wcdma_permutation(long long K) {
  if (K < kWcdmaMinLength || K > kWcdmaMaxLength) fail("K must be between 40 and 5114");
  std::vector<int> input(static_cast<std::size_t>(K));
  std::iota(input.begin(), input.end(), 0);
  std::vector<int> alpha(input.size());
  WcdmaPermutation(static_cast<int>(K), input, alpha);
  return to_index_array(alpha);
}

py::array_t<std::int64_t> space_link_permutation(long long K) {
  if (K > INT_MAX || !is_space_link_length(static_cast<int>(K))) {
    fail("K must be one of 1784, 3568, 7136 and 8920");
  }
  std::vector<int> alpha(static_cast<std::size_t>(K));
  SpaceLinkPermutation(static_cast<int>(K), alpha);
  return to_index_array(alpha);
}

// The generator of spread_permutation, seeded from the clock on first use and kept
// from call to call; one draw at a time.
Ran2State g_generator;
std::mutex g_generator_mutex;

py::array_t<std::int64_t> draw(long long length, long long S, Ran2State& generator) {
  if (length < 0) fail("Length must not be negative");
  if (length > INT_MAX) fail("Length is out of range");
  if (S < INT_MIN || S > INT_MAX) fail("S is out of range");
  const int Length = static_cast<int>(length);
  if (Length == 1 || (Length > 1 && S >= Length - 1)) {
    fail("no transposition can be accepted: Length must be at least 2 and S below Length - 1");
  }
  MemoryEstimate().values<int>(mul_sat(static_cast<std::uint64_t>(Length), 3)).require("the permutation");
  std::vector<int> alpha(static_cast<std::size_t>(Length));
  const std::int64_t draws = spread_draw_limit(Length);
  std::int64_t accepted = 0;
  without_gil([&] {
    accepted = SpreadPermutation(Length, static_cast<int>(S), alpha, generator, draws,
                                 python_interrupt());
  });
  if (accepted < 10 * std::int64_t{Length}) {
    fail("S is too large for Length: only " + std::to_string(accepted) + " of the " +
         std::to_string(10 * std::int64_t{Length}) + " transpositions were accepted in " +
         std::to_string(draws) + " draws");
  }
  return to_index_array(alpha);
}

py::array_t<std::int64_t> spread_permutation(long long Length, long long S) {
  std::unique_lock<std::mutex> lock(g_generator_mutex, std::defer_lock);
  without_gil([&] { lock.lock(); });
  return draw(Length, S, g_generator);
}

py::array_t<std::int64_t> seeded_spread_permutation(long long Length, long long S, long long seed) {
  if (seed < 1 || seed > 2147483562) fail("seed must be a whole number from 1 to 2147483562");
  Ran2State generator;
  seed_ran2(generator, static_cast<std::int32_t>(-seed));
  return draw(Length, S, generator);
}

using Permuter = void (*)(std::span<double>, std::span<const double>, std::span<const int>);

py::array_t<double> permute(py::handle input, py::handle alpha_code, Permuter permuter) {
  const Frames x = frames(input, "input");
  const Vector alpha_values = vector(alpha_code, "alpha_code");
  const std::size_t N = x.length();
  if (alpha_values.re.size() != N) fail("input and alpha_code must have the same length");
  MemoryEstimate().values<int>(N).values<double>(mul_sat(x.frames(), N)).require("the permutation");
  const std::vector<int> alpha = read_positions(alpha_values.re, "alpha_code");
  OutFrames out = out_frames(x.lead, N);
  std::fill_n(out.array.mutable_data(), out.array.size(), 0.0);
  without_gil([&] {
    std::vector<double> buffer;
    for (std::size_t f = 0; f < x.frames(); ++f) {
      if (N == 0) break;
      permuter({&out.view(f, 0), N}, frame_values(x.re, f, buffer), alpha);
    }
  });
  return out.array;
}

}  // namespace

void add_interleave(py::module_& m) {
  m.def("wcdma_permutation", &wcdma_permutation, "K"_a,
        R"(wcdma_permutation(K) -> ndarray (int64)

The 0-based internal interleaver of the 3GPP turbo code for K = 40..5114 bits:
interleaved[k] = data[alpha[k]].)");

  m.def("space_link_permutation", &space_link_permutation, "K"_a,
        R"(space_link_permutation(K) -> ndarray (int64)

The 0-based permutation of the CCSDS turbo code for K = 1784, 3568, 7136 or 8920.)");

  m.def("spread_permutation", &spread_permutation, "Length"_a, "S"_a,
        R"(spread_permutation(Length, S) -> ndarray (int64)

A spread (S-random) permutation of 0..Length-1 drawn from the module's generator,
seeded from the clock on first use and kept from call to call. Refused when S is too
large for Length to be reached.)");

  m.def("seeded_spread_permutation", &seeded_spread_permutation, "Length"_a, "S"_a, "seed"_a,
        R"(seeded_spread_permutation(Length, S, seed) -> ndarray (int64)

A spread (S-random) permutation of 0..Length-1 from a generator seeded with seed
(1 to 2147483562): the same seed gives the same permutation.)");

  m.def("interleave", [](py::handle input, py::handle alpha_code) {
          return permute(input, alpha_code, linkforge::interleave);
        }, "input"_a, "alpha_code"_a,
        R"(interleave(input, alpha_code) -> ndarray

output[..., k] = input[..., alpha_code[k]].

input       (..., N) values.
alpha_code  (N,) 0-based indices in 0..N-1 (repeats allowed).)");

  m.def("deinterleave", [](py::handle input, py::handle alpha_code) {
          return permute(input, alpha_code, linkforge::deinterleave);
        }, "input"_a, "alpha_code"_a,
        R"(deinterleave(input, alpha_code) -> ndarray

output[..., alpha_code[k]] = input[..., k], k increasing (the later k wins where an
index repeats; positions no entry names are 0). Undoes interleave.

input       (..., N) values.
alpha_code  (N,) 0-based indices in 0..N-1.)");
}

}  // namespace linkforge::python
