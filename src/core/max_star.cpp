#include "linkforge/max_star.hpp"

#include <string>

#include "linkforge/error.hpp"

namespace linkforge {

void throw_bad_max_star_type(int type) {
  throw ArgumentError("max-star type " + std::to_string(type) + " is not 0 through 4");
}

}  // namespace linkforge
