#include "json.hpp"

#include <cctype>
#include <cmath>
#include <stdexcept>

namespace linkforge::sim {

namespace {

class Parser {
 public:
  explicit Parser(const std::string& s) : s_(s) {}

  Json document() {
    Json v = value(0);
    space();
    if (i_ != s_.size()) fail("text after the end");
    return v;
  }

 private:
  [[noreturn]] void fail(const char* what) const {
    throw std::invalid_argument(std::string("not valid JSON: ") + what + " at byte " +
                                std::to_string(i_));
  }
  void space() {
    while (i_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[i_]))) ++i_;
  }
  bool take(char c) {
    space();
    if (i_ < s_.size() && s_[i_] == c) {
      ++i_;
      return true;
    }
    return false;
  }
  void expect(char c) {
    if (!take(c)) fail("unexpected character");
  }
  bool word(const char* w) {
    const std::string t(w);
    if (s_.compare(i_, t.size(), t) != 0) return false;
    i_ += t.size();
    return true;
  }

  std::string string_body() {
    std::string out;
    for (;;) {
      if (i_ >= s_.size()) fail("unterminated string");
      const char c = s_[i_++];
      if (c == '"') return out;
      if (c == '\\') {
        if (i_ >= s_.size()) fail("unterminated string");
        const char e = s_[i_++];
        if (e != '"' && e != '\\' && e != '/') fail("unsupported escape");
        out += e;
      } else {
        out += c;
      }
    }
  }

  Json value(int depth) {
    if (depth > 32) fail("nesting too deep");
    space();
    Json v;
    if (i_ >= s_.size()) fail("unexpected end");
    const char c = s_[i_];
    if (c == '{') {
      ++i_;
      v.kind = Json::Kind::kObject;
      if (take('}')) return v;
      do {
        expect('"');
        const std::string key = string_body();
        expect(':');
        v.members[key] = value(depth + 1);
      } while (take(','));
      expect('}');
    } else if (c == '[') {
      ++i_;
      v.kind = Json::Kind::kArray;
      if (take(']')) return v;
      do v.items.push_back(value(depth + 1));
      while (take(','));
      expect(']');
    } else if (c == '"') {
      ++i_;
      v.kind = Json::Kind::kString;
      v.text = string_body();
    } else if (word("true") || word("false")) {
      v.kind = Json::Kind::kBool;
      v.boolean = s_[i_ - 1] == 'e' && s_[i_ - 2] == 'u';
    } else if (word("null")) {
    } else {
      const std::size_t start = i_;
      while (i_ < s_.size() && (std::isdigit(static_cast<unsigned char>(s_[i_])) || s_[i_] == '-' ||
                                s_[i_] == '+' || s_[i_] == '.' || s_[i_] == 'e' || s_[i_] == 'E')) {
        ++i_;
      }
      if (i_ == start) fail("unexpected character");
      v.kind = Json::Kind::kNumber;
      v.text = s_.substr(start, i_ - start);
    }
    return v;
  }

  const std::string& s_;
  std::size_t i_ = 0;
};

}  // namespace

const Json& Json::at(const std::string& key) const {
  const auto it = members.find(key);
  if (kind != Kind::kObject || it == members.end()) {
    throw std::invalid_argument("the results file has no '" + key + "'");
  }
  return it->second;
}

std::optional<double> parse_number(const std::string& text) noexcept {
  std::size_t used = 0;
  double v = 0;
  try {
    v = std::stod(text, &used);
  } catch (const std::exception&) {
    return std::nullopt;
  }
  if (used == 0 || used != text.size() || !std::isfinite(v)) return std::nullopt;
  return v;
}

double Json::number() const {
  const std::optional<double> v = kind == Kind::kNumber ? parse_number(text) : std::nullopt;
  if (!v) throw std::invalid_argument("the results file holds '" + text + "' where a number belongs");
  return *v;
}

std::uint64_t Json::count() const {
  std::size_t used = 0;
  std::uint64_t v = 0;
  try {
    v = std::stoull(text, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (kind != Kind::kNumber || used != text.size() || text.empty() || text[0] == '-') {
    throw std::invalid_argument("the results file holds '" + text + "' where a count belongs");
  }
  return v;
}

const std::string& Json::string() const {
  if (kind != Kind::kString) throw std::invalid_argument("the results file holds a non-string where a string belongs");
  return text;
}

Json parse_json(const std::string& text) {
  return Parser(text).document();
}

}  // namespace linkforge::sim
