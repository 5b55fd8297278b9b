#include "polar_args.hpp"

#include <string>

#include "linkforge/polar.hpp"

namespace linkforge::mex {

std::size_t read_polar_size(const mxArray* array, const char* name) {
  const int value = scalar_int(array, name);
  if (value < 1) fail(std::string(name) + " must be a positive integer");
  return static_cast<std::size_t>(value);
}

bool read_polar_interleave(const Call& call, int index) {
  if (call.nargin() <= index || mxIsEmpty(call.arg(index))) return false;
  const int value = scalar_int(call.arg(index), "interleave");
  if (value != 0 && value != 1) fail("interleave must be 0 or 1");
  return value == 1;
}

std::vector<std::uint32_t> read_polar_info(const Call& call, int index, std::size_t K,
                                           std::size_t N) {
  if (call.nargin() <= index || mxIsEmpty(call.arg(index))) return polar_construct(K, N);
  return polar_rate_construct({K, read_polar_size(call.arg(index), "E"), N, false});
}

PolarLink read_polar_link(const mxArray* array) {
  if (!mxIsChar(array)) fail("link must be 'downlink' or 'uplink'");
  char* text = mxArrayToString(array);
  const std::string label = text != nullptr ? text : "";
  mxFree(text);
  if (label == "downlink") return PolarLink::kDownlink;
  if (label == "uplink") return PolarLink::kUplink;
  fail("link must be 'downlink' or 'uplink', not '" + label + "'");
}

}  // namespace linkforge::mex
