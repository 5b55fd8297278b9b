#include <stdexcept>

#include "linkforge/bits.hpp"
#include "linkforge/conv.hpp"
#include "linkforge/error.hpp"

namespace linkforge {

EncoderTail encoder_tail(const Trellis& trellis, CodeType type) {
  EncoderTail tail{type, {}};
  if (type == CodeType::kTailBiting) return tail;
  tail.inputs.assign(static_cast<std::size_t>(trellis.num_states), 0);
  if (type == CodeType::kRecursive) {
    // Feeding the feedback bit as data makes the entering register bit 0, so m such
    // steps reach state 0. Row 0 of the generator is the feedback polynomial.
    for (int s = 0; s < trellis.num_states; ++s)
      tail.inputs[s] = parity_counter(s & trellis.g[0], trellis.m);
  }
  return tail;
}

std::size_t trellis_encode_length(const Trellis& trellis, std::size_t L, CodeType type) {
  const std::size_t steps =
      type == CodeType::kTailBiting ? L : L + static_cast<std::size_t>(trellis.m);
  return steps * static_cast<std::size_t>(trellis.n);
}

void trellis_encode(std::span<int> output, std::span<const int> data, const Trellis& trellis,
                    const EncoderTail& tail) {
  const auto S = static_cast<std::size_t>(trellis.num_states);
  const auto n = static_cast<std::size_t>(trellis.n);
  const auto m = static_cast<std::size_t>(trellis.m);
  const std::size_t L = data.size();
  const bool tail_biting = tail.type == CodeType::kTailBiting;
  if (!tail_biting && tail.inputs.size() < S) {
    throw ArgumentError("tail inputs shorter than the states");
  }
  if (tail_biting && L < m) {
    throw ArgumentError("tail-biting block shorter than the code memory");
  }
  if (output.size() != trellis_encode_length(trellis, L, tail.type)) {
    throw ArgumentError("output length does not match the block");
  }

  int state = 0;
  if (tail_biting) {
    // A feed-forward register holds the last m inputs, so the block's end state is
    // reached from any state by its last m data bits.
    for (std::size_t k = L - m; k < L; ++k) {
      state = data[k] ? trellis.next1[state] : trellis.next0[state];
    }
  }
  const auto step = [&](std::size_t k, int bit) {
    const int word = bit ? trellis.out1[state] : trellis.out0[state];
    state = bit ? trellis.next1[state] : trellis.next0[state];
    itob(output.subspan(k * n, n), word);
  };
  for (std::size_t k = 0; k < L; ++k) step(k, data[k] != 0);
  if (!tail_biting) {
    for (std::size_t k = L; k < L + m; ++k) step(k, tail.inputs[state] != 0);
  }
}

}  // namespace linkforge
