// The polar encoder by its generator matrix, apart from the library's transform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace linkforge::testing {

// x = u G with u holding data at the positions info, G = F^{(x)n}: G(i, j) = 1 when the
// bits of j are a subset of those of i.
inline std::vector<std::uint8_t> encode_at(const std::vector<std::uint8_t>& data,
                                           const std::vector<std::uint32_t>& info, std::size_t N) {
  std::vector<std::uint8_t> x(N, 0);
  for (std::size_t k = 0; k < info.size(); ++k)
    if (data[k])
      for (std::size_t j = 0; j < N; ++j)
        if ((j & info[k]) == j) x[j] ^= 1;
  return x;
}

}  // namespace linkforge::testing
