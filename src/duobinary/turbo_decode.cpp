#include <algorithm>
#include <stdexcept>
#include <vector>

#include "linkforge/checked.hpp"
#include "linkforge/duobinary_turbo.hpp"
#include "linkforge/parallel.hpp"

namespace linkforge {

namespace {

// Per-thread working arrays of one frame of N pairs (3N symbol values each).
struct Workspace {
  std::vector<double> x2, apriori, in1, in2, ext;
  std::vector<float> in_single, z1_single, z2_single, out, outz, soft;

  explicit Workspace(std::size_t N)
      : x2(3 * N), apriori(3 * N), in1(3 * N), in2(3 * N), ext(3 * N), in_single(3 * N),
        z1_single(3 * N), z2_single(3 * N), out(3 * N), outz(3 * N), soft(2 * N) {}
};

struct Tables {
  std::array<int, kDuobinaryTransitions> next{};
  std::array<int, kDuobinaryTransitions> word{};
};

// to[j] = from[alpha[j]] for the three values of each pair, u = 1 and u = 2 exchanged
// where swap[j] is set.
void interleave_pairs(const PairPermutation& p, std::span<const double> from, std::span<double> to) {
  for (std::size_t j = 0; j < p.alpha.size(); ++j) {
    const std::size_t t = static_cast<std::size_t>(p.alpha[j]);
    const bool swapped = p.swap[j] != 0;
    to[3 * j] = from[3 * t + (swapped ? 1 : 0)];
    to[3 * j + 1] = from[3 * t + (swapped ? 0 : 1)];
    to[3 * j + 2] = from[3 * t + 2];
  }
}

// The inverse: to[alpha[j]] = from[j], with the same exchanges.
void deinterleave_pairs(const PairPermutation& p, std::span<const double> from, std::span<double> to) {
  for (std::size_t j = 0; j < p.alpha.size(); ++j) {
    const std::size_t t = static_cast<std::size_t>(p.alpha[j]);
    const bool swapped = p.swap[j] != 0;
    to[3 * t] = from[3 * j + (swapped ? 1 : 0)];
    to[3 * t + 1] = from[3 * j + (swapped ? 0 : 1)];
    to[3 * t + 2] = from[3 * j + 2];
  }
}

void read_frame(const FrameView<const double>& view, std::size_t f, std::span<double> to) {
  for (std::size_t i = 0; i < to.size(); ++i) to[i] = view(f, i);
}

void to_single(std::span<const double> from, std::span<float> to) {
  for (std::size_t i = 0; i < from.size(); ++i) to[i] = static_cast<float>(from[i]);
}

void decode_frame(const DuobinaryTurboChannel& ch, std::size_t f, const Tables& tables,
                  const PairPermutation& perm, const DuobinaryTurboParams& params,
                  const FrameView<double>& app, Workspace& w, const Interrupt& interrupt) {
  const std::size_t values = w.x2.size();
  const int dec_type = static_cast<int>(params.max_star);
  // in1 holds x while the interleaved copy is made; the z values are fixed.
  read_frame(ch.x, f, w.in1);
  interleave_pairs(perm, w.in1, w.x2);
  for (std::size_t i = 0; i < values; ++i) {
    w.z1_single[i] = static_cast<float>(ch.z1(f, i));
    w.z2_single[i] = static_cast<float>(ch.z2(f, i));
  }
  std::fill(w.apriori.begin(), w.apriori.end(), 0.0);
  for (int it = 0; it < params.iterations; ++it) {
    for (std::size_t i = 0; i < values; ++i) w.in1[i] = ch.x(f, i) + w.apriori[i];
    to_single(w.in1, w.in_single);
    Duobinary_SISO_wtrellis(w.in_single, w.z1_single, w.out, w.outz, w.soft, tables.next,
                            tables.word, dec_type, interrupt);
    for (std::size_t i = 0; i < values; ++i) w.ext[i] = static_cast<double>(w.out[i]) - w.in1[i];
    interleave_pairs(perm, w.ext, w.in2);
    for (std::size_t i = 0; i < values; ++i) w.in2[i] = w.x2[i] + w.in2[i];
    to_single(w.in2, w.in_single);
    Duobinary_SISO_wtrellis(w.in_single, w.z2_single, w.out, w.outz, w.soft, tables.next,
                            tables.word, dec_type, interrupt);
    for (std::size_t i = 0; i < values; ++i) w.ext[i] = static_cast<double>(w.out[i]) - w.in2[i];
    deinterleave_pairs(perm, w.ext, w.apriori);
  }
  for (std::size_t i = 0; i < values; ++i) w.ext[i] = static_cast<double>(w.out[i]);
  deinterleave_pairs(perm, w.ext, w.in1);
  for (std::size_t i = 0; i < values; ++i) app(f, i) = w.in1[i];
}

}  // namespace

void duobinary_turbo_decode(const DuobinaryTurboChannel& channel,
                            const std::array<int, kDuobinaryGenerators>& generators,
                            const PairPermutation& permutation, const DuobinaryTurboParams& params,
                            const FrameView<double>& app, const Interrupt& interrupt) {
  const std::size_t F = channel.x.frames;
  const std::size_t N = permutation.alpha.size();
  const auto same_shape = [&](const auto& v) { return v.frames == F && v.length == 3 * N; };
  if (!same_shape(channel.x) || !same_shape(channel.z1) || !same_shape(channel.z2) ||
      !same_shape(app)) {
    throw std::invalid_argument(
        "duobinary_turbo_decode: the symbol values must be F x 3N, N the pairs of the permutation");
  }
  if (permutation.swap.size() != N) {
    throw std::invalid_argument("duobinary_turbo_decode: the exchanges must be N flags");
  }
  std::vector<bool> seen(N, false);
  for (const int a : permutation.alpha) {
    if (a < 0 || static_cast<std::size_t>(a) >= N || seen[static_cast<std::size_t>(a)]) {
      throw std::invalid_argument("duobinary_turbo_decode: alpha is not a permutation of 0..N-1");
    }
    seen[static_cast<std::size_t>(a)] = true;
  }
  if (params.iterations < 1) {
    throw std::invalid_argument("duobinary_turbo_decode: iterations must be at least 1");
  }
  if (!is_max_star_type(static_cast<int>(params.max_star))) {
    throw std::invalid_argument("duobinary_turbo_decode: unknown max-star operator");
  }
  if (F == 0 || N == 0) return;
  Tables tables;
  find_Duobinary_trellis(tables.next, tables.word, generators);
  const std::size_t workers = parallel_workers(F, params.threads);
  std::vector<Workspace> spaces;
  spaces.reserve(workers);
  for (std::size_t i = 0; i < workers; ++i) spaces.emplace_back(N);
  parallel_for(
      F, params.threads,
      [&](std::size_t f, std::size_t worker, const Interrupt& stop) {
        decode_frame(channel, f, tables, permutation, params, app, spaces[worker], stop);
      },
      interrupt);
}

std::uint64_t duobinary_turbo_decode_bytes(std::size_t pairs, int threads) noexcept {
  const std::uint64_t values = mul_sat(3, pairs);
  // Five double rows and six float rows of 3N (the last of 2N), and the decoder's own.
  std::uint64_t per_thread = add_sat(mul_sat(mul_sat(5, values), sizeof(double)),
                                     mul_sat(mul_sat(6, values), sizeof(float)));
  per_thread = add_sat(add_sat(per_thread, duobinary_siso_bytes(pairs)), sizeof(Workspace));
  const int t = thread_count(threads);
  return add_sat(add_sat(mul_sat(per_thread, static_cast<std::uint64_t>(t)), (pairs + 7) / 8 + 64),
                 parallel_for_bytes(t));
}

}  // namespace linkforge
