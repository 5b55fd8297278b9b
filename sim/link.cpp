#include "link.hpp"

#include <cmath>
#include <numeric>
#include <stdexcept>

#include "linkforge/conv.hpp"
#include "linkforge/interleave.hpp"
#include "linkforge/trellis.hpp"
#include "linkforge/turbo.hpp"

namespace linkforge::sim {

namespace {

// Streams of a frame's draws.
constexpr std::uint32_t kDataStream = 0;
constexpr std::uint32_t kNoiseStream = 1;

// Noise standard deviation per real dimension for BPSK at Eb/N0 (dB) and rate R.
double bpsk_sigma(double ebn0_db, double rate) {
  return std::sqrt(1.0 / (2.0 * std::pow(10.0, ebn0_db / 10.0) * rate));
}

// The rate-1/3 turbo code of the cellular standard's shape: two 8-state recursive
// systematic codes (feedback 13, parity 15 in octal), the second fed through the
// cellular permutation, each terminated; BPSK over AWGN; the whole turbo decoder.
class TurboLink final : public Link {
 public:
  explicit TurboLink(const LinkOptions& o) : o_(o) {
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
    tail_ = tail_inputs(trellis_, CodeType::kRecursive);
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
    const double sigma = bpsk_sigma(ebn0_db, rates()[0]);
    const double scale = 2.0 / (sigma * sigma);
    ys_.resize(count * L);
    yp1_.resize(count * L);
    yp2_.resize(count * L);
    ytail_.resize(count * 4 * m);
    data_.resize(count * L);
    app_.resize(count * L);
    std::vector<int> interleaved(L), code1(2 * (L + m)), code2(2 * (L + m));
    for (std::size_t f = 0; f < count; ++f) {
      FrameStream bits(philox, first + f, kDataStream);
      FrameStream noise(philox, first + f, kNoiseStream);
      int* data = data_.data() + f * L;
      std::uint32_t word = 0;
      for (std::size_t k = 0; k < L; ++k) {
        if (k % 32 == 0) word = bits.bits();
        data[k] = static_cast<int>((word >> (k % 32)) & 1);
      }
      for (std::size_t k = 0; k < L; ++k) interleaved[k] = data[alpha_[k]];
      trellis_encode(code1, {data, L}, trellis_, tail_);
      trellis_encode(code2, interleaved, trellis_, tail_);
      const auto channel = [&](int bit) { return scale * ((2.0 * bit - 1.0) + sigma * noise.normal()); };
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
  std::vector<int> alpha_, tail_, data_;
  TurboDecodeParams params_;
  std::vector<double> ys_, yp1_, yp2_, ytail_, app_;
};

}  // namespace

std::unique_ptr<Link> make_link(const LinkOptions& options) {
  if (options.name == "turbo") return std::make_unique<TurboLink>(options);
  throw std::invalid_argument("unknown link '" + options.name + "' (known: turbo)");
}

std::vector<std::string> link_names() {
  return {"turbo"};
}

}  // namespace linkforge::sim
