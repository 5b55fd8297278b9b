// Throughput of linkforge next to IT++, an independent library, on the same work in the
// same run, single thread: turbo decoding, Viterbi decoding, LDPC decoding and 16-QAM
// soft demapping. Each measurement repeats its work for at least half a second; the
// program also checks that both sides decode the channel it times (at a good SNR) and
// prints a warning when either does not.
//
// Conventions: linkforge takes log-likelihood ratios ln(P(1)/P(0)); IT++ takes channel
// values or ratios of BPSK 0 -> +1 (positive favours 0). Both get the same channel, each
// with its own sign.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <complex>
#include <cstdio>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include <itpp/itcomm.h>

#include "linkforge/conv.hpp"
#include "linkforge/interleave.hpp"
#include "linkforge/ldpc.hpp"
#include "linkforge/ldpc_batch.hpp"
#include "linkforge/modem.hpp"
#include "linkforge/soft_demap.hpp"
#include "linkforge/turbo.hpp"
#include "linkforge/viterbi.hpp"

namespace {

namespace lf = linkforge;
using Clock = std::chrono::steady_clock;

// Items per second of `call`, which does `items` items of work per call.
template <class Call>
double rate(double items, Call&& call) {
  call();  // warm-up
  const auto start = Clock::now();
  long calls = 0;
  double seconds = 0;
  do {
    call();
    ++calls;
    seconds = std::chrono::duration<double>(Clock::now() - start).count();
  } while (seconds < 0.5);
  return items * static_cast<double>(calls) / seconds;
}

std::vector<std::string> notes;

// Prints one line of the table as soon as its work has been measured.
void row(const std::string& work, const char* unit, double ours, double peer) {
  std::printf("%-40s %8s %12.3f %12.3f %8.2f\n", work.c_str(), unit, ours, peer, ours / peer);
  std::fflush(stdout);
}

void check(bool ok, const std::string& what) {
  if (!ok) notes.push_back("WARNING: " + what);
}

// Bit errors of the decoded frames, against the bits sent: noted when there are any, a
// warning above one in a thousand (a decoder that works makes almost none at these SNRs).
void check_errors(const std::string& what, long errors, long bits) {
  if (errors == 0) return;
  const std::string text = what + ": " + std::to_string(errors) + " bit errors in " + std::to_string(bits);
  if (errors * 1000 > bits) {
    check(false, text);
  } else {
    notes.push_back("note: " + text);
  }
}

std::mt19937 rng(2026);
std::normal_distribution<double> gauss(0.0, 1.0);

// BPSK values (bit 0 -> +1) of code bits over Gaussian noise of deviation sigma.
itpp::vec channel_values(const itpp::bvec& bits, double sigma) {
  itpp::vec r(bits.size());
  for (int i = 0; i < bits.size(); ++i) r(i) = (bits(i) == 1 ? -1.0 : 1.0) + sigma * gauss(rng);
  return r;
}

itpp::bvec random_bits(int count) {
  itpp::bvec b(count);
  for (int i = 0; i < count; ++i) b(i) = static_cast<int>(rng() & 1);
  return b;
}

// Noise deviation of BPSK at Eb/N0 = ebno_db for a code of the given rate.
double sigma_of(double ebno_db, double code_rate) {
  return std::sqrt(1.0 / (2.0 * code_rate * std::pow(10.0, ebno_db / 10.0)));
}

// ---------------------------------------------------------------------------------
// Turbo code of the cellular standard: K = 5114, 8 iterations, 64 frames per call.
void turbo() {
  const int L = 5114, m = 3, F = 64, iterations = 8;
  std::vector<int> natural(L), alpha(L);
  std::iota(natural.begin(), natural.end(), 0);
  lf::WcdmaPermutation(L, natural, alpha);
  const itpp::ivec peer_alpha = itpp::wcdma_turbo_interleaver_sequence(L);
  bool same_alpha = peer_alpha.size() == L;
  for (int k = 0; same_alpha && k < L; ++k) same_alpha = peer_alpha(k) == alpha[k];
  itpp::ivec sequence(L);
  for (int k = 0; k < L; ++k) sequence(k) = alpha[k];
  itpp::ivec gen(2);
  gen(0) = 013;
  gen(1) = 015;

  const double sigma = sigma_of(3.0, 1.0 / 3.0);
  const std::size_t uF = F, uL = L;
  std::vector<itpp::bvec> data(F);
  std::vector<itpp::vec> received(F);
  std::vector<double> ys(uF * uL), yp1(uF * uL), yp2(uF * uL), ytail(uF * 4 * m), app(uF * uL);
  itpp::Turbo_Codec codec;
  codec.set_parameters(gen, gen, 4, sequence, iterations, "LOGMAX", 1.0, false);
  codec.set_awgn_channel_parameters(1.0, 2.0 * sigma * sigma);  // Lc = 2 / sigma^2
  const double lc = 2.0 / (sigma * sigma);
  for (std::size_t f = 0; f < uF; ++f) {
    data[f] = random_bits(L);
    itpp::bvec coded;
    codec.encode(data[f], coded);  // s, p1, p2 per bit, then the two tails
    received[f] = channel_values(coded, sigma);
    const itpp::vec& r = received[f];
    for (std::size_t k = 0; k < uL; ++k) {
      ys[f + k * uF] = -lc * r(static_cast<int>(3 * k));
      yp1[f + k * uF] = -lc * r(static_cast<int>(3 * k + 1));
      yp2[f + k * uF] = -lc * r(static_cast<int>(3 * k + 2));
    }
    for (std::size_t i = 0; i < 4 * m; ++i) ytail[f + i * uF] = -lc * r(static_cast<int>(3 * uL + i));
  }
  const lf::Trellis t = lf::make_trellis(std::vector<int>{013, 015}, 4, true);
  const lf::TurboChannel channel{lf::FrameView<const double>::column_major(ys.data(), uF, uL),
                                 lf::FrameView<const double>::column_major(yp1.data(), uF, uL),
                                 lf::FrameView<const double>::column_major(yp2.data(), uF, uL),
                                 lf::FrameView<const double>::column_major(ytail.data(), uF, 4 * m)};
  lf::TurboResults results;
  results.app = lf::FrameView<double>::column_major(app.data(), uF, uL);

  for (const bool exact : {false, true}) {
    const char* name = exact ? "log-MAP" : "max-log";
    lf::TurboDecodeParams params;
    params.iterations = iterations;
    params.max_star = exact ? lf::MaxStar::kExact : lf::MaxStar::kMaxLog;
    params.threads = 1;
    codec.set_metric(exact ? "LOGMAP" : "LOGMAX", 1.0);
    const auto ours = [&] { lf::turbo_decode(channel, t, alpha, params, results); };
    itpp::bvec decoded;
    std::size_t next = 0;
    const auto peer = [&] { codec.decode(received[next++ % uF], decoded); };
    const double r_ours = rate(F * L, ours);
    const double r_peer = rate(L, peer);
    long errors_ours = 0, errors_peer = 0;
    for (std::size_t f = 0; f < uF; ++f) {
      codec.decode(received[f], decoded);
      for (std::size_t k = 0; k < uL; ++k) {
        const int bit = data[f](static_cast<int>(k)) == 1;
        errors_ours += (app[f + k * uF] > 0) != bit;
        errors_peer += decoded(static_cast<int>(k)) != data[f](static_cast<int>(k));
      }
    }
    check_errors(std::string("linkforge turbo ") + name, errors_ours, F * L);
    check_errors(std::string("IT++ turbo ") + name, errors_peer, F * L);
    row(std::string("turbo K=5114, 8 it, ") + name, "Mbit/s", r_ours / 1e6, r_peer / 1e6);
  }
  notes.push_back(std::string("turbo: 8-state (013, 015), linkforge's WCDMA permutation on both sides (") +
                  (same_alpha ? "equal to" : "NOT equal to") +
                  " IT++'s own), Eb/N0 3 dB, linkforge 64 frames per call");
}

// ---------------------------------------------------------------------------------
// Viterbi decoding of the K = 7 (133, 171) code, terminated, 256 frames of 4096 bits.
void viterbi() {
  const int L = 4096, K = 7, F = 256;
  const std::size_t uF = F, uL = L;
  itpp::Convolutional_Code code;
  itpp::ivec gen(2);
  gen(0) = 0133;
  gen(1) = 0171;
  code.set_generator_polynomials(gen, K);
  code.set_method(itpp::Tail);
  const lf::Trellis t = lf::make_trellis(std::vector<int>{0133, 0171}, K, false);
  lf::ViterbiParams params;
  params.block_end = lf::BlockEnd::kTerminated;
  params.threads = 1;
  const std::size_t CL = lf::viterbi_input_length(t, uL, params.block_end);

  const double sigma = sigma_of(6.0, 0.5);
  std::vector<itpp::bvec> data(F);
  std::vector<itpp::vec> received(F);
  std::vector<double> in(uF * CL), out(uF * uL);
  bool same_code = true;
  for (std::size_t f = 0; f < uF; ++f) {
    data[f] = random_bits(L);
    itpp::bvec coded;
    code.encode_tail(data[f], coded);
    if (f == 0) {  // both encoders must agree on the code
      std::vector<int> bits(uL), ours(lf::trellis_encode_length(t, uL, lf::CodeType::kFeedForward));
      for (std::size_t k = 0; k < uL; ++k) bits[k] = data[f](static_cast<int>(k));
      lf::trellis_encode(ours, bits, t, lf::encoder_tail(t, lf::CodeType::kFeedForward));
      same_code = ours.size() == static_cast<std::size_t>(coded.size());
      for (std::size_t i = 0; same_code && i < ours.size(); ++i) same_code = ours[i] == coded(static_cast<int>(i));
    }
    received[f] = channel_values(coded, sigma);
    for (std::size_t i = 0; i < CL; ++i) in[f + i * uF] = -2.0 * received[f](static_cast<int>(i)) / (sigma * sigma);
  }
  check(same_code, "the IT++ and linkforge (133, 171) encoders disagree");
  const auto input = lf::FrameView<const double>::column_major(in.data(), uF, CL);
  const auto output = lf::FrameView<double>::column_major(out.data(), uF, uL);
  const auto ours = [&] { lf::viterbi_decode(input, t, params, output); };
  itpp::bvec decoded;
  std::size_t next = 0;
  const auto peer = [&] { code.decode_tail(received[next++ % uF], decoded); };
  const double r_ours = rate(F * L, ours);
  const double r_peer = rate(L, peer);
  long errors_ours = 0, errors_peer = 0;
  for (std::size_t f = 0; f < uF; ++f) {
    code.decode_tail(received[f], decoded);
    for (std::size_t k = 0; k < uL; ++k) {
      errors_ours += (out[f + k * uF] != 0.0) != (data[f](static_cast<int>(k)) == 1);
      errors_peer += decoded(static_cast<int>(k)) != data[f](static_cast<int>(k));
    }
  }
  check_errors("linkforge Viterbi", errors_ours, F * L);
  check_errors("IT++ Viterbi", errors_peer, F * L);
  row("Viterbi K=7 (133,171), 4096 bits", "Mbit/s", r_ours / 1e6, r_peer / 1e6);
  notes.push_back("Viterbi: terminated blocks, Eb/N0 6 dB, linkforge 256 frames per call");
}

// ---------------------------------------------------------------------------------
// LDPC rate 1/2, n = 576, 10 sum-product iterations without early stop.

// linkforge's staircase code: k data columns of weight 3 on random checks, then the
// dual-diagonal parity columns; index matrices 0-based with -1 padding, encoder positions 1-based.
struct Staircase {
  std::vector<int> row_cells, col_cells;
  std::vector<double> positions;
  std::size_t row_width = 0, col_width = 0;
};

Staircase make_staircase(int k, int m) {
  std::mt19937 gen(2024);
  std::vector<std::vector<int>> rows(static_cast<std::size_t>(m)), cols(static_cast<std::size_t>(k));
  std::vector<int> all(static_cast<std::size_t>(m));
  std::iota(all.begin(), all.end(), 0);
  for (auto& col : cols) {
    std::shuffle(all.begin(), all.end(), gen);
    col = {all[0], all[1], all[2]};
    std::sort(col.begin(), col.end());
    for (const int i : col) rows[static_cast<std::size_t>(i)].push_back(static_cast<int>(&col - cols.data()));
  }
  if (rows[0].empty()) {
    rows[0].push_back(0);
    cols[0].push_back(0);
  }
  Staircase c;
  const auto um = static_cast<std::size_t>(m), uk = static_cast<std::size_t>(k);
  for (const auto& r : rows) c.row_width = std::max(c.row_width, r.size());
  for (const auto& l : cols) c.col_width = std::max(c.col_width, l.size());
  c.row_cells.assign(um * c.row_width, -1);
  c.positions.assign(um * c.row_width, 0.0);
  c.col_cells.assign(uk * c.col_width, -1);
  for (std::size_t i = 0; i < um; ++i) {
    for (std::size_t j = 0; j < rows[i].size(); ++j) {
      c.row_cells[i + j * um] = rows[i][j];
      c.positions[i + j * um] = rows[i][j] + 1;
    }
  }
  for (std::size_t v = 0; v < uk; ++v) {
    for (std::size_t j = 0; j < cols[v].size(); ++j) c.col_cells[v + j * uk] = cols[v][j];
  }
  return c;
}

void ldpc() {
  const int n = 576, iterations = 10, F = 256;
  const std::size_t uF = F, un = n;
  const double sigma = sigma_of(4.0, 0.5);

  // IT++: a random regular (3, 6) code and its systematic encoder.
  itpp::LDPC_Parity_Regular H(n, 3, 6, "rand", "200 6");
  itpp::LDPC_Generator_Systematic G(&H);
  itpp::LDPC_Code code(&H, &G);
  code.set_exit_conditions(iterations, false, false);
  const int peer_k = code.get_ninfo();
  std::vector<itpp::bvec> peer_data(F);
  std::vector<itpp::vec> peer_llr(F);
  for (std::size_t f = 0; f < uF; ++f) {
    peer_data[f] = random_bits(peer_k);
    peer_llr[f] = channel_values(code.encode(peer_data[f]), sigma) * (2.0 / (sigma * sigma));
  }

  // linkforge: the staircase code of k = m = 288.
  const int k = n / 2, m = n - k;
  const std::size_t uk = static_cast<std::size_t>(k), um = static_cast<std::size_t>(m);
  const Staircase c = make_staircase(k, m);
  const lf::ldpc::SparseGraph graph =
      lf::ldpc::make_sparse_graph(n, {c.row_cells, um, c.row_width}, {c.col_cells, uk, c.col_width});
  std::vector<double> bits(uk), word(un), llr(uF * un);
  std::vector<int> data(uF * uk);
  for (std::size_t f = 0; f < uF; ++f) {
    for (std::size_t v = 0; v < uk; ++v) {
      bits[v] = static_cast<double>(rng() & 1);
      data[f + v * uF] = static_cast<int>(bits[v]);
    }
    lf::ldpc::encode(bits, {c.positions, um, c.row_width}, {}, word);
    for (std::size_t v = 0; v < un; ++v) {
      llr[f + v * uF] = -2.0 * ((word[v] != 0 ? -1.0 : 1.0) + sigma * gauss(rng)) / (sigma * sigma);
    }
  }
  std::vector<std::uint8_t> decisions(uF * un);
  std::vector<int> errors(uF * iterations);
  lf::ldpc::BatchDecodeParams params;
  params.max_iter = iterations;
  params.kind = lf::ldpc::DecoderKind::kSumProduct;
  params.early_stop = false;
  params.threads = 1;
  const lf::ldpc::BatchResults results{lf::FrameView<std::uint8_t>::column_major(decisions.data(), uF, un),
                                       lf::FrameView<int>::column_major(errors.data(), uF, iterations),
                                       {}};
  const auto channel = lf::FrameView<const double>::column_major(llr.data(), uF, un);
  const auto reference = lf::FrameView<const int>::column_major(data.data(), uF, uk);
  const auto ours = [&] { lf::ldpc::decode_batch(graph, channel, reference, params, results); };
  itpp::bvec decoded;
  std::size_t next = 0;
  const auto peer = [&] { code.decode(peer_llr[next++ % uF], decoded); };
  const double r_ours = rate(F * k, ours);
  const double r_peer = rate(peer_k, peer);
  long errors_ours = 0, errors_peer = 0;
  for (std::size_t f = 0; f < uF; ++f) {
    errors_ours += errors[f + (iterations - 1) * uF];
    code.decode(peer_llr[f], decoded);
    for (int v = 0; v < peer_k; ++v) errors_peer += decoded(v) != peer_data[f](v);
  }
  check_errors("linkforge LDPC", errors_ours, F * k);
  check_errors("IT++ LDPC", errors_peer, F * peer_k);
  row("LDPC n=576 R=1/2, 10 it, sum-product", "Mbit/s", r_ours / 1e6, r_peer / 1e6);
  notes.push_back("LDPC: not the same code. linkforge: staircase (576, 288), data columns of weight 3, "
                  "float messages, 256 frames per call; IT++: random regular (3, 6) (576, " +
                  std::to_string(peer_k) + "), fixed-point LLRs with table lookup. Eb/N0 4 dB, "
                  "no early stop on either side");
}

// ---------------------------------------------------------------------------------
// 16-QAM soft demapping of 4096 symbols at Es/N0 = 10 dB, on IT++'s constellation.
void qam() {
  const std::size_t N = 4096, M = 16, bits_per_symbol = 4;
  const double n0 = 0.1;
  itpp::QAM modem(static_cast<int>(M));
  const itpp::cvec symbols = modem.get_symbols();
  const itpp::ivec labels = modem.get_bits2symbols();
  std::vector<double> pre(M), pim(M);
  for (std::size_t l = 0; l < M; ++l) {
    pre[l] = symbols(labels(static_cast<int>(l))).real();
    pim[l] = symbols(labels(static_cast<int>(l))).imag();
  }
  itpp::cvec rx = modem.modulate_bits(random_bits(static_cast<int>(N * bits_per_symbol)));
  std::vector<double> re(N), im(N);
  for (std::size_t i = 0; i < N; ++i) {
    const int ii = static_cast<int>(i);
    rx(ii) += std::complex<double>(gauss(rng), gauss(rng)) * std::sqrt(n0 / 2.0);
    re[i] = rx(ii).real();
    im[i] = rx(ii).imag();
  }
  std::vector<double> out(N * bits_per_symbol);
  itpp::vec soft;
  std::string agreement;
  for (const bool exact : {false, true}) {
    const lf::SoftDemapParams params{exact ? lf::MaxStar::kExact : lf::MaxStar::kMaxLog,
                                     static_cast<float>(1.0 / n0), 1};
    const itpp::Soft_Method method = exact ? itpp::LOGMAP : itpp::APPROX;
    const auto ours = [&] {
      using View = lf::FrameView<const double>;
      lf::soft_demap({View::row_major(re.data(), 1, N), View::row_major(im.data(), 1, N)},
                     {pre, pim}, {}, {}, params,
                     lf::FrameView<double>::row_major(out.data(), 1, N * bits_per_symbol));
    };
    const auto peer = [&] { modem.demodulate_soft_bits(rx, n0, soft, method); };
    const double r_ours = rate(N, ours);
    const double r_peer = rate(N, peer);
    double worst = 0;  // linkforge's ratios are IT++'s negated
    for (std::size_t i = 0; i < out.size(); ++i) {
      const double scale = std::max(1.0, std::fabs(soft(static_cast<int>(i))));
      worst = std::max(worst, std::fabs(out[i] + soft(static_cast<int>(i))) / scale);
    }
    char text[64];
    std::snprintf(text, sizeof text, "%s %.1e", exact ? ", exact" : " max-log", worst);
    agreement += text;
    check(worst < 1e-4, std::string("16-QAM ") + (exact ? "exact" : "max-log") +
                            ": the soft values of IT++ and linkforge disagree");
    row(std::string("16-QAM soft demap, ") + (exact ? "exact" : "max-log"), "Msym/s", r_ours / 1e6,
        r_peer / 1e6);
  }
  notes.push_back("16-QAM: linkforge = soft_demap (the whole demapper, one frame) on IT++'s Gray labels, "
                  "Es/N0 10 dB; largest relative difference of the soft values:" + agreement);
}

}  // namespace

int main() {
  std::printf("linkforge vs IT++, single thread (rates of at least 0.5 s of repeated work)\n\n");
  std::printf("%-40s %8s %12s %12s %8s\n", "work", "unit", "linkforge", "IT++", "ratio");
  turbo();
  viterbi();
  qam();
  ldpc();
  std::printf("\n");
  for (const std::string& note : notes) std::printf("%s\n", note.c_str());
  return 0;
}
