// Counter-based random numbers: Philox4x32 with 10 rounds. The output for a key and a
// counter depends on nothing else, so a frame's data and noise come from (seed, point,
// frame, stream) whichever thread or process draws them, and in whatever order.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>

namespace linkforge::sim {

// The ziggurat's layers: a value of layer i whose magnitude u (24 bits, scaled by 2^-24) lies
// below edge[i] lies inside the layer's box and is u * width[i]; height[i] is the density
// at the layer's outer edge.
struct Ziggurat {
  static constexpr double kR = 3.442619855899;        // start of the tail
  static constexpr double kV = 9.91256303526217e-3;   // area of every layer
  std::array<double, 128> edge{}, width{}, height{};
  // ceil(edge[i]): the 24-bit magnitudes u < box[i] are those with u < edge[i].
  std::array<std::uint32_t, 128> box{};
  // width[i] in single precision, for the values drawn in bulk (Normals).
  std::array<float, 128> width_f{};
  // Layer i >= 1 outside its box: x from x_lo[i] to x_hi[i], the density from
  // height[i - 1] down to height[i], the chord between the two of slope slope[i]; the
  // density is convex there (shape 1: x_lo >= 1), concave (-1: x_hi <= 1) or neither (0).
  std::array<double, 128> x_lo{}, x_hi{}, slope{};
  std::array<int, 128> shape{};

  Ziggurat();

  // y against exp(-x^2 / 2), for x of layer i >= 1 outside its box and y between the
  // layer's heights, without the exponential: 1 below, -1 above, 0 when the bounds
  // cannot tell. A convex density lies below the chord and above its tangents at both
  // ends, a concave one the other way round; y clear of those lines by far more than
  // their rounding is decided.
  static constexpr double kMargin = 1e-12;
  int bounds(std::size_t i, double x, double y) const noexcept {
    if (shape[i] == 0) return 0;
    const double lo = x_lo[i], hi = x_hi[i];
    const double chord = height[i - 1] + (x - lo) * slope[i];
    const double from_lo = height[i - 1] * (1.0 - lo * (x - lo));
    const double from_hi = height[i] * (1.0 - hi * (x - hi));
    if (shape[i] > 0) {
      if (y > chord + kMargin) return -1;
      if (y < std::max(from_lo, from_hi) - kMargin) return 1;
    } else {
      if (y < chord - kMargin) return 1;
      if (y > std::min(from_lo, from_hi) + kMargin) return -1;
    }
    return 0;
  }

  // y < exp(-x^2 / 2), as the exponential answers, mostly without it.
  bool below_density(std::size_t i, double x, double y) const noexcept {
    const int b = bounds(i, x, y);
    return b != 0 ? b > 0 : y < std::exp(-0.5 * x * x);
  }
};

// The layers, computed once at start-up.
extern const Ziggurat kZiggurat;

class Philox {
 public:
  using Block = std::array<std::uint32_t, 4>;

  Philox(std::uint64_t seed, std::uint32_t point) noexcept
      : key_{static_cast<std::uint32_t>(seed) ^ (point * 0x9E3779B9u),
             static_cast<std::uint32_t>(seed >> 32) + point} {}

  // The block of four words at `counter`.
  Block operator()(Block counter) const noexcept {
    std::array<std::uint32_t, 2> key = key_;
    for (int round = 0; round < 10; ++round) {
      const std::uint64_t p0 = std::uint64_t{0xD2511F53} * counter[0];
      const std::uint64_t p1 = std::uint64_t{0xCD9E8D57} * counter[2];
      counter = {static_cast<std::uint32_t>(p1 >> 32) ^ counter[1] ^ key[0],
                 static_cast<std::uint32_t>(p1),
                 static_cast<std::uint32_t>(p0 >> 32) ^ counter[3] ^ key[1],
                 static_cast<std::uint32_t>(p0)};
      key[0] += 0x9E3779B9u;
      key[1] += 0xBB67AE85u;
    }
    return counter;
  }

  // The blocks at counters (lo, hi, stream, first + j) for j < kBatch, block j in
  // out[4j .. 4j + 3]: the same words as operator(), kBatch blocks side by side so that
  // the rounds run in vector registers.
  static constexpr std::size_t kBatch = 32;
  void batch(std::uint32_t lo, std::uint32_t hi, std::uint32_t stream, std::uint32_t first,
             std::uint32_t* out) const noexcept;

 private:
  std::array<std::uint32_t, 2> key_;
};

// The draws of one frame from one stream: block b of the stream at counter
// (frame low, frame high, stream, b).
class FrameStream {
 public:
  FrameStream(const Philox& philox, std::uint64_t frame, std::uint32_t stream) noexcept
      : philox_(philox), frame_(frame), stream_(stream) {}

  // The next 32 random bits.
  std::uint32_t bits() noexcept {
    if (used_ == words_.size()) refill();
    return words_[used_++];
  }

  // A uniform value in (0, 1) with 53 random bits.
  double uniform() noexcept {
    const std::uint64_t hi = bits() >> 5;  // 27 bits
    const std::uint64_t lo = bits() >> 6;  // 26 bits
    return (static_cast<double>((hi << 26) | lo) + 0.5) * 0x1p-53;
  }

  // A standard normal value: the ziggurat method of Marsaglia and Tsang with 128 layers,
  // from one word (the layer, the sign and a 24-bit magnitude). Nearly every draw
  // is a comparison and a multiplication; the rare draws past a layer's box use the
  // library's exponential and logarithm.
  double normal() noexcept;

  // A value of the tail beyond Ziggurat::kR (Marsaglia's method, two uniforms a try).
  double tail() noexcept {
    double a = 0, b = 0;
    do {
      a = -std::log(uniform()) / Ziggurat::kR;
      b = -std::log(uniform());
    } while (b + b < a * a);
    return Ziggurat::kR + a;
  }

  // Up to `most` (at least one) of the next words, straight from the buffer.
  std::span<const std::uint32_t> take(std::size_t most) noexcept {
    if (used_ == words_.size()) refill();
    const std::size_t m = std::min(most, words_.size() - used_);
    used_ += m;
    return {words_.data() + used_ - m, m};
  }

 private:
  void refill() noexcept {
    philox_.batch(static_cast<std::uint32_t>(frame_), static_cast<std::uint32_t>(frame_ >> 32),
                  stream_, next_, words_.data());
    next_ += static_cast<std::uint32_t>(Philox::kBatch);
    used_ = 0;
  }

  const Philox& philox_;
  std::uint64_t frame_;
  std::uint32_t stream_;
  std::uint32_t next_ = 0;  // the first block of the next batch
  std::array<std::uint32_t, 4 * Philox::kBatch> words_{};
  std::size_t used_ = 4 * Philox::kBatch;
};

// Standard normal values in bulk, value j from word j of one stream. A word that lands
// in its layer's box (all but about one in 36) gives its magnitude times the layer's
// width, in single precision. The ziggurat settles the others: a word of the wedge
// stream is the uniform of each one's wedge test, and the restart stream gives the
// tail's uniforms and the whole new draws (normal()) that replace the words the wedge
// test turns down, in the order of the words. So the values are the same on every path,
// however a frame's values are split over calls.
class Normals {
 public:
  // The wedge and restart streams of stream s: s | kWedge and s | kRestart.
  static constexpr std::uint32_t kWedge = 0x80000000u, kRestart = 0x40000000u;

  Normals(const Philox& philox, std::uint64_t frame, std::uint32_t stream) noexcept
      : words_(philox, frame, stream),
        wedge_(philox, frame, stream | kWedge),
        restart_(philox, frame, stream | kRestart) {}

  // The next n values.
  void draw(double* out, std::size_t n) noexcept;

 private:
  // The words outside their boxes so far and their places in out, settled in order.
  static constexpr std::size_t kPending = 64;
  void settle(double* out) noexcept;

  FrameStream words_, wedge_, restart_;
  std::array<std::uint32_t, kPending + 4 * Philox::kBatch + 16> word_{}, at_{};
  std::size_t pending_ = 0;
};

inline double FrameStream::normal() noexcept {
  const Ziggurat& z = kZiggurat;
  for (;;) {
    // One word: the layer in bits 0-6, the sign in bit 7, the magnitude in bits 8-31.
    const std::uint32_t word = bits();
    const std::size_t i = word & 127;
    const bool negative = ((word >> 7) & 1) != 0;
    const std::uint32_t u = word >> 8;
    const double x = static_cast<double>(u) * z.width[i];
    if (static_cast<double>(u) < z.edge[i]) return negative ? -x : x;
    if (i == 0) return negative ? -tail() : tail();
    // The wedge between the layer's box and the density.
    if (z.below_density(i, x, z.height[i] + uniform() * (z.height[i - 1] - z.height[i]))) {
      return negative ? -x : x;
    }
  }
}

}  // namespace linkforge::sim
