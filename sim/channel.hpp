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

  // The modulation's points, label k at index k.
  const std::vector<double>& points_re() const { return re_; }
  const std::vector<double>& points_im() const { return im_; }

 private:
  enum class Fade { kNone, kFast, kBlock };
  int m_ = 1;
  Fade fade_ = Fade::kNone;
  std::vector<double> re_, im_;
  std::vector<double> y_re_, y_im_, a_re_, a_im_, out_;
};

// The names Channel knows.
inline constexpr const char* kModulations = "bpsk, qpsk, 16qam or 64qam";
inline constexpr const char* kChannels = "awgn, rayleigh-fast or rayleigh-block";

}  // namespace linkforge::sim
