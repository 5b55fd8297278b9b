// Puncturing and repetition by pattern with a separate tail pattern, and its soft
// inverse.
#include <algorithm>
#include <limits>
#include <stdexcept>
#include <string>

#include "linkforge/adapt.hpp"
#include "linkforge/checked.hpp"
#include "linkforge/error.hpp"

namespace linkforge {

namespace {

constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();

std::int64_t add_sat_signed(std::int64_t a, std::int64_t b) noexcept {
  if (b > 0 && a > kMax - b) return kMax;
  if (b < 0 && a < kMin - b) return kMin;
  return a + b;
}

std::int64_t mul_sat_signed(std::uint64_t q, std::int64_t s) noexcept {
  const std::uint64_t magnitude = s < 0 ? 0 - static_cast<std::uint64_t>(s) : s;
  const std::uint64_t product = mul_sat(q, magnitude);
  if (product > static_cast<std::uint64_t>(kMax)) return s < 0 ? kMin : kMax;
  const auto value = static_cast<std::int64_t>(product);
  return s < 0 ? -value : value;
}

std::int64_t sum(std::span<const int> counts) noexcept {
  std::int64_t total = 0;
  for (const int c : counts) total = add_sat_signed(total, c);
  return total;
}

std::uint64_t positive_sum(std::span<const int> counts) noexcept {
  std::uint64_t total = 0;
  for (const int c : counts) {
    if (c > 0) total = add_sat(total, static_cast<std::uint64_t>(c));
  }
  return total;
}

// Columns of an e-row pattern; throws unless it consists of whole columns.
template <class T>
std::size_t pattern_columns(std::size_t e, std::span<const T> pattern, const char* what) {
  if (e == 0) throw ArgumentError("puncturing: a code matrix needs at least one row");
  if (pattern.size() % e != 0) {
    throw ArgumentError(std::string("puncturing: ") + what + " is not e rows of columns");
  }
  return pattern.size() / e;
}

struct PunctureLayout {
  std::size_t P, T, D, Q, R;
};

PunctureLayout puncture_layout(std::size_t e, std::size_t N, std::span<const int> pun_pattern,
                               std::span<const int> tail_pattern) {
  PunctureLayout l{};
  l.P = pattern_columns<int>(e, pun_pattern, "pun_pattern");
  l.T = pattern_columns<int>(e, tail_pattern, "tail_pattern");
  if (l.P == 0) throw ArgumentError("puncturing: pun_pattern has no columns");
  if (l.T > N) throw ArgumentError("puncturing: the tail is longer than the block");
  l.D = N - l.T;
  l.Q = l.D / l.P;
  l.R = l.D % l.P;
  return l;
}

void check_depuncture_counts(std::span<const int> counts) {
  for (const int c : counts) {
    if (c < 0) throw ArgumentError("depuncturing: counts must not be negative");
  }
}

}  // namespace

PuncturedLength punctured_length(std::size_t e, std::size_t N, std::span<const int> pun_pattern,
                                 std::span<const int> tail_pattern) {
  const PunctureLayout l = puncture_layout(e, N, pun_pattern, tail_pattern);
  const std::span<const int> leftover = pun_pattern.first(e * l.R);
  PuncturedLength length{};
  length.expected = add_sat_signed(
      add_sat_signed(mul_sat_signed(l.Q, sum(pun_pattern)), sum(leftover)), sum(tail_pattern));
  const std::uint64_t produced =
      add_sat(add_sat(mul_sat(l.Q, positive_sum(pun_pattern)), positive_sum(leftover)),
              positive_sum(tail_pattern));
  // Saturates at the same value as `expected`, so that an unrepresentable length is not
  // mistaken for a mismatch.
  length.produced = std::min(produced, static_cast<std::uint64_t>(kMax));
  return length;
}

void puncture(std::span<double> output, std::span<const double> input, std::size_t e,
              std::span<const int> pun_pattern, std::span<const int> tail_pattern) {
  const std::size_t N = pattern_columns<double>(e, input, "input");
  const PunctureLayout l = puncture_layout(e, N, pun_pattern, tail_pattern);
  if (output.size() != punctured_length(e, N, pun_pattern, tail_pattern).produced) {
    throw ArgumentError("puncture: output does not hold the values produced");
  }

  std::size_t w = 0;
  const auto emit = [&](double value, int count) {
    for (int c = 0; c < count; ++c) output[w++] = value;
  };
  // Periodic part: the pattern index wraps after e*P elements, so pattern row r stays
  // on input row r and pattern column h on columns h, h + P, h + 2P, ...
  const std::size_t period = e * l.P;
  std::size_t i = 0;
  for (std::size_t j = 0; j < e * l.D; ++j) {
    emit(input[j], pun_pattern[i]);
    if (++i == period) i = 0;
  }
  const std::span<const double> tail = input.subspan(e * l.D);
  if (e != 4) {
    for (std::size_t m = 0; m < e * l.T; ++m) emit(tail[m], tail_pattern[m]);
    return;
  }
  for (const std::size_t first_row : {std::size_t{0}, std::size_t{2}}) {
    for (std::size_t h = 0; h < l.T; ++h) {
      for (std::size_t row = first_row; row < first_row + 2; ++row) {
        emit(tail[4 * h + row], tail_pattern[4 * h + row]);
      }
    }
  }
}

DepuncturedShape depunctured_shape(std::size_t L, std::size_t e, std::span<const int> pun_pattern,
                                   std::span<const int> tail_pattern) {
  const std::size_t P = pattern_columns<int>(e, pun_pattern, "pun_pattern");
  const std::size_t T = pattern_columns<int>(e, tail_pattern, "tail_pattern");
  if (P == 0) throw ArgumentError("depuncturing: pun_pattern has no columns");
  check_depuncture_counts(pun_pattern);
  check_depuncture_counts(tail_pattern);
  const std::uint64_t S = positive_sum(pun_pattern);
  const std::uint64_t U = positive_sum(tail_pattern);
  if (S == 0) throw ArgumentError("depuncturing: pun_pattern sends nothing");
  if (U > L) throw ArgumentError("depuncturing: the tail needs more values than given");

  DepuncturedShape shape{};
  const std::uint64_t Q = (L - U) / S;
  const std::uint64_t V = L - U - Q * S;  // below S
  std::uint64_t total = 0;
  std::uint64_t K = 0;
  while (total < V && K < P) {
    for (std::size_t r = 0; r < e; ++r) total += static_cast<std::uint64_t>(pun_pattern[K * e + r]);
    if (total > V) return shape;
    ++K;
  }
  shape.complete = true;
  shape.periods = Q;
  shape.leftover_columns = K;
  shape.columns = add_sat(add_sat(mul_sat(Q, P), K), T);
  return shape;
}

void depuncture(std::span<double> output, std::span<const double> input, std::size_t e,
                std::span<const int> pun_pattern, std::span<const int> tail_pattern) {
  const DepuncturedShape shape = depunctured_shape(input.size(), e, pun_pattern, tail_pattern);
  if (!shape.complete) {
    throw ArgumentError("depuncture: incomplete column of the puncturing pattern");
  }
  if (output.size() != mul_sat(e, shape.columns)) {
    throw ArgumentError("depuncture: output does not hold e*columns values");
  }
  std::fill(output.begin(), output.end(), 0.0);

  // Every sent copy is added in the order it was received, starting from 0.
  std::size_t next = 0;
  const auto take = [&](std::size_t position, int count) {
    for (int c = 0; c < count; ++c) output[position] += input[next++];
  };
  const std::size_t period = pun_pattern.size();
  std::size_t base = 0;
  for (std::uint64_t q = 0; q < shape.periods; ++q, base += period) {
    for (std::size_t m = 0; m < period; ++m) take(base + m, pun_pattern[m]);
  }
  for (std::size_t m = 0; m < e * shape.leftover_columns; ++m) take(base + m, pun_pattern[m]);
  base += e * shape.leftover_columns;
  const std::size_t T = tail_pattern.size() / e;
  if (e != 4) {
    for (std::size_t m = 0; m < e * T; ++m) take(base + m, tail_pattern[m]);
    return;
  }
  for (const std::size_t first_row : {std::size_t{0}, std::size_t{2}}) {
    for (std::size_t h = 0; h < T; ++h) {
      for (std::size_t row = first_row; row < first_row + 2; ++row) {
        take(base + 4 * h + row, tail_pattern[4 * h + row]);
      }
    }
  }
}

}  // namespace linkforge
