#include <stdexcept>

#include "linkforge/checked.hpp"
#include "linkforge/error.hpp"
#include "linkforge/modem.hpp"

namespace linkforge {

void plane_metrics(ComplexSpan<double> y, ComplexSpan<double> points, float es_no,
                   ComplexSpan<double> fade, std::span<double> out, const Interrupt& interrupt) {
  const std::size_t N = y.re.size();
  const std::size_t M = points.re.size();
  const bool faded = !fade.re.empty();
  if (!y.well_formed() || !points.well_formed() || !fade.well_formed() ||
      (faded && fade.re.size() != N) || out.size() != mul_sat(M, N)) {
    throw ArgumentError("plane_metrics: sizes of samples, points and output disagree");
  }
  const double scale = es_no;
  InterruptPacer pacer(interrupt);
  for (std::size_t i = 0; i < N; ++i) {
    pacer.add(M + 1);
    const double y_re = y.re[i];
    const double y_im = y.imag(i);
    const double a_re = faded ? fade.re[i] : 1.0;
    const double a_im = faded ? fade.imag(i) : 0.0;
    double* column = out.data() + i * M;
    // The faded point is formed in full, also for a = 1, so that a point with a
    // non-finite imaginary part gives the same value with and without fading.
    for (std::size_t k = 0; k < M; ++k) {
      const double s_re = points.re[k];
      const double s_im = points.imag(k);
      const double e_re = y_re - (a_re * s_re - a_im * s_im);
      const double e_im = y_im - (s_re * a_im + a_re * s_im);
      column[k] = -scale * (e_re * e_re + e_im * e_im);
    }
  }
}

}  // namespace linkforge
