#include "linkforge/max_star.hpp"

#include <string>

namespace linkforge {

void throw_bad_max_star_type(int type) {
  throw std::invalid_argument("max-star type " + std::to_string(type) + " is not 0 through 4");
}

}  // namespace linkforge
