#include "channel.hpp"

#include <cmath>
#include <stdexcept>

#include "frame_ops.hpp"
#include "linkforge/soft_demap.hpp"

namespace linkforge::sim {

void square_qam(int m, bool partitioned, std::vector<double>& re, std::vector<double>& im) {
  const int side = 1 << (m / 2);
  const std::size_t M = std::size_t{1} << m;
  re.assign(M, 0.0);
  im.assign(M, 0.0);
  double energy = 0;
  for (int i = 0; i < side; ++i) {
    for (int q = 0; q < side; ++q) {
      std::size_t label = 0;
      if (partitioned) {
        for (int level = 0; level < m / 2; ++level) {
          const int a = i >> level, b = q >> level;
          label += static_cast<std::size_t>((a + b) % 2) << (2 * level);
          label += static_cast<std::size_t>(a % 2) << (2 * level + 1);
        }
      } else {
        label = static_cast<std::size_t>((i ^ (i >> 1)) * side + (q ^ (q >> 1)));
      }
      re[label] = 2.0 * i - (side - 1);
      im[label] = 2.0 * q - (side - 1);
      energy += re[label] * re[label] + im[label] * im[label];
    }
  }
  const double scale = 1.0 / std::sqrt(energy / static_cast<double>(M));
  for (std::size_t k = 0; k < M; ++k) {
    re[k] *= scale;
    im[k] *= scale;
  }
}

Channel::Channel(const std::string& modulation, const std::string& channel) {
  if (modulation == "bpsk") {
    m_ = 1;
    re_ = {-1.0, 1.0};
    im_ = {0.0, 0.0};
  } else if (modulation == "qpsk" || modulation == "16qam" || modulation == "64qam") {
    m_ = modulation == "qpsk" ? 2 : modulation == "16qam" ? 4 : 6;
    square_qam(m_, false, re_, im_);
  } else {
    throw std::invalid_argument("unknown modulation '" + modulation + "' (known: " + kModulations + ")");
  }
  if (channel == "awgn") {
    fade_ = Fade::kNone;
  } else if (channel == "rayleigh-fast") {
    fade_ = Fade::kFast;
  } else if (channel == "rayleigh-block") {
    fade_ = Fade::kBlock;
  } else {
    throw std::invalid_argument("unknown channel '" + channel + "' (known: " + kChannels + ")");
  }
}

void Channel::transmit(const Philox& philox, std::uint64_t frame, std::uint32_t stream, double ebn0_db,
                       double rate, MaxStar op, std::span<const int> bits, std::span<double> llr) {
  const std::size_t n = bits.size();
  if (m_ == 1 && fade_ == Fade::kNone) {
    // The real line alone: one draw per bit, as the links have always drawn it.
    const double sigma = std::sqrt(1.0 / (2.0 * std::pow(10.0, ebn0_db / 10.0) * rate));
    const double scale = 2.0 / (sigma * sigma);
    Normals noise(philox, frame, stream);
    noise.draw(llr.data(), n);
    for (std::size_t i = 0; i < n; ++i) llr[i] = scale * ((2.0 * bits[i] - 1.0) + sigma * llr[i]);
    return;
  }
  const Received r = send(philox, frame, stream, ebn0_db, rate, bits, re_, im_);
  const std::size_t m = static_cast<std::size_t>(m_), N = r.y_re.size();
  out_.resize(N * m);
  using View = FrameView<const double>;
  const ComplexFrames y{View::row_major(y_re_.data(), 1, N), View::row_major(y_im_.data(), 1, N)};
  const ComplexFrames fade = fading() ? ComplexFrames{View::row_major(a_re_.data(), 1, N),
                                                      View::row_major(a_im_.data(), 1, N)}
                                      : ComplexFrames{};
  SoftDemapParams params;
  params.op = op;
  params.es_no = static_cast<float>(r.es_no);
  params.threads = 1;  // the simulator spreads chunks over threads
  soft_demap(y, {re_, im_}, fade, {}, params, FrameView<double>::row_major(out_.data(), 1, N * m));
  for (std::size_t i = 0; i < n; ++i) llr[i] = out_[i];
}

void Channel::transmit(const Philox& philox, std::uint64_t frame, std::uint32_t stream, double ebn0_db,
                       double rate, MaxStar op, const std::uint8_t* bits, std::size_t n, double* llr) {
  double sigma = 0, scale = 0;
  if (bpsk_noise(philox, frame, stream, ebn0_db, rate, n, llr, sigma, scale)) {
    bpsk_llrs(bits, llr, n, sigma, scale, llr);
    return;
  }
  unpacked_.resize(n);
  for (std::size_t i = 0; i < n; ++i) unpacked_[i] = (bits[i / 8] >> (i % 8)) & 1;
  transmit(philox, frame, stream, ebn0_db, rate, op, unpacked_, {llr, n});
}

bool Channel::bpsk_noise(const Philox& philox, std::uint64_t frame, std::uint32_t stream, double ebn0_db,
                         double rate, std::size_t n, double* noise, double& sigma, double& scale) const {
  if (m_ != 1 || fade_ != Fade::kNone) return false;
  sigma = std::sqrt(1.0 / (2.0 * std::pow(10.0, ebn0_db / 10.0) * rate));
  scale = 2.0 / (sigma * sigma);
  Normals draws(philox, frame, stream);
  draws.draw(noise, n);
  return true;
}

Channel::Received Channel::send(const Philox& philox, std::uint64_t frame, std::uint32_t stream,
                                double ebn0_db, double rate, std::span<const int> bits,
                                const std::vector<double>& re, const std::vector<double>& im) {
  const std::size_t n = bits.size(), m = static_cast<std::size_t>(m_), N = (n + m - 1) / m;
  const double es_no = std::pow(10.0, ebn0_db / 10.0) * rate * m_;
  const double sigma = std::sqrt(1.0 / (2.0 * es_no));  // per real dimension
  FrameStream noise(philox, frame, stream);
  FrameStream gains(philox, frame, stream + 16);
  y_re_.resize(N);
  y_im_.resize(N);
  a_re_.resize(fading() ? N : 0);
  a_im_.resize(fading() ? N : 0);
  const double g = std::sqrt(0.5);
  double block_re = 0, block_im = 0;
  if (fade_ == Fade::kBlock) {
    block_re = g * gains.normal();
    block_im = g * gains.normal();
  }
  for (std::size_t j = 0; j < N; ++j) {
    std::size_t label = 0;
    for (std::size_t k = 0; k < m; ++k) {
      const std::size_t i = j * m + k;
      label = 2 * label + (i < n ? static_cast<std::size_t>(bits[i]) : 0);
    }
    double s_re = re[label], s_im = im[label];
    if (fading()) {
      const double a_re = fade_ == Fade::kFast ? g * gains.normal() : block_re;
      const double a_im = fade_ == Fade::kFast ? g * gains.normal() : block_im;
      a_re_[j] = a_re;
      a_im_[j] = a_im;
      const double r = a_re * s_re - a_im * s_im;
      s_im = a_re * s_im + a_im * s_re;
      s_re = r;
    }
    y_re_[j] = s_re + sigma * noise.normal();
    y_im_[j] = s_im + sigma * noise.normal();
  }
  return {y_re_, y_im_, a_re_, a_im_, es_no};
}

}  // namespace linkforge::sim
