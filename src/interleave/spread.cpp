// Spread (S-random) permutations by accepted random transpositions, and the generator
// that draws them: L'Ecuyer's combined multiplicative congruential generator with a
// Bays-Durham shuffle ("ran2"), in 32-bit integer arithmetic with Schrage's
// factorisation so that no product overflows.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <stdexcept>

#include "linkforge/error.hpp"
#include "linkforge/interleave.hpp"

namespace linkforge {

namespace {

constexpr std::int32_t kIm1 = 2147483563;  // modulus of the first generator
constexpr std::int32_t kIm2 = 2147483399;  // modulus of the second generator
constexpr std::int32_t kImm1 = kIm1 - 1;
constexpr std::int32_t kIa1 = 40014;  // multipliers
constexpr std::int32_t kIa2 = 40692;
constexpr std::int32_t kIq1 = 53668;  // Schrage quotients, modulus / multiplier
constexpr std::int32_t kIq2 = 52774;
constexpr std::int32_t kIr1 = 12211;  // Schrage remainders, modulus % multiplier
constexpr std::int32_t kIr2 = 3791;
constexpr int kNtab = 32;
constexpr std::int32_t kNdiv = 1 + kImm1 / kNtab;
constexpr double kAm = 1.0 / kIm1;
constexpr double kRnmx = 1.0 - 1.2e-7;

// idum = (a * idum) mod m for 0 < idum; Schrage: both terms stay inside 32 bits.
constexpr std::int32_t lcg_step(std::int32_t idum, std::int32_t a, std::int32_t q, std::int32_t r,
                                std::int32_t m) {
  const std::int32_t k = idum / q;
  std::int32_t next = a * (idum - k * q) - k * r;
  if (next < 0) next += m;
  return next;
}

}  // namespace

double ran2(Ran2State& g) {
  if (g.first) {
    g.idum2 = 123456789;
    g.iy = 0;
    g.iv.fill(0);
  }
  if (g.idum <= 0) {
    // -idum with two's-complement wrap, so that the most negative int seeds as 1.
    const auto negated = static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(g.idum));
    g.idum = negated < 1 ? 1 : negated;
    g.idum2 = g.idum;
    for (int j = kNtab + 7; j >= 0; --j) {
      g.idum = lcg_step(g.idum, kIa1, kIq1, kIr1, kIm1);
      if (j < kNtab) g.iv[j] = g.idum;
    }
    g.iy = g.iv[0];
  }
  g.idum = lcg_step(g.idum, kIa1, kIq1, kIr1, kIm1);
  g.idum2 = lcg_step(g.idum2, kIa2, kIq2, kIr2, kIm2);
  if (g.iy < 0 || g.iy / kNdiv >= kNtab) {
    throw ArgumentError("ran2: the generator state selects no shuffle slot");
  }
  const std::int32_t j = g.iy / kNdiv;
  // In 64 bits: states that ran2 produced never leave the 32-bit range here.
  std::int64_t iy = std::int64_t{g.iv[j]} - g.idum2;
  g.iv[j] = g.idum;
  if (iy < 1) iy += kImm1;
  g.iy = static_cast<std::int32_t>(iy);
  const double temp = kAm * g.iy;
  return temp > kRnmx ? kRnmx : temp;
}

void seed_ran2(Ran2State& g, std::int32_t seed) {
  g.idum = seed;
  ran2(g);
  g.first = 0;
}

std::int32_t clock_seed() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#if defined(_WIN32)
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  return -(local.tm_mon + local.tm_mday + local.tm_hour + local.tm_min + local.tm_sec);
}

double genrand(Ran2State& g) {
  if (g.first) seed_ran2(g, clock_seed());
  return ran2(g);
}

std::int64_t spread_draw_limit(int Length) noexcept {
  const std::int64_t target = 10 * std::int64_t{Length > 0 ? Length : 0};
  return std::max(std::min(10000 * target, kMaxSpreadDraws), 100 * target);
}

namespace {

// True when `value` differs by at least S >= 1 from every out[j], lo <= j < hi. Blocks
// of 16 are tested without branches (the compiler turns them into vector compares);
// where a conflict lies inside a block does not matter.
bool spread_from(std::span<const int> out, std::int64_t lo, std::int64_t hi, int value, int S) {
  const int* v = out.data();
  std::int64_t j = lo;
  for (; j + 16 <= hi; j += 16) {
    int conflict = 0;
    for (int k = 0; k < 16; ++k) {
      const int d = value - v[j + k];
      conflict |= static_cast<int>(d < S) & static_cast<int>(d > -S);
    }
    if (conflict != 0) return false;
  }
  for (; j < hi; ++j) {
    const int d = value - v[j];
    if (d < S && d > -S) return false;
  }
  return true;
}

}  // namespace

std::int64_t SpreadPermutation(int Length, int S, std::span<int> out, Ran2State& state,
                               std::int64_t max_draws, const Interrupt& interrupt) {
  if (Length < 0) {
    throw ArgumentError("SpreadPermutation: Length out of range");
  }
  if (out.size() != static_cast<std::size_t>(Length)) {
    throw ArgumentError("SpreadPermutation: out must hold Length entries");
  }
  if (Length == 0) return 0;

  // Row-column start: every value of residue q modulo e in increasing order, then q + 1.
  const int e = static_cast<int>(std::floor(std::sqrt(static_cast<double>(Length))));
  std::size_t p = 0;
  for (int q = 0; p < out.size(); ++q) {
    for (std::int64_t v = q; v < Length; v += e) out[p++] = static_cast<int>(v);
  }

  // Window of position i: max(0, i - S) <= j < min(Length, i + S), empty for S <= 0.
  const std::int64_t reach = S > 0 ? (S < Length ? S : Length) : 0;
  const auto lo = [&](std::int64_t i) { return i - reach > 0 ? i - reach : 0; };
  const auto hi = [&](std::int64_t i) { return i + reach < Length ? i + reach : Length; };

  const std::int64_t target = 10 * std::int64_t{Length};
  std::int64_t accepted = 0;
  InterruptPacer pacer(interrupt);
  for (std::int64_t draws = 0; accepted < target && draws < max_draws; ++draws) {
    pacer.add(static_cast<std::uint64_t>(4 * reach + 2));
    const auto i1 = static_cast<int>(std::floor(Length * genrand(state)));
    const auto i2 = static_cast<int>(std::floor(Length * genrand(state)));
    if (i1 == i2) continue;
    // Positions at most S apart lie in each other's windows, where each moved value
    // meets itself: such a pair is always rejected.
    if (std::abs(std::int64_t{i1} - i2) <= reach) continue;
    const int val1 = out[i1];
    const int val2 = out[i2];
    if (!spread_from(out, lo(i1), hi(i1), val2, S)) continue;
    if (!spread_from(out, lo(i2), hi(i2), val1, S)) continue;
    out[i1] = val2;
    out[i2] = val1;
    ++accepted;
  }
  return accepted;
}

}  // namespace linkforge
