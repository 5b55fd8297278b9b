// The modulation and channel of a link: code bits onto BPSK or Gray-labelled square QAM
// of unit mean energy, through AWGN or Rayleigh fading (unit-power complex gains, one per
// symbol or one per frame, known to the receiver), and back to bit log-likelihood
// ratios ln(P(1)/P(0)) by the whole soft demapper.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "linkforge/max_star.hpp"
#include "philox.hpp"

namespace linkforge::sim {

class Channel {
 public:
  // Modulation bpsk, qpsk, 16qam or 64qam; channel awgn, rayleigh-fast or rayleigh-block.
  // Throws std::invalid_argument naming an unknown one.
  Channel(const std::string& modulation, const std::string& channel);

  int bits_per_symbol() const { return m_; }
  bool fading() const { return fade_ != Fade::kNone; }

  // The log-likelihood ratios `llr` of the code bits `bits` (0 or 1) of frame `frame`,
  // sent at Eb/N0 `ebn0_db` (dB) with `rate` information bits per code bit; the noise
  // comes from the frame's stream `stream` and the gains from stream `stream` + 16. The
  // last symbol is padded with 0 bits. Demapped with `op` (BPSK over AWGN: 2y/sigma^2
  // directly, the two agreeing up to rounding).
  void transmit(const Philox& philox, std::uint64_t frame, std::uint32_t stream, double ebn0_db,
                double rate, MaxStar op, std::span<const int> bits, std::span<double> llr);

  // The same for the n code bits packed 8 to a byte (bit i: bit i % 8 of bits[i / 8]),
  // llr holding n values. BPSK over AWGN forms the ratios straight from the packed bits.
  void transmit(const Philox& philox, std::uint64_t frame, std::uint32_t stream, double ebn0_db,
                double rate, MaxStar op, const std::uint8_t* bits, std::size_t n, double* llr);

  // BPSK over AWGN: the n noise values transmit draws for the frame into `noise`, and
  // the sigma and scale that turn them into its ratios (bpsk_llrs); true. Other
  // modulations and channels: false, nothing drawn.
  bool bpsk_noise(const Philox& philox, std::uint64_t frame, std::uint32_t stream, double ebn0_db,
                  double rate, std::size_t n, double* noise, double& sigma, double& scale) const;

  // The received samples y = a*s + noise of the symbols of `bits` (m to a symbol, the
  // last padded with 0 bits) on the points `re`, `im` (2^m of them, label k at index k),
  // and their gains a (empty without fading); returns Es/N0. Draws as transmit.
  struct Received {
    std::span<const double> y_re, y_im, a_re, a_im;
    double es_no;
  };
  Received send(const Philox& philox, std::uint64_t frame, std::uint32_t stream, double ebn0_db,
                double rate, std::span<const int> bits, const std::vector<double>& re,
                const std::vector<double>& im);

  // The modulation's points, label k at index k.
  const std::vector<double>& points_re() const { return re_; }
  const std::vector<double>& points_im() const { return im_; }

 private:
  enum class Fade { kNone, kFast, kBlock };
  int m_ = 1;
  Fade fade_ = Fade::kNone;
  std::vector<double> re_, im_;
  std::vector<double> y_re_, y_im_, a_re_, a_im_, out_;
  std::vector<int> unpacked_;
};

// Square 2^m-QAM (m even) of unit mean energy, label k at index k: the first half of a
// label's bits picks the in-phase level, the second half the quadrature level, each in a
// binary reflected Gray code or, `partitioned`, by set partitioning (from the least
// significant bit up, each bit splits the set into two whose least distance grows by
// sqrt(2)).
void square_qam(int m, bool partitioned, std::vector<double>& re, std::vector<double>& im);

// The names Channel knows.
inline constexpr const char* kModulations = "bpsk, qpsk, 16qam or 64qam";
inline constexpr const char* kChannels = "awgn, rayleigh-fast or rayleigh-block";

}  // namespace linkforge::sim
