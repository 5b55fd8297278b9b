// The LTE turbo interleaver against the table file, read by the test, and the
// polynomial evaluated directly in 64 bits.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "linkforge/error.hpp"
#include "linkforge/qpp.hpp"

namespace linkforge {
namespace {

std::vector<QppParams> read_file() {
  std::ifstream in(std::string(LINKFORGE_STANDARDS_DIR) + "/lte_qpp.csv");
  std::string line;
  std::getline(in, line);
  std::vector<QppParams> rows;
  int i = 0, K = 0, f1 = 0, f2 = 0;
  char comma = 0;
  while (in >> i >> comma >> K >> comma >> f1 >> comma >> f2) rows.push_back({K, f1, f2});
  return rows;
}

TEST(Qpp, EverySizeOfTheFileIsABijectionGivenByThePolynomial) {
  const auto rows = read_file();
  ASSERT_EQ(rows.size(), 188u);
  ASSERT_EQ(lte_qpp_table().size(), rows.size());
  for (const QppParams& row : rows) {
    const QppParams& p = lte_qpp(row.K);
    ASSERT_EQ(p.f1, row.f1) << "K " << row.K;
    ASSERT_EQ(p.f2, row.f2) << "K " << row.K;
    std::vector<int> alpha(static_cast<std::size_t>(row.K), -1);
    qpp_permutation(row.K, alpha);
    std::vector<bool> seen(alpha.size(), false);
    for (std::int64_t j = 0; j < row.K; ++j) {
      // f2 j^2 reaches 1.9e10 at K = 6144: beyond 32 bits.
      const std::int64_t expected = (row.f1 * j + row.f2 * j * j) % row.K;
      ASSERT_EQ(alpha[j], expected) << "K " << row.K << ", j " << j;
      ASSERT_FALSE(seen[alpha[j]]) << "K " << row.K << " repeats " << alpha[j];
      seen[alpha[j]] = true;
    }
  }
}

TEST(Qpp, RefusesOtherSizesNamingTheNearest) {
  const auto rows = read_file();
  std::set<long long> sizes;
  for (const QppParams& row : rows) sizes.insert(row.K);
  for (long long K = -1; K <= 6200; ++K) {
    EXPECT_EQ(find_lte_qpp(K) != nullptr, sizes.count(K) == 1) << K;
  }
  const auto message = [](long long K) {
    try {
      lte_qpp(K);
    } catch (const ArgumentError& e) {
      return std::string(e.what());
    }
    return std::string("accepted");
  };
  EXPECT_EQ(message(1000), "K = 1000 is not an LTE interleaver size; the nearest are 992 and 1008");
  EXPECT_EQ(message(513), "K = 513 is not an LTE interleaver size; the nearest are 512 and 528");
  EXPECT_EQ(message(39), "K = 39 is not an LTE interleaver size; the nearest is 40");
  EXPECT_EQ(message(-5), "K = -5 is not an LTE interleaver size; the nearest is 40");
  EXPECT_EQ(message(6145), "K = 6145 is not an LTE interleaver size; the nearest is 6144");
  EXPECT_EQ(message(1LL << 40), "K = 1099511627776 is not an LTE interleaver size; the nearest is 6144");
  std::vector<int> short_alpha(39);
  EXPECT_THROW(qpp_permutation(40, short_alpha), ArgumentError);
  EXPECT_THROW(qpp_permutation(39, short_alpha), ArgumentError);
}

}  // namespace
}  // namespace linkforge
