// The amplitude-only tone metrics (csi_flag 1) in SIMD lanes, once per target.
#pragma once

#include <cstddef>

namespace linkforge::tone_detail {

// out[i*M + k] = tone_log_i0(scale[i] * sqrt(y_re^2 + y_im^2)) of tone k of symbol i,
// for N symbols; y_im may be null (all 0). Equal to the scalar computation value by
// value.
void amplitude_metrics(const float* y_re, const float* y_im, std::size_t M, std::size_t N,
                       const float* scale, float* out);

}  // namespace linkforge::tone_detail
