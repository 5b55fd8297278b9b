#include "link.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>
#include <random>
#include <stdexcept>

#include "channel.hpp"
#include "frame_ops.hpp"
#include "linkforge/adapt.hpp"
#include "linkforge/checked.hpp"
#include "linkforge/conv.hpp"
#include "linkforge/duobinary.hpp"
#include "linkforge/duobinary_turbo.hpp"
#include "linkforge/interleave.hpp"
#include "linkforge/ldpc.hpp"
#include "linkforge/ldpc_batch.hpp"
#include "linkforge/memory.hpp"
#include "linkforge/modem.hpp"
#include "linkforge/trellis.hpp"
#include "linkforge/turbo.hpp"
#include "linkforge/viterbi.hpp"

namespace linkforge::sim {

namespace {

// Streams of a frame's draws.
constexpr std::uint32_t kDataStream = 0;
constexpr std::uint32_t kNoiseStream = 1;

// The code-rate option: `given`, or the link's own rate when empty, checked against the
// rates the link can do.
std::string check_rate(const std::string& given, const std::vector<std::string>& known,
                       const std::string& link) {
  if (given.empty()) return known.front();
  for (const std::string& r : known) {
    if (given == r) return r;
  }
  std::string list;
  for (const std::string& r : known) list += (list.empty() ? "" : " or ") + r;
  throw std::invalid_argument("the " + link + " link does rate " + list + ", not '" + given + "'");
}

// A frame's L data bits from its data stream, 32 to a word, least significant first.
template <class Bit>
void draw_bits(const Philox& philox, std::uint64_t frame, Bit* out, std::size_t L) {
  FrameStream bits(philox, frame, kDataStream);
  std::uint32_t word = 0;
  for (std::size_t k = 0; k < L; ++k) {
    if (k % 32 == 0) word = bits.bits();
    out[k] = static_cast<Bit>((word >> (k % 32)) & 1);
  }
}

// The rate-1/3 turbo code of the cellular standard's shape: two 8-state recursive
// systematic codes (feedback 13, parity 15 in octal), the second fed through the
// cellular permutation, each terminated, or the same punctured to rate 1/2 (the
// systematic bits always, the two parity streams alternately; the 12 tail bits whole);
// the whole turbo decoder. The code bits go out step by step (systematic, parity 1,
// parity 2), then the two tails.
//
// A frame's data stay the 32-bit words drawn for them; both encoders run eight steps a
// table look-up into code bits packed 8 to a byte, in the order they are sent; the
// channel draws the frame's noise (BPSK over AWGN) or forms its values in that order
// into a row, and every 8 frames the rows are turned into the decoder's column-major
// input (frame index fastest), which it loads lane by lane without gathering; BPSK
// noise becomes the ratios on the way. The decisions are checked against the data words a
// word at a time.
class TurboLink final : public Link {
 public:
  explicit TurboLink(const LinkOptions& options)
      : o_(options), channel_(options.modulation, options.channel) {
    if (o_.decoder.empty()) o_.decoder = "exact";
    o_.rate = check_rate(o_.rate, {"1/3", "1/2"}, "turbo");
    const LinkOptions& o = o_;
    if (o.K < 40 || o.K > 5114) {
      throw std::invalid_argument("the turbo link takes K from 40 to 5114 bits (the cellular permutation)");
    }
    if (o.iterations < 1 || o.iterations > 1000) throw std::invalid_argument("iterations must be 1 to 1000");
    if (o.decoder != "exact" && o.decoder != "max-log") {
      throw std::invalid_argument("the decoder must be exact or max-log, not '" + o.decoder + "'");
    }
    const std::vector<double> g = {1, 1, 0, 1, 1, 0, 1, 1};  // [1 0 1 1; 1 1 0 1]
    trellis_ = make_trellis(generator_polynomials(g, 2, 4), 4, true);
    std::vector<int> positions(o.K);
    std::iota(positions.begin(), positions.end(), 0);
    alpha_.resize(o.K);
    WcdmaPermutation(static_cast<int>(o.K), positions, alpha_);
    tail_ = encoder_tail(trellis_, CodeType::kRecursive);
    // Each state's two branches: the next state above the two code bits.
    const auto S = static_cast<std::size_t>(trellis_.num_states);
    step_.resize(2 * S);
    for (std::size_t st = 0; st < S; ++st) {
      step_[2 * st] = trellis_.next0[st] << 2 | trellis_.out0[st];
      step_[2 * st + 1] = trellis_.next1[st] << 2 | trellis_.out1[st];
    }
    // Eight steps from each state: the next state, then code bit 0 and code bit 1 of the
    // eight steps (8 bits each, the first step lowest).
    steps8_.resize(256 * S);
    for (std::size_t st = 0; st < S; ++st) {
      for (std::uint32_t in = 0; in < 256; ++in) {
        std::uint32_t state = static_cast<std::uint32_t>(st), bit0 = 0, bit1 = 0;
        for (std::uint32_t j = 0; j < 8; ++j) {
          const auto w = static_cast<std::uint32_t>(step_[2 * state + ((in >> j) & 1)]);
          bit0 |= ((w >> 1) & 1) << j;
          bit1 |= (w & 1) << j;
          state = w >> 2;
        }
        steps8_[256 * st + in] = state << 16 | bit0 << 8 | bit1;
      }
    }
    // The 8 bits of a byte spread to every third bit.
    for (std::uint32_t b = 0; b < 256; ++b) {
      for (std::uint32_t j = 0; j < 8; ++j) spread_[b] |= ((b >> j) & 1) << (3 * j);
    }
    // Where each value of a frame's row goes in the decoder's input: position 3k + s of
    // the steps to row k of ys, yp1 or yp2 (s = 0, 1, 2), tail value t to row t of ytail;
    // the four one after the other (rows of every frame's values).
    const std::size_t L = o.K;
    row_of_.resize(3 * L + 4 * kMemory);
    for (std::size_t p = 0; p < row_of_.size(); ++p) {
      row_of_[p] = static_cast<std::uint32_t>(p < 3 * L ? (p % 3) * L + p / 3 : p);
    }
    params_.iterations = o.iterations;
    params_.max_star = o.decoder == "exact" ? MaxStar::kExact : MaxStar::kMaxLog;
    params_.threads = 1;  // the simulator spreads chunks over threads
  }

  std::size_t info_bits() const override { return o_.K; }
  std::vector<double> rates() const override {
    const double K = static_cast<double>(o_.K);
    return {K / ((punctured() ? 2 : 3) * K + 12)};
  }
  std::uint64_t chunk_bytes(std::size_t frames) const override {
    // The decoder's working memory and iteration counts, then the decoder's input, app
    // (doubles) and the data words of every frame, and 8 frames' rows and one frame's
    // encoding arrays.
    const CallMemory decoder = turbo_decode_memory(o_.K, 4, params_, frames, 0);
    const std::uint64_t per_frame =
        4 * sizeof(double) * o_.K + sizeof(int) * o_.K + 12 * sizeof(double);
    return add_sat(add_sat(decoder.working, mul_sat(per_frame, frames)),
                   64 * sizeof(double) * o_.K);
  }
  std::vector<std::string> labels() const override {
    return {std::string(o_.decoder == "exact" ? "log-MAP" : "max-log") + " R=" + o_.rate};
  }

  void run(const Philox& philox, double ebn0_db, std::uint64_t first, std::size_t count,
           ChunkCounts& counts) override {
    const std::size_t L = o_.K, m = kMemory, words = (L + 31) / 32;
    const std::size_t n = 3 * L + 4 * m;         // a frame's row
    const std::size_t stride = (n + 7) / 8 * 8;  // rows on whole vectors
    const double rate = rates()[0];
    if (input_.size() < count * n) input_.resize(count * n);
    if (app_.size() < count * L) app_.resize(count * L);
    if (data_.size() < count * words) data_.resize(count * words);
    rows_.resize(8 * stride);
    const std::size_t bytes = (n + 7) / 8;  // a frame's code bits
    code_.resize(8 * bytes);
    BpskRatios ratios{code_.data(), bytes, 0.0, 0.0};
    bool raw = false;  // the rows hold noise, turned into ratios on the way into the columns
    for (std::size_t f = 0; f < count; ++f) {
      std::uint32_t* data = data_.data() + f * words;
      FrameStream bits(philox, first + f, kDataStream);
      for (std::size_t w = 0; w < words; ++w) data[w] = bits.bits();
      std::uint8_t* code = code_.data() + (f % 8) * bytes;
      encode(data, code);
      double* row = rows_.data() + (f % 8) * stride;
      if (punctured()) {
        send_punctured(philox, first + f, ebn0_db, rate, code, row);
      } else {
        raw = channel_.bpsk_noise(philox, first + f, kNoiseStream, ebn0_db, rate, n, row, ratios.sigma, ratios.scale);
        if (!raw) channel_.transmit(philox, first + f, kNoiseStream, ebn0_db, rate, params_.max_star, code, n, row);
      }
      if (f % 8 == 7) {
        rows_to_columns(rows_.data(), stride, 8, n, row_of_.data(), count, input_.data() + f - 7,
                        raw ? &ratios : nullptr);
      }
    }
    if (count % 8 != 0) {
      rows_to_columns(rows_.data(), stride, count % 8, n, row_of_.data(), count, input_.data() + count / 8 * 8,
                      raw ? &ratios : nullptr);
    }
    using View = FrameView<const double>;
    const double* in = input_.data();
    const TurboChannel ch{View::column_major(in, count, L), View::column_major(in + count * L, count, L),
                          View::column_major(in + 2 * count * L, count, L),
                          View::column_major(in + 3 * count * L, count, 4 * m)};
    TurboResults results;
    results.app = FrameView<double>::row_major(app_.data(), count, L);
    turbo_decode(ch, trellis_, alpha_, params_, results);
    counts.bit_errors.resize(count);
    for (std::size_t f = 0; f < count; ++f) {
      counts.bit_errors[f] = bit_errors(app_.data() + f * L, data_.data() + f * words, L);
    }
  }

 private:
  static constexpr std::size_t kMemory = 3;
  // Rate 1/2: the systematic stream always, parity 1 at even steps, parity 2 at odd
  // ones (3 x 2, column-major).
  static constexpr int kPattern[] = {1, 1, 0, 1, 0, 1};
  bool punctured() const { return o_.rate == "1/2"; }

  // The code bits of the data bits in `data` (bit k: bit k % 32 of data[k / 32]) into
  // code, packed 8 to a byte in the order they are sent unpunctured: per step the
  // systematic bit, parity 1 and parity 2, then the tails of encoder 1 and 2 (both
  // code bits of each tail step). What trellis_encode gives, two encoders side by side.
  void encode(const std::uint32_t* data, std::uint8_t* code) {
    const std::size_t L = o_.K, m = kMemory;
    const auto byte = [](const std::uint32_t* w, std::size_t i) { return (w[i / 4] >> (8 * (i % 4))) & 0xFF; };
    interleaved_.resize((L + 31) / 32);
    permute_bits(data, alpha_.data(), L, interleaved_.data());
    std::fill_n(code, (3 * L + 4 * m + 7) / 8, 0);
    std::uint32_t s1 = 0, s2 = 0;
    std::size_t k = 0;
    for (; k + 8 <= L; k += 8) {
      const std::uint32_t e1 = steps8_[256 * s1 + byte(data, k / 8)];
      const std::uint32_t e2 = steps8_[256 * s2 + byte(interleaved_.data(), k / 8)];
      const std::uint32_t sent = spread_[(e1 >> 8) & 0xFF] | spread_[e1 & 0xFF] << 1 | spread_[e2 & 0xFF] << 2;
      code[3 * k / 8] = static_cast<std::uint8_t>(sent);
      code[3 * k / 8 + 1] = static_cast<std::uint8_t>(sent >> 8);
      code[3 * k / 8 + 2] = static_cast<std::uint8_t>(sent >> 16);
      s1 = e1 >> 16;
      s2 = e2 >> 16;
    }
    const auto put = [&](std::size_t p, std::uint32_t bit) { code[p / 8] |= static_cast<std::uint8_t>(bit << (p % 8)); };
    for (; k < L; ++k) {
      const auto w1 = static_cast<std::uint32_t>(step_[2 * s1 + ((data[k / 32] >> (k % 32)) & 1)]);
      const auto w2 = static_cast<std::uint32_t>(step_[2 * s2 + ((interleaved_[k / 32] >> (k % 32)) & 1)]);
      put(3 * k, (w1 >> 1) & 1);
      put(3 * k + 1, w1 & 1);
      put(3 * k + 2, w2 & 1);
      s1 = w1 >> 2;
      s2 = w2 >> 2;
    }
    for (std::size_t t = 0; t < m; ++t) {
      const auto w1 = static_cast<std::uint32_t>(step_[2 * s1 + static_cast<std::uint32_t>(tail_.inputs[s1])]);
      const auto w2 = static_cast<std::uint32_t>(step_[2 * s2 + static_cast<std::uint32_t>(tail_.inputs[s2])]);
      put(3 * L + 2 * t, (w1 >> 1) & 1);
      put(3 * L + 2 * t + 1, w1 & 1);
      put(3 * L + 2 * m + 2 * t, (w2 >> 1) & 1);
      put(3 * L + 2 * m + 2 * t + 1, w2 & 1);
      s1 = w1 >> 2;
      s2 = w2 >> 2;
    }
  }

  // Rate 1/2: the punctured code bits through the channel, the values put back into the
  // unpunctured row (0 where punctured).
  void send_punctured(const Philox& philox, std::uint64_t frame, double ebn0_db, double rate,
                      const std::uint8_t* code, double* row) {
    const std::size_t L = o_.K, m = kMemory, sent = 2 * L;
    const auto bit = [&](std::size_t p) { return (code[p / 8] >> (p % 8)) & 1; };
    steps_.resize(3 * L);
    for (std::size_t p = 0; p < 3 * L; ++p) steps_[p] = bit(p);
    punctured_.resize(sent);
    puncture(punctured_, steps_, 3, kPattern, {});
    tx_.resize(sent + 4 * m);
    for (std::size_t i = 0; i < sent; ++i) tx_[i] = static_cast<int>(punctured_[i]);
    for (std::size_t t = 0; t < 4 * m; ++t) tx_[sent + t] = bit(3 * L + t);
    llr_.resize(sent + 4 * m);
    channel_.transmit(philox, frame, kNoiseStream, ebn0_db, rate, params_.max_star, tx_, llr_);
    depuncture({row, 3 * L}, {llr_.data(), sent}, 3, kPattern, {});
    std::copy_n(llr_.data() + sent, 4 * m, row + 3 * L);
  }

  LinkOptions o_;
  Channel channel_;
  Trellis trellis_;
  std::vector<int> alpha_, step_, tx_;
  std::vector<std::uint32_t> steps8_, spread_ = std::vector<std::uint32_t>(256, 0), row_of_, data_,
                                      interleaved_;
  std::vector<std::uint8_t> code_;
  EncoderTail tail_;
  TurboDecodeParams params_;
  LineVector<double> input_, app_, rows_;
  std::vector<double> steps_, punctured_, llr_;
};

// The K = 7 (133, 171) convolutional code: terminated blocks decoded by the whole
// Viterbi decoder and, one frame at a time, by log-MAP (trellis_posterior), and
// tail-biting blocks by the whole Viterbi decoder (6K steps of wrap-around); at rate 3/4
// every block punctured by [1 1 0; 1 0 1] (a terminated block's tail sent whole).
class ConvLink final : public Link {
 public:
  explicit ConvLink(const LinkOptions& options) : o_(options), channel_(options.modulation, options.channel) {
    const LinkOptions& o = o_;
    o_.rate = check_rate(o_.rate, {"1/2", "3/4"}, "conv");
    // A tail-biting block holds at least the code's memory.
    if (o.K < 6 || o.K > 1000000) throw std::invalid_argument("the conv link takes K from 6 to 1000000 bits");
    if (!o.decoder.empty() && o.decoder != "all") {
      throw std::invalid_argument("the conv link runs all its decoders (--decoder all), not '" + o.decoder + "'");
    }
    trellis_ = make_trellis(std::vector<int>{0133, 0171}, 7, false);
    terminated_ = encoder_tail(trellis_, CodeType::kFeedForward);
    ring_ = encoder_tail(trellis_, CodeType::kTailBiting);
    if (punctured()) {
      sent_ = punctured_length(2, o.K + 6, kPattern, kTail).produced;
      sent_ring_ = punctured_length(2, o.K, kPattern, {}).produced;
    } else {
      sent_ = 2 * (o.K + 6);
      sent_ring_ = 2 * o.K;
    }
  }

  std::size_t info_bits() const override { return o_.K; }
  std::vector<double> rates() const override {
    const double L = static_cast<double>(o_.K);
    return {L / static_cast<double>(sent_), L / static_cast<double>(sent_), L / static_cast<double>(sent_ring_)};
  }
  std::vector<std::string> labels() const override {
    if (!punctured()) return {"Viterbi", "log-MAP", "tail-biting"};
    return {"Viterbi R=3/4", "log-MAP R=3/4", "tail-biting R=3/4"};
  }

  void run(const Philox& philox, double ebn0_db, std::uint64_t first, std::size_t count,
           ChunkCounts& counts) override {
    const std::size_t L = o_.K, m = 6;
    const std::size_t terminated = 2 * (L + m), ring = 2 * L;
    const std::vector<double> rate = rates();
    data_.resize(count * L);
    in_.resize(count * terminated);
    in_ring_.resize(count * ring);
    in_posterior_.resize(count * terminated);
    code_.resize(terminated);
    code_ring_.resize(ring);
    for (std::size_t f = 0; f < count; ++f) {
      int* data = data_.data() + f * L;
      draw_bits(philox, first + f, data, L);
      trellis_encode(code_, {data, L}, trellis_, terminated_);
      trellis_encode(code_ring_, {data, L}, trellis_, ring_);
      const auto noisy = [&](std::size_t curve, const std::vector<int>& c, double* out) {
        const auto stream = kNoiseStream + static_cast<std::uint32_t>(curve);
        const MaxStar op = curve == 1 ? MaxStar::kExact : MaxStar::kMaxLog;
        if (!punctured()) {
          channel_.transmit(philox, first + f, stream, ebn0_db, rate[curve], op, c, {out, c.size()});
          return;
        }
        const bool wraps = curve == 2;  // the tail-biting block has no tail
        const std::span<const int> tail = wraps ? std::span<const int>{} : std::span<const int>{kTail};
        whole_.assign(c.begin(), c.end());
        punctured_.resize(wraps ? sent_ring_ : sent_);
        puncture(punctured_, whole_, 2, kPattern, tail);
        tx_.assign(punctured_.begin(), punctured_.end());
        llr_.resize(tx_.size());
        channel_.transmit(philox, first + f, stream, ebn0_db, rate[curve], op, tx_, llr_);
        depuncture({out, c.size()}, llr_, 2, kPattern, tail);
      };
      noisy(0, code_, in_.data() + f * terminated);
      noisy(1, code_, in_posterior_.data() + f * terminated);
      noisy(2, code_ring_, in_ring_.data() + f * ring);
    }
    counts.bit_errors.assign(3 * count, 0);
    out_.resize(count * L);
    const auto count_errors = [&](std::size_t curve, const auto& decided) {
      for (std::size_t f = 0; f < count; ++f) {
        std::uint32_t e = 0;
        for (std::size_t k = 0; k < L; ++k) e += decided(f, k) != data_[f * L + k] ? 1 : 0;
        counts.bit_errors[curve * count + f] = e;
      }
    };
    ViterbiParams params;
    params.threads = 1;
    using In = FrameView<const double>;
    viterbi_decode(In::row_major(in_.data(), count, terminated), trellis_, params,
                   FrameView<double>::row_major(out_.data(), count, L));
    count_errors(0, [&](std::size_t f, std::size_t k) { return static_cast<int>(out_[f * L + k]); });
    soft_.resize(terminated);
    u_.resize(L);
    apriori_.assign(L, 0.0f);
    for (std::size_t f = 0; f < count; ++f) {
      for (std::size_t i = 0; i < terminated; ++i) soft_[i] = static_cast<float>(in_posterior_[f * terminated + i]);
      trellis_posterior(apriori_, soft_, trellis_, MaxStar::kExact, u_, {});
      for (std::size_t k = 0; k < L; ++k) out_[f * L + k] = u_[k] > 0.0f ? 1.0 : 0.0;
    }
    count_errors(1, [&](std::size_t f, std::size_t k) { return static_cast<int>(out_[f * L + k]); });
    params.block_end = BlockEnd::kTailBiting;
    params.depth_steps = 6 * 7;
    viterbi_decode(In::row_major(in_ring_.data(), count, ring), trellis_, params,
                   FrameView<double>::row_major(out_.data(), count, L));
    count_errors(2, [&](std::size_t f, std::size_t k) { return static_cast<int>(out_[f * L + k]); });
  }

 private:
  // Rate 3/4 from 1/2 (2 x 3, column-major), and the tail of a terminated block whole.
  static constexpr int kPattern[] = {1, 1, 1, 0, 0, 1};
  static constexpr int kTail[] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
  bool punctured() const { return o_.rate == "3/4"; }

  LinkOptions o_;
  Channel channel_;
  Trellis trellis_;
  EncoderTail terminated_, ring_;
  std::size_t sent_ = 0, sent_ring_ = 0;
  std::vector<int> data_, code_, code_ring_, tx_;
  std::vector<double> in_, in_posterior_, in_ring_, out_, whole_, punctured_, llr_;
  std::vector<float> soft_, u_, apriori_;
};

// The rate-1/2 staircase LDPC code of the examples over BPSK/AWGN: k data columns of
// weight 3 spread evenly over k checks (no check twice in a column), drawn from a fixed
// seed, and the implied dual-diagonal parity part; sum-product and scaled min-sum (0.75)
// decoding by the whole decoder, each frame stopping when its data bits are right.
class LdpcLink final : public Link {
 public:
  explicit LdpcLink(const LinkOptions& o) : o_(o), channel_(o.modulation, o.channel) {
    o_.rate = check_rate(o_.rate, {"1/2"}, "ldpc");
    if (o.K < 8 || o.K > 100000) throw std::invalid_argument("the ldpc link takes K from 8 to 100000 bits");
    if (o.iterations < 1 || o.iterations > 1000) throw std::invalid_argument("iterations must be 1 to 1000");
    if (!o.decoder.empty() && o.decoder != "all") {
      throw std::invalid_argument("the ldpc link runs all its decoders (--decoder all), not '" + o.decoder + "'");
    }
    const std::size_t k = o.K, m = o.K, w = 3;
    // Data columns: the rows 1..m repeated, shuffled, and repeats within a column
    // swapped away (a fixed generator: the code is part of the link, not of the run).
    std::mt19937 rng(2024);
    std::vector<int> slots(k * w);
    for (std::size_t i = 0; i < slots.size(); ++i) slots[i] = static_cast<int>(i % m) + 1;
    std::shuffle(slots.begin(), slots.end(), rng);
    const auto repeated = [&](std::size_t j) {
      const int* c = &slots[j * w];
      return c[0] == c[1] || c[0] == c[2] || c[1] == c[2];
    };
    for (std::size_t attempt = 0; attempt < 100 * k; ++attempt) {
      std::size_t bad = k;
      for (std::size_t j = 0; j < k && bad == k; ++j) bad = repeated(j) ? j : k;
      if (bad == k) break;
      std::swap(slots[bad * w + rng() % w], slots[(rng() % k) * w + rng() % w]);
    }
    for (std::size_t j = 0; j < k; ++j) {
      if (repeated(j)) throw std::invalid_argument("no LDPC code of this size without repeated rows");
      std::sort(slots.begin() + static_cast<std::ptrdiff_t>(j * w), slots.begin() + static_cast<std::ptrdiff_t>((j + 1) * w));
    }
    // Index lists, column-major as the kernels read them: h_cols k x w, h_rows m x d,
    // 0-based with -1 for an empty cell for the graph, 1-based with 0 for the encoder.
    std::vector<std::vector<int>> rows(m);
    for (std::size_t j = 0; j < k; ++j) {
      for (std::size_t t = 0; t < w; ++t) rows[static_cast<std::size_t>(slots[j * w + t] - 1)].push_back(static_cast<int>(j));
    }
    std::size_t d = 1;
    for (const auto& r : rows) d = std::max(d, r.size());
    std::vector<int> h_cols(k * w, -1), h_rows(m * d, -1);
    for (std::size_t j = 0; j < k; ++j) {
      for (std::size_t t = 0; t < w; ++t) h_cols[j + t * k] = slots[j * w + t] - 1;
    }
    for (std::size_t i = 0; i < m; ++i) {
      for (std::size_t t = 0; t < rows[i].size(); ++t) h_rows[i + t * m] = rows[i][t];
    }
    d_ = d;
    graph_ = ldpc::make_sparse_graph(static_cast<int>(k + m), {h_rows, m, d}, {h_cols, k, w});
    h_rows_double_.resize(h_rows.size());
    for (std::size_t i = 0; i < h_rows.size(); ++i) h_rows_double_[i] = h_rows[i] + 1;
  }

  std::size_t info_bits() const override { return o_.K; }
  std::vector<double> rates() const override { return {0.5, 0.5}; }
  std::vector<std::string> labels() const override {
    return {"sum-product " + std::to_string(o_.iterations) + " it",
            "min-sum " + std::to_string(o_.iterations) + " it"};
  }

  void run(const Philox& philox, double ebn0_db, std::uint64_t first, std::size_t count,
           ChunkCounts& counts) override {
    const std::size_t k = o_.K, n = 2 * o_.K;
    data_.resize(count * k);
    received_.resize(count * n);
    tx_.resize(n);
    decisions_.resize(count * n);
    errors_.resize(count * static_cast<std::size_t>(o_.iterations));
    bits_.resize(k);
    words_.resize(count * n);
    for (std::size_t f = 0; f < count; ++f) {
      draw_bits(philox, first + f, data_.data() + f * k, k);
      std::copy_n(data_.data() + f * k, k, bits_.data());
      ldpc::encode(bits_, {h_rows_double_, o_.K, d_}, {}, {words_.data() + f * n, n});
    }
    counts.bit_errors.assign(2 * count, 0);
    for (std::size_t curve = 0; curve < 2; ++curve) {
      const MaxStar op = curve == 0 ? MaxStar::kExact : MaxStar::kMaxLog;
      for (std::size_t f = 0; f < count; ++f) {
        for (std::size_t i = 0; i < n; ++i) tx_[i] = static_cast<int>(words_[f * n + i]);
        channel_.transmit(philox, first + f, kNoiseStream + static_cast<std::uint32_t>(curve), ebn0_db, 0.5,
                          op, tx_, {received_.data() + f * n, n});
      }
      ldpc::BatchDecodeParams params;
      params.max_iter = o_.iterations;
      params.kind = curve == 0 ? ldpc::DecoderKind::kSumProduct : ldpc::DecoderKind::kMinSum;
      params.r_scale = curve == 0 ? 1.0f : 0.75f;
      params.threads = 1;
      ldpc::BatchResults results{FrameView<std::uint8_t>::row_major(decisions_.data(), count, n),
                                 FrameView<int>::row_major(errors_.data(), count,
                                                           static_cast<std::size_t>(o_.iterations)),
                                 {}};
      ldpc::decode_batch(graph_, FrameView<const double>::row_major(received_.data(), count, n),
                         FrameView<const int>::row_major(data_.data(), count, k), params, results);
      for (std::size_t f = 0; f < count; ++f) {
        std::uint32_t e = 0;
        for (std::size_t i = 0; i < k; ++i) e += decisions_[f * n + i] != data_[f * k + i] ? 1 : 0;
        counts.bit_errors[curve * count + f] = e;
      }
    }
  }

 private:
  LinkOptions o_;
  Channel channel_;
  std::vector<int> data_, tx_;
  std::vector<double> h_rows_double_, received_, bits_, words_;
  std::size_t d_ = 1;
  ldpc::SparseGraph graph_;
  std::vector<std::uint8_t> decisions_;
  std::vector<int> errors_;
};

// The double-binary circular turbo code of the DVB-RCS shape: N pairs of data bits
// (A, B), two eight-state circular recursive systematic codes (parity generators
// [1 0 1 1; 1 0 0 1]: Y and W), the second fed through the code's two-level pair
// permutation with A and B exchanged in every other pair; no tail. Sent A, B of every
// pair, then Y, W of the first code and of the second (rate 1/3), or with W left out,
// Y of the two codes alternating (rate 1/2); two bits a QPSK symbol by default. Each
// pair of bit values becomes symbol values (u = 1: B, u = 2: A, u = 3: both) for the
// whole decoder, and each pair is decided by its most likely symbol.
class DuobinaryLink final : public Link {
 public:
  explicit DuobinaryLink(const LinkOptions& options)
      : o_(options), channel_(options.modulation, options.channel) {
    if (o_.decoder.empty()) o_.decoder = "exact";
    o_.rate = check_rate(o_.rate, {"1/3", "1/2"}, "duobinary");
    if (o_.iterations < 1 || o_.iterations > 1000) throw std::invalid_argument("iterations must be 1 to 1000");
    if (o_.decoder != "exact" && o_.decoder != "max-log") {
      throw std::invalid_argument("the decoder must be exact or max-log, not '" + o_.decoder + "'");
    }
    // (N; P0; P1, P2, P3) of the pair permutation for ATM cells and MPEG packets.
    static constexpr std::size_t kTable[4][5] = {
        {48, 11, 24, 0, 24}, {64, 7, 34, 32, 2}, {212, 13, 106, 108, 2}, {752, 19, 2, 16, 6}};
    const std::size_t* row = nullptr;
    for (const auto& r : kTable) {
      if (2 * r[0] == o_.K) row = r;
    }
    if (row == nullptr) throw std::invalid_argument("the duobinary link takes K = 96, 128, 424 or 1504 bits (48, 64, 212 or 752 pairs)");
    N_ = row[0];
    const std::size_t offsets[4] = {0, N_ / 2 + row[2], row[3], N_ / 2 + row[4]};
    alpha_.resize(N_);
    swap_.resize(N_);
    for (std::size_t j = 0; j < N_; ++j) {
      alpha_[j] = static_cast<int>((row[1] * j + offsets[j % 4] + 1) % N_);
      swap_[j] = j % 2 == 0 ? 1 : 0;
    }
    params_.iterations = o_.iterations;
    params_.max_star = o_.decoder == "exact" ? MaxStar::kExact : MaxStar::kMaxLog;
    params_.threads = 1;  // the simulator spreads chunks over threads
  }

  std::size_t info_bits() const override { return 2 * N_; }
  std::vector<double> rates() const override { return {punctured() ? 0.5 : 1.0 / 3.0}; }
  std::vector<std::string> labels() const override {
    return {std::string(o_.decoder == "exact" ? "log-MAP" : "max-log") + " R=" + o_.rate};
  }

  void run(const Philox& philox, double ebn0_db, std::uint64_t first, std::size_t count,
           ChunkCounts& counts) override {
    const std::size_t N = N_, sent = punctured() ? 4 * N : 6 * N;
    data_.resize(count * 2 * N);
    x_.resize(count * 3 * N);
    z1_.resize(count * 3 * N);
    z2_.resize(count * 3 * N);
    app_.resize(count * 3 * N);
    pairs_.resize(2 * N);
    permuted_.resize(2 * N);
    y1_.resize(2 * N);
    y2_.resize(2 * N);
    tx_.resize(sent);
    llr_.resize(sent);
    const auto encode = [&](const std::vector<double>& x, std::vector<double>& z) {
      duobinary_encode(x, z, trellis_, find_circular_state(x));
    };
    // Symbol values of step t from the bit values of its first and second bit.
    const auto symbols = [](double first_bit, double second_bit, double* out) {
      out[0] = second_bit;
      out[1] = first_bit;
      out[2] = first_bit + second_bit;
    };
    for (std::size_t f = 0; f < count; ++f) {
      int* data = data_.data() + f * 2 * N;
      draw_bits(philox, first + f, data, 2 * N);
      for (std::size_t i = 0; i < 2 * N; ++i) pairs_[i] = data[i];
      for (std::size_t j = 0; j < N; ++j) {
        const std::size_t t = static_cast<std::size_t>(alpha_[j]);
        permuted_[2 * j] = pairs_[2 * t + (swap_[j] ? 1 : 0)];
        permuted_[2 * j + 1] = pairs_[2 * t + (swap_[j] ? 0 : 1)];
      }
      encode(pairs_, y1_);
      encode(permuted_, y2_);
      for (std::size_t i = 0; i < 2 * N; ++i) tx_[i] = data[i];
      for (std::size_t t = 0; t < N; ++t) {
        if (punctured()) {
          tx_[2 * N + 2 * t] = static_cast<int>(y1_[2 * t]);
          tx_[2 * N + 2 * t + 1] = static_cast<int>(y2_[2 * t]);
        } else {
          tx_[2 * N + 2 * t] = static_cast<int>(y1_[2 * t]);
          tx_[2 * N + 2 * t + 1] = static_cast<int>(y1_[2 * t + 1]);
          tx_[4 * N + 2 * t] = static_cast<int>(y2_[2 * t]);
          tx_[4 * N + 2 * t + 1] = static_cast<int>(y2_[2 * t + 1]);
        }
      }
      channel_.transmit(philox, first + f, kNoiseStream, ebn0_db, rates()[0], params_.max_star, tx_, llr_);
      const std::size_t at = f * 3 * N;
      for (std::size_t t = 0; t < N; ++t) {
        symbols(llr_[2 * t], llr_[2 * t + 1], &x_[at + 3 * t]);
        if (punctured()) {
          symbols(llr_[2 * N + 2 * t], 0.0, &z1_[at + 3 * t]);
          symbols(llr_[2 * N + 2 * t + 1], 0.0, &z2_[at + 3 * t]);
        } else {
          symbols(llr_[2 * N + 2 * t], llr_[2 * N + 2 * t + 1], &z1_[at + 3 * t]);
          symbols(llr_[4 * N + 2 * t], llr_[4 * N + 2 * t + 1], &z2_[at + 3 * t]);
        }
      }
    }
    using View = FrameView<const double>;
    const DuobinaryTurboChannel ch{View::row_major(x_.data(), count, 3 * N),
                                   View::row_major(z1_.data(), count, 3 * N),
                                   View::row_major(z2_.data(), count, 3 * N)};
    duobinary_turbo_decode(ch, trellis_, {alpha_, swap_}, params_,
                           FrameView<double>::row_major(app_.data(), count, 3 * N));
    counts.bit_errors.assign(count, 0);
    for (std::size_t f = 0; f < count; ++f) {
      std::uint32_t errors = 0;
      for (std::size_t t = 0; t < N; ++t) {
        const double* v = &app_[f * 3 * N + 3 * t];
        int u = 0;
        double best = 0.0;
        for (int k = 1; k <= 3; ++k) {
          if (v[k - 1] > best) {
            best = v[k - 1];
            u = k;
          }
        }
        errors += static_cast<std::uint32_t>((u >> 1) != data_[f * 2 * N + 2 * t]);
        errors += static_cast<std::uint32_t>((u & 1) != data_[f * 2 * N + 2 * t + 1]);
      }
      counts.bit_errors[f] = errors;
    }
  }

 private:
  bool punctured() const { return o_.rate == "1/2"; }

  LinkOptions o_;
  Channel channel_;
  std::size_t N_ = 0;
  std::vector<int> alpha_, data_, tx_;
  std::vector<std::uint8_t> swap_;
  // [1 0 1 1; 1 0 0 1], column-major
  DuobinaryTrellis trellis_{duobinary_generators(std::array<double, 8>{1, 1, 0, 0, 1, 0, 1, 1})};
  DuobinaryTurboParams params_;
  std::vector<double> x_, z1_, z2_, app_, pairs_, permuted_, y1_, y2_, llr_;
};

// A fixed random permutation of n positions (a fixed generator: the interleaver is
// part of the link, not of the run).
std::vector<std::size_t> fixed_permutation(std::size_t n) {
  std::vector<std::size_t> perm(n);
  std::iota(perm.begin(), perm.end(), std::size_t{0});
  std::mt19937 rng(2024);
  std::shuffle(perm.begin(), perm.end(), rng);
  return perm;
}

// Bit-interleaved coded modulation with iterative demapping: the terminated 4-state
// (7, 5) code, a fixed random bit interleaver (sent bit k is code bit perm[k]), square
// QAM (16-QAM by default) with Gray labels and with set-partitioning labels, one curve
// each after the first and after the last of --iterations passes. The receiver forms
// the symbol metrics once (plane_metrics) and iterates: symbol_bit_metrics turns them
// into extrinsic code-bit values given the decoder's extrinsic values (none in the
// first pass), trellis_posterior decodes them, and its code-bit output minus its input
// goes back through the interleaver. Both labellings share a frame's data; each has its
// own noise (and gains).
class BicmIdLink final : public Link {
 public:
  explicit BicmIdLink(const LinkOptions& options)
      : o_(options), channel_(options.modulation, options.channel) {
    if (o_.decoder.empty()) o_.decoder = "exact";
    o_.rate = check_rate(o_.rate, {"1/2"}, "bicm-id");
    if (o_.K < 1 || o_.K > 1000000) throw std::invalid_argument("the bicm-id link takes K from 1 to 1000000 bits");
    if (o_.iterations < 1 || o_.iterations > 1000) throw std::invalid_argument("iterations must be 1 to 1000");
    if (o_.decoder != "exact" && o_.decoder != "max-log") {
      throw std::invalid_argument("the decoder must be exact or max-log, not '" + o_.decoder + "'");
    }
    if (channel_.bits_per_symbol() < 2) {
      throw std::invalid_argument("the bicm-id link takes qpsk, 16qam or 64qam, not bpsk");
    }
    op_ = o_.decoder == "exact" ? MaxStar::kExact : MaxStar::kMaxLog;
    trellis_ = make_trellis(std::vector<int>{07, 05}, 3, false);
    tail_ = encoder_tail(trellis_, CodeType::kFeedForward);
    coded_ = 2 * (o_.K + 2);
    perm_ = fixed_permutation(coded_);
    for (const bool partitioned : {false, true}) {
      square_qam(channel_.bits_per_symbol(), partitioned, sets_[partitioned].re, sets_[partitioned].im);
    }
  }

  std::size_t info_bits() const override { return o_.K; }
  std::vector<double> rates() const override {
    return std::vector<double>(labels().size(), static_cast<double>(o_.K) / static_cast<double>(coded_));
  }
  std::vector<std::string> labels() const override {
    std::vector<std::string> out;
    for (const char* set : {"Gray", "SP"}) {
      out.push_back(std::string(set) + ", 1 it");
      if (o_.iterations > 1) out.push_back(std::string(set) + ", " + std::to_string(o_.iterations) + " it");
    }
    return out;
  }

  void run(const Philox& philox, double ebn0_db, std::uint64_t first, std::size_t count,
           ChunkCounts& counts) override {
    const std::size_t L = o_.K, n = coded_, m = static_cast<std::size_t>(channel_.bits_per_symbol());
    const std::size_t M = std::size_t{1} << m, N = (n + m - 1) / m;
    const std::size_t per_set = o_.iterations > 1 ? 2 : 1;
    const double rate = rates()[0];
    counts.bit_errors.assign(2 * per_set * count, 0);
    data_.resize(L);
    code_.resize(n);
    tx_.resize(n);
    metrics_.resize(M * N);
    apriori_.resize(m * N);
    demapped_.resize(m * N);
    in_.resize(n);
    out_c_.resize(n);
    out_u_.resize(L);
    zeros_.assign(L, 0.0f);
    for (std::size_t f = 0; f < count; ++f) {
      draw_bits(philox, first + f, data_.data(), L);
      trellis_encode(code_, data_, trellis_, tail_);
      for (std::size_t k = 0; k < n; ++k) tx_[k] = code_[perm_[k]];
      for (std::size_t set = 0; set < 2; ++set) {
        const Points& s = sets_[set];
        const Channel::Received r = channel_.send(philox, first + f, kNoiseStream + static_cast<std::uint32_t>(set),
                                                  ebn0_db, rate, tx_, s.re, s.im);
        plane_metrics({r.y_re, r.y_im}, {s.re, s.im}, static_cast<float>(r.es_no), {r.a_re, r.a_im}, metrics_);
        std::fill(apriori_.begin(), apriori_.end(), 0.0f);
        for (int it = 1; it <= o_.iterations; ++it) {
          symbol_bit_metrics(metrics_, M, op_, apriori_, demapped_);
          for (std::size_t k = 0; k < n; ++k) in_[perm_[k]] = static_cast<float>(demapped_[k]);
          trellis_posterior(zeros_, in_, trellis_, op_, out_u_, out_c_);
          if (it == 1 || it == o_.iterations) {
            std::uint32_t e = 0;
            for (std::size_t k = 0; k < L; ++k) e += (out_u_[k] > 0.0f ? 1 : 0) != data_[k] ? 1 : 0;
            counts.bit_errors[(set * per_set + (it == 1 ? 0 : 1)) * count + f] = e;
          }
          for (std::size_t k = 0; k < n; ++k) apriori_[k] = out_c_[perm_[k]] - in_[perm_[k]];
        }
      }
    }
  }

 private:
  struct Points {
    std::vector<double> re, im;
  };
  LinkOptions o_;
  Channel channel_;
  MaxStar op_ = MaxStar::kExact;
  Trellis trellis_;
  EncoderTail tail_;
  std::size_t coded_ = 0;
  std::vector<std::size_t> perm_;
  Points sets_[2];
  std::vector<int> data_, code_, tx_;
  std::vector<double> metrics_, demapped_;
  std::vector<float> apriori_, in_, out_c_, out_u_, zeros_;
};

// Coded noncoherent 16-ary frequency-shift keying: the terminated K = 7 (133, 171) code,
// a fixed random bit interleaver, four bits a tone; every symbol sees a unit-power
// complex gain (per symbol by default, or per frame; 1 over AWGN) and white noise on
// each of the 16 matched-filter outputs. tone_metrics forms the tone log-likelihoods
// under three models of what the receiver knows (the gain, its amplitude, its
// statistics only), one curve each, sharing the frame's data, gains and noise;
// symbol_bit_metrics (exact) gives the code-bit values, decoded by the whole Viterbi
// decoder or by log-MAP (--decoder viterbi or log-map).
class FskLink final : public Link {
 public:
  explicit FskLink(const LinkOptions& options) : o_(options) {
    if (o_.decoder.empty()) o_.decoder = "viterbi";
    o_.rate = check_rate(o_.rate, {"1/2"}, "fsk");
    if (o_.K < 1 || o_.K > 1000000) throw std::invalid_argument("the fsk link takes K from 1 to 1000000 bits");
    if (o_.decoder != "viterbi" && o_.decoder != "log-map") {
      throw std::invalid_argument("the fsk link's decoder is viterbi or log-map, not '" + o_.decoder + "'");
    }
    if (o_.modulation != "16fsk") {
      throw std::invalid_argument("the fsk link sends 16fsk (--modulation 16fsk), not '" + o_.modulation + "'");
    }
    // Only the gains of the channel option: the tones are not points in the plane.
    fade_ = o_.channel == "awgn" ? 0 : o_.channel == "rayleigh-fast" ? 1 : o_.channel == "rayleigh-block" ? 2 : -1;
    if (fade_ < 0) throw std::invalid_argument("unknown channel '" + o_.channel + "' (known: " + kChannels + ")");
    trellis_ = make_trellis(std::vector<int>{0133, 0171}, 7, false);
    tail_ = encoder_tail(trellis_, CodeType::kFeedForward);
    coded_ = 2 * (o_.K + 6);
    perm_ = fixed_permutation(coded_);
  }

  std::size_t info_bits() const override { return o_.K; }
  std::vector<double> rates() const override {
    return std::vector<double>(3, static_cast<double>(o_.K) / static_cast<double>(coded_));
  }
  std::vector<std::string> labels() const override { return {"coherent, CSI", "amplitude CSI", "no CSI"}; }

  void run(const Philox& philox, double ebn0_db, std::uint64_t first, std::size_t count,
           ChunkCounts& counts) override {
    constexpr std::size_t M = 16, m = 4;
    const std::size_t L = o_.K, n = coded_, N = (n + m - 1) / m;
    const double es_no = std::pow(10.0, ebn0_db / 10.0) * rates()[0] * m;
    const double sigma = std::sqrt(1.0 / (2.0 * es_no)), g = std::sqrt(0.5);
    data_.resize(count * L);
    code_.resize(n);
    y_re_.resize(M * N);
    y_im_.resize(M * N);
    a_re_.resize(N);
    a_im_.resize(N);
    tones_.resize(M * N);
    metrics_.resize(M * N);
    demapped_.resize(m * N);
    in_.resize(3 * count * n);
    for (std::size_t f = 0; f < count; ++f) {
      int* data = data_.data() + f * L;
      draw_bits(philox, first + f, data, L);
      trellis_encode(code_, {data, L}, trellis_, tail_);
      FrameStream noise(philox, first + f, kNoiseStream), gains(philox, first + f, kNoiseStream + 16);
      float block_re = 1, block_im = 0;
      if (fade_ == 2) {
        block_re = static_cast<float>(g * gains.normal());
        block_im = static_cast<float>(g * gains.normal());
      }
      for (std::size_t j = 0; j < N; ++j) {
        std::size_t tone = 0;
        for (std::size_t k = 0; k < m; ++k) {
          const std::size_t i = j * m + k;
          tone = 2 * tone + (i < n ? static_cast<std::size_t>(code_[perm_[i]]) : 0);
        }
        a_re_[j] = fade_ == 1 ? static_cast<float>(g * gains.normal()) : block_re;
        a_im_[j] = fade_ == 1 ? static_cast<float>(g * gains.normal()) : block_im;
        for (std::size_t k = 0; k < M; ++k) {
          const float on = k == tone ? 1.0f : 0.0f;
          y_re_[j * M + k] = on * a_re_[j] + static_cast<float>(sigma * noise.normal());
          y_im_[j * M + k] = on * a_im_[j] + static_cast<float>(sigma * noise.normal());
        }
      }
      for (std::size_t c = 0; c < 3; ++c) {
        tone_metrics({y_re_, y_im_}, M, static_cast<float>(es_no), static_cast<ToneCsi>(c), {a_re_, a_im_}, tones_);
        std::copy(tones_.begin(), tones_.end(), metrics_.begin());
        symbol_bit_metrics(metrics_, M, MaxStar::kExact, {}, demapped_);
        double* in = in_.data() + (c * count + f) * n;
        for (std::size_t k = 0; k < n; ++k) in[perm_[k]] = demapped_[k];
      }
    }
    counts.bit_errors.assign(3 * count, 0);
    decided_.resize(count * L);
    for (std::size_t c = 0; c < 3; ++c) {
      const double* in = in_.data() + c * count * n;
      if (o_.decoder == "viterbi") {
        ViterbiParams params;
        params.threads = 1;
        viterbi_decode(FrameView<const double>::row_major(in, count, n), trellis_, params,
                       FrameView<double>::row_major(decided_.data(), count, L));
      } else {
        soft_.resize(n);
        u_.resize(L);
        zeros_.assign(L, 0.0f);
        for (std::size_t f = 0; f < count; ++f) {
          for (std::size_t i = 0; i < n; ++i) soft_[i] = static_cast<float>(in[f * n + i]);
          trellis_posterior(zeros_, soft_, trellis_, MaxStar::kExact, u_, {});
          for (std::size_t k = 0; k < L; ++k) decided_[f * L + k] = u_[k] > 0.0f ? 1.0 : 0.0;
        }
      }
      for (std::size_t f = 0; f < count; ++f) {
        std::uint32_t e = 0;
        for (std::size_t k = 0; k < L; ++k) e += static_cast<int>(decided_[f * L + k]) != data_[f * L + k] ? 1 : 0;
        counts.bit_errors[c * count + f] = e;
      }
    }
  }

 private:
  LinkOptions o_;
  int fade_ = 1;  // 0 none, 1 per symbol, 2 per frame
  Trellis trellis_;
  EncoderTail tail_;
  std::size_t coded_ = 0;
  std::vector<std::size_t> perm_;
  std::vector<int> data_, code_;
  std::vector<float> y_re_, y_im_, a_re_, a_im_, tones_, soft_, u_, zeros_;
  std::vector<double> metrics_, demapped_, in_, decided_;
};

}  // namespace

std::uint64_t Link::chunk_bytes(std::size_t frames) const {
  double lowest = 1.0;
  for (const double r : rates()) lowest = std::min(lowest, r);
  // Code bits per frame, with room for tails and a modulation's padding.
  const double code_bits = std::ceil(static_cast<double>(info_bits()) / lowest) + 64.0;
  const auto per_frame = code_bits < 1e15 ? static_cast<std::uint64_t>(code_bits) : kSizeSaturated;
  return mul_sat(mul_sat(per_frame, 256), frames);
}

std::unique_ptr<Link> make_link(const LinkOptions& options) {
  if (options.name == "turbo") return std::make_unique<TurboLink>(options);
  if (options.name == "conv") return std::make_unique<ConvLink>(options);
  if (options.name == "ldpc") return std::make_unique<LdpcLink>(options);
  if (options.name == "duobinary") return std::make_unique<DuobinaryLink>(options);
  if (options.name == "bicm-id") return std::make_unique<BicmIdLink>(options);
  if (options.name == "fsk") return std::make_unique<FskLink>(options);
  throw std::invalid_argument("unknown link '" + options.name + "' (known: turbo, conv, ldpc, duobinary, bicm-id, fsk)");
}

std::vector<std::string> link_names() {
  return {"turbo", "conv", "ldpc", "duobinary", "bicm-id", "fsk"};
}

LinkOptions link_defaults(const std::string& name) {
  LinkOptions o;
  o.name = name;
  if (name == "turbo") {
    o.decoder = "exact";
    o.rate = "1/3";
  } else if (name == "duobinary") {
    o.K = 424;
    o.decoder = "exact";
    o.rate = "1/3";
    o.modulation = "qpsk";
  } else if (name == "bicm-id") {
    o.K = 2000;
    o.decoder = "exact";
    o.rate = "1/2";
    o.modulation = "16qam";
  } else if (name == "fsk") {
    o.K = 1000;
    o.decoder = "viterbi";
    o.rate = "1/2";
    o.modulation = "16fsk";
    o.channel = "rayleigh-fast";
  } else {
    o.decoder = "all";
    o.rate = "1/2";
  }
  o.iterations = name == "ldpc" ? 50 : name == "bicm-id" ? 4 : 8;
  return o;
}

}  // namespace linkforge::sim
