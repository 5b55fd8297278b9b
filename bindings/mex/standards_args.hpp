// Arguments the standard-code modules share.
#pragma once

#include "gateway.hpp"
#include "linkforge/crc.hpp"

namespace linkforge::mex {

// The CRC a text argument names ('24A', '24B', '24C', '16', '11', '8' or '6'); refuses
// any other text and arguments that are not text.
CrcName read_crc_name(const mxArray* array);

}  // namespace linkforge::mex
