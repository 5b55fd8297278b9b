// cap = InfoRateTable(EsNo_AWGN, capacity_AWGN, slope, gamma)
//
// Capacities of faded channels from a table of the unfaded channel: every ratio of the
// R x K matrix gamma is looked up in the table (EsNo_AWGN, capacity_AWGN), linearly
// between its points with the caller's slopes, 0 below the first point and the last
// capacity from the last point on; cap(i) is the sum over row i.
#include "gateway.hpp"
#include "linkforge/capacity.hpp"

namespace {

using namespace linkforge;
using namespace linkforge::mex;

constexpr const char* kUsage =
    "Usage: cap = InfoRateTable( EsNo_AWGN, capacity_AWGN, slope, gamma )";

void info_rate_table_gateway(Call& call) {
  if (call.nargin() < 4 || call.nargout() > 1) fail(kUsage);
  const Matrix es_no(call.arg(0), "EsNo_AWGN");
  const std::size_t T = es_no.cols();
  const Matrix capacity(call.arg(1), "capacity_AWGN");
  if (capacity.cols() != T) fail("Table sizes don't match");
  const Matrix slope(call.arg(2), "slope");
  if (slope.cols() + 1 != T) fail("slope vector is wrong size");
  const Matrix gamma(call.arg(3), "gamma");

  const std::span<const double> E = es_no.row();
  const std::span<const double> C = capacity.row();
  const std::span<const double> D = slope.row();
  Output output = Output::real(gamma.rows(), 1);
  info_rate_table(E, C, D, gamma.real(), output.real(), host_interrupt());
  call.set_output(0, std::move(output));
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  run("InfoRateTable", info_rate_table_gateway, nlhs, plhs, nrhs, prhs);
}
