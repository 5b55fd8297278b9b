#include "standards_args.hpp"

#include <string>

namespace linkforge::mex {

CrcName read_crc_name(const mxArray* array) {
  if (array == nullptr || !mxIsChar(array)) {
    fail("name must be the text of a CRC: one of " + crc_name_list());
  }
  char* text = mxArrayToString(array);
  const std::string label = text != nullptr ? text : "";
  mxFree(text);
  const auto name = crc_name(label);
  if (!name) fail("name '" + label + "' is not a CRC: use one of " + crc_name_list());
  return *name;
}

}  // namespace linkforge::mex
