// A small JSON reader for the simulator's own results files (resuming a run): objects,
// arrays, strings, numbers, true, false and null. Numbers keep their text, so integer
// counts come back exactly.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace linkforge::sim {

struct Json {
  enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject };
  Kind kind = Kind::kNull;
  bool boolean = false;
  std::string text;  // a string's value, or a number's digits
  std::vector<Json> items;
  std::map<std::string, Json> members;

  // The member `key` of an object; throws std::invalid_argument when missing.
  const Json& at(const std::string& key) const;
  double number() const;
  std::uint64_t count() const;  // a non-negative integer
  const std::string& string() const;
};

// The finite number that is the whole of `text`, or nothing.
std::optional<double> parse_number(const std::string& text) noexcept;

// Parses `text`; throws std::invalid_argument on anything that is not JSON.
Json parse_json(const std::string& text);

}  // namespace linkforge::sim
