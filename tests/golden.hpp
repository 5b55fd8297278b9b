// Reference values kept once for the kernel, module and Python tests: one file
// tests/golden/<set>.txt per set, in the folder LINKFORGE_GOLDEN_DIR names. The first
// line is "# <set>: <origin>", other lines starting with # are comments, and every other
// line holds entries separated by "|", each a key and its numbers. A key given on
// several lines has one row per line (one case per line), in file order.
#pragma once

#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace linkforge::golden {

class Set {
 public:
  explicit Set(const std::string& name) {
    const std::string path = std::string(LINKFORGE_GOLDEN_DIR) + "/" + name + ".txt";
    std::ifstream file(path);
    std::string line, entry, key;
    if (!std::getline(file, line) || line.rfind("# " + name + ": ", 0) != 0) {
      throw std::runtime_error(path + " does not begin with \"# " + name + ": <origin>\"");
    }
    while (std::getline(file, line)) {
      for (std::istringstream entries(line); line[0] != '#' && std::getline(entries, entry, '|');) {
        std::istringstream in(entry);
        if (!(in >> key)) continue;
        std::vector<double>& row = rows_[key].emplace_back();
        for (double v; in >> v;) row.push_back(v);
        if (!in.eof()) throw std::runtime_error(path + ": not a number in \"" + entry + "\"");
      }
    }
  }

  // Every row of `key` in file order, their count, row i as T and its first number.
  const std::vector<std::vector<double>>& rows(const std::string& key) const {
    const auto it = rows_.find(key);
    if (it == rows_.end()) throw std::runtime_error("no golden values named " + key);
    return it->second;
  }
  std::size_t cases(const std::string& key) const { return rows(key).size(); }
  template <class T = double>
  std::vector<T> row(const std::string& key, std::size_t i = 0) const {
    return std::vector<T>(rows(key).at(i).begin(), rows(key).at(i).end());
  }
  double scalar(const std::string& key, std::size_t i = 0) const { return rows(key).at(i).at(0); }

 private:
  std::map<std::string, std::vector<std::vector<double>>> rows_;
};

}  // namespace linkforge::golden
