#include "link.hpp"

#include <cmath>
#include <numeric>
#include <random>
#include <stdexcept>

#include "linkforge/conv.hpp"
#include "linkforge/interleave.hpp"
#include "linkforge/ldpc.hpp"
#include "linkforge/ldpc_batch.hpp"
#include "linkforge/trellis.hpp"
#include "linkforge/turbo.hpp"
#include "linkforge/viterbi.hpp"

namespace linkforge::sim {

namespace {

// Streams of a frame's draws.
constexpr std::uint32_t kDataStream = 0;
constexpr std::uint32_t kNoiseStream = 1;

// BPSK over AWGN at Eb/N0 (dB) and code rate R: the log-likelihood ratio
// ln(P(1)/P(0)) = 2y/sigma^2 of a bit sent as 2b - 1 and received as y with noise of
// standard deviation sigma per real dimension, the noise drawn from `noise`.
struct BpskChannel {
  double sigma, scale;
  BpskChannel(double ebn0_db, double rate)
      : sigma(std::sqrt(1.0 / (2.0 * std::pow(10.0, ebn0_db / 10.0) * rate))),
        scale(2.0 / (sigma * sigma)) {}
  double operator()(double bit, FrameStream& noise) const {
    return scale * ((2.0 * bit - 1.0) + sigma * noise.normal());
  }
};

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
// cellular permutation, each terminated; BPSK over AWGN; the whole turbo decoder.
class TurboLink final : public Link {
 public:
  explicit TurboLink(const LinkOptions& options) : o_(options) {
    if (o_.decoder.empty()) o_.decoder = "exact";
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
    params_.iterations = o.iterations;
    params_.max_star = o.decoder == "exact" ? MaxStar::kExact : MaxStar::kMaxLog;
    params_.threads = 1;  // the simulator spreads chunks over threads
  }

  std::size_t info_bits() const override { return o_.K; }
  std::vector<double> rates() const override {
    const double K = static_cast<double>(o_.K);
    return {K / (3 * K + 12)};
  }
  std::vector<std::string> labels() const override {
    return {std::string(o_.decoder == "exact" ? "log-MAP" : "max-log") + " R=1/3"};
  }

  void run(const Philox& philox, double ebn0_db, std::uint64_t first, std::size_t count,
           ChunkCounts& counts) override {
    const std::size_t L = o_.K, m = 3;
    const BpskChannel bpsk(ebn0_db, rates()[0]);
    ys_.resize(count * L);
    yp1_.resize(count * L);
    yp2_.resize(count * L);
    ytail_.resize(count * 4 * m);
    data_.resize(count * L);
    app_.resize(count * L);
    interleaved_.resize(L);
    code1_.resize(2 * (L + m));
    code2_.resize(2 * (L + m));
    for (std::size_t f = 0; f < count; ++f) {
      FrameStream noise(philox, first + f, kNoiseStream);
      int* data = data_.data() + f * L;
      draw_bits(philox, first + f, data, L);
      for (std::size_t k = 0; k < L; ++k) interleaved_[k] = data[alpha_[k]];
      trellis_encode(code1_, {data, L}, trellis_, tail_);
      trellis_encode(code2_, interleaved_, trellis_, tail_);
      const std::vector<int>& code1 = code1_;
      const std::vector<int>& code2 = code2_;
      const auto channel = [&](int bit) { return bpsk(bit, noise); };
      for (std::size_t k = 0; k < L; ++k) {
        ys_[f * L + k] = channel(code1[2 * k]);
        yp1_[f * L + k] = channel(code1[2 * k + 1]);
        yp2_[f * L + k] = channel(code2[2 * k + 1]);
      }
      for (std::size_t t = 0; t < 2 * m; ++t) {
        ytail_[f * 4 * m + t] = channel(code1[2 * L + t]);
        ytail_[f * 4 * m + 2 * m + t] = channel(code2[2 * L + t]);
      }
    }
    using View = FrameView<const double>;
    const TurboChannel ch{View::row_major(ys_.data(), count, L), View::row_major(yp1_.data(), count, L),
                          View::row_major(yp2_.data(), count, L),
                          View::row_major(ytail_.data(), count, 4 * m)};
    TurboResults results;
    results.app = FrameView<double>::row_major(app_.data(), count, L);
    turbo_decode(ch, trellis_, alpha_, params_, results);
    counts.bit_errors.assign(count, 0);
    for (std::size_t f = 0; f < count; ++f) {
      std::uint32_t errors = 0;
      for (std::size_t k = 0; k < L; ++k) {
        errors += static_cast<std::uint32_t>((app_[f * L + k] > 0.0 ? 1 : 0) != data_[f * L + k]);
      }
      counts.bit_errors[f] = errors;
    }
  }

 private:
  LinkOptions o_;
  Trellis trellis_;
  std::vector<int> alpha_, data_, interleaved_, code1_, code2_;
  EncoderTail tail_;
  TurboDecodeParams params_;
  std::vector<double> ys_, yp1_, yp2_, ytail_, app_;
};

// The K = 7 (133, 171) convolutional code over BPSK/AWGN: terminated blocks decoded by
// the whole Viterbi decoder and, one frame at a time, by log-MAP (trellis_posterior),
// and tail-biting blocks by the whole Viterbi decoder (6K steps of wrap-around).
class ConvLink final : public Link {
 public:
  explicit ConvLink(const LinkOptions& o) : o_(o) {
    if (o.K < 1 || o.K > 1000000) throw std::invalid_argument("the conv link takes K from 1 to 1000000 bits");
    if (!o.decoder.empty() && o.decoder != "all") {
      throw std::invalid_argument("the conv link runs all its decoders (--decoder all), not '" + o.decoder + "'");
    }
    trellis_ = make_trellis(std::vector<int>{0133, 0171}, 7, false);
    terminated_ = encoder_tail(trellis_, CodeType::kFeedForward);
    ring_ = encoder_tail(trellis_, CodeType::kTailBiting);
  }

  std::size_t info_bits() const override { return o_.K; }
  std::vector<double> rates() const override {
    const double L = static_cast<double>(o_.K);
    return {L / (2 * (L + 6)), L / (2 * (L + 6)), 0.5};
  }
  std::vector<std::string> labels() const override { return {"Viterbi", "log-MAP", "tail-biting"}; }

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
        FrameStream noise(philox, first + f, kNoiseStream + static_cast<std::uint32_t>(curve));
        const BpskChannel bpsk(ebn0_db, rate[curve]);
        for (std::size_t i = 0; i < c.size(); ++i) out[i] = bpsk(c[i], noise);
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
  LinkOptions o_;
  Trellis trellis_;
  EncoderTail terminated_, ring_;
  std::vector<int> data_, code_, code_ring_;
  std::vector<double> in_, in_posterior_, in_ring_, out_;
  std::vector<float> soft_, u_, apriori_;
};

// The rate-1/2 staircase LDPC code of the examples over BPSK/AWGN: k data columns of
// weight 3 spread evenly over k checks (no check twice in a column), drawn from a fixed
// seed, and the implied dual-diagonal parity part; sum-product and scaled min-sum (0.75)
// decoding by the whole decoder, each frame stopping when its data bits are right.
class LdpcLink final : public Link {
 public:
  explicit LdpcLink(const LinkOptions& o) : o_(o) {
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
    channel_.resize(count * n);
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
    const BpskChannel bpsk(ebn0_db, 0.5);
    for (std::size_t curve = 0; curve < 2; ++curve) {
      for (std::size_t f = 0; f < count; ++f) {
        FrameStream noise(philox, first + f, kNoiseStream + static_cast<std::uint32_t>(curve));
        for (std::size_t i = 0; i < n; ++i) channel_[f * n + i] = bpsk(words_[f * n + i], noise);
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
      ldpc::decode_batch(graph_, FrameView<const double>::row_major(channel_.data(), count, n),
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
  std::vector<int> data_;
  std::vector<double> h_rows_double_, channel_, bits_, words_;
  std::size_t d_ = 1;
  ldpc::SparseGraph graph_;
  std::vector<std::uint8_t> decisions_;
  std::vector<int> errors_;
};

}  // namespace

std::unique_ptr<Link> make_link(const LinkOptions& options) {
  if (options.name == "turbo") return std::make_unique<TurboLink>(options);
  if (options.name == "conv") return std::make_unique<ConvLink>(options);
  if (options.name == "ldpc") return std::make_unique<LdpcLink>(options);
  throw std::invalid_argument("unknown link '" + options.name + "' (known: turbo, conv, ldpc)");
}

std::vector<std::string> link_names() {
  return {"turbo", "conv", "ldpc"};
}

}  // namespace linkforge::sim
