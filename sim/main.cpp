// linkforge-sim: bit and frame error rates of a coded link over a sweep of Eb/N0,
// frames run in chunks on every core, the counts the same for any number of threads.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine.hpp"
#include "json.hpp"
#include "link.hpp"
#include "linkforge/checked.hpp"
#include "linkforge/memory.hpp"
#include "linkforge/parallel.hpp"

#ifdef LINKFORGE_WITH_MPI
#include <mpi.h>
#endif

namespace {

using namespace linkforge::sim;

// Set by SIGINT and SIGTERM: the sweep ends after its current round, with what it
// counted written out, so that --resume can continue it.
std::atomic<bool> g_stop{false};

extern "C" void request_stop(int) {
  g_stop = true;
}

#ifdef LINKFORGE_WITH_MPI
// The ranks of the MPI job (mpirun -n N linkforge-sim ...).
class MpiTeam final : public Team {
 public:
  MpiTeam() {
    MPI_Comm_rank(MPI_COMM_WORLD, &rank_);
    MPI_Comm_size(MPI_COMM_WORLD, &size_);
  }
  int rank() const override { return rank_; }
  int size() const override { return size_; }
  void sum(std::vector<std::uint32_t>& values) override {
    MPI_Allreduce(MPI_IN_PLACE, values.data(), static_cast<int>(values.size()), MPI_UINT32_T,
                  MPI_SUM, MPI_COMM_WORLD);
  }
  bool any(bool value) override {
    int v = value ? 1 : 0;
    MPI_Allreduce(MPI_IN_PLACE, &v, 1, MPI_INT, MPI_LOR, MPI_COMM_WORLD);
    return v != 0;
  }
  std::size_t max(std::size_t value) override {
    unsigned long long v = value;
    MPI_Allreduce(MPI_IN_PLACE, &v, 1, MPI_UNSIGNED_LONG_LONG, MPI_MAX, MPI_COMM_WORLD);
    return static_cast<std::size_t>(v);
  }

 private:
  int rank_ = 0, size_ = 1;
};

// MPI for the whole of main: initialised first, finalised last.
struct MpiSession {
  MpiSession(int* argc, char*** argv) { MPI_Init(argc, argv); }
  ~MpiSession() { MPI_Finalize(); }
};
#endif

// START:STEP:STOP in dB (or a single value), STOP included within rounding.
std::vector<double> parse_range(const std::string& text) {
  std::vector<double> parts;
  std::stringstream in(text);
  std::string item;
  while (std::getline(in, item, ':')) {
    const std::optional<double> v = parse_number(item);
    if (!v) throw std::invalid_argument("--ebn0: '" + text + "' is not START:STEP:STOP in dB");
    parts.push_back(*v);
  }
  if (parts.size() == 1) return parts;
  if (parts.size() != 3 || !(parts[1] > 0) || parts[2] < parts[0]) {
    throw std::invalid_argument("--ebn0: '" + text + "' is not START:STEP:STOP with STEP > 0 and STOP >= START");
  }
  const double count = std::floor((parts[2] - parts[0]) / parts[1] + 1e-9) + 1;
  if (count > 10000) throw std::invalid_argument("--ebn0: more than 10000 points");
  std::vector<double> points;
  for (int i = 0; i < static_cast<int>(count); ++i) points.push_back(parts[0] + i * parts[1]);
  return points;
}

std::string json_string(const std::string& s) {
  std::string out = "\"";
  for (const char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

void write_outputs(const std::string& json, const std::string& csv, const LinkOptions& link,
                   const SweepOptions& sweep, const std::vector<std::string>& labels,
                   std::size_t bits, const std::vector<PointResult>& points) {
  if (!csv.empty()) {
    std::ofstream out(csv);
    out << "ebn0_db,curve,frames,bits,bit_errors,frame_errors,ber,fer,seconds\n";
    for (const PointResult& p : points) {
      for (std::size_t c = 0; c < labels.size(); ++c) {
        const double n = static_cast<double>(p.frames);
        out << p.ebn0_db << ',' << json_string(labels[c]) << ',' << p.frames << ',' << p.frames * bits
            << ',' << p.bit_errors[c] << ',' << p.frame_errors[c] << ','
            << (n > 0 ? static_cast<double>(p.bit_errors[c]) / (n * static_cast<double>(bits)) : 0.0) << ','
            << (n > 0 ? static_cast<double>(p.frame_errors[c]) / n : 0.0) << ',' << p.seconds << '\n';
      }
    }
    if (!out) throw std::runtime_error("cannot write " + csv);
  }
  if (!json.empty()) {
    // Written whole to a temporary file, then renamed: a run killed while writing
    // leaves the previous round's results.
    const std::string temporary = json + ".partial";
    std::ofstream out(temporary);
    out.precision(17);
    out << "{\n  \"program\": \"linkforge-sim\",\n  \"version\": \"" << LINKFORGE_VERSION << "\",\n";
    out << "  \"config\": {\"link\": " << json_string(link.name) << ", \"K\": " << link.K
        << ", \"iterations\": " << link.iterations << ", \"decoder\": " << json_string(link.decoder)
        << ", \"modulation\": " << json_string(link.modulation) << ", \"channel\": " << json_string(link.channel)
        << ", \"rate\": " << json_string(link.rate)
        << ", \"seed\": " << sweep.seed << ", \"max_frames\": " << sweep.max_frames
        << ", \"target_errors\": " << sweep.target_errors << ", \"max_seconds\": " << sweep.max_seconds
        << ", \"chunk\": " << sweep.chunk << ", \"ebn0_db\": [";
    for (std::size_t i = 0; i < sweep.ebn0_db.size(); ++i) out << (i ? ", " : "") << sweep.ebn0_db[i];
    out << "]},\n  \"points\": [";
    for (std::size_t i = 0; i < points.size(); ++i) {
      const PointResult& p = points[i];
      out << (i ? ",\n" : "\n") << "    {\"ebn0_db\": " << p.ebn0_db << ", \"frames\": " << p.frames
          << ", \"bits\": " << p.frames * bits << ", \"seconds\": " << p.seconds
          << ", \"complete\": " << (p.complete ? "true" : "false") << ", \"curves\": [";
      for (std::size_t c = 0; c < labels.size(); ++c) {
        out << (c ? ", " : "") << "{\"label\": " << json_string(labels[c])
            << ", \"bit_errors\": " << p.bit_errors[c] << ", \"frame_errors\": " << p.frame_errors[c]
            << "}";
      }
      out << "]}";
    }
    out << "\n  ]\n}\n";
    out.close();
    if (!out || std::rename(temporary.c_str(), json.c_str()) != 0) {
      throw std::runtime_error("cannot write " + json);
    }
  }
}

// An error-rate plot of the points (BER and FER of every curve against Eb/N0, log
// scale) with uncoded BPSK's bit error rate for reference, rendered by gnuplot.
void write_png(const std::string& png, const std::vector<std::string>& labels, std::size_t bits,
               const std::vector<PointResult>& points, const std::string& title) {
  const std::string data = png + ".dat";
  {
    std::ofstream out(data);
    out.precision(10);
    for (std::size_t c = 0; c < labels.size(); ++c) {
      for (const PointResult& p : points) {
        const double n = static_cast<double>(p.frames);
        if (p.frames == 0 || p.bit_errors[c] == 0) continue;
        out << p.ebn0_db << ' ' << static_cast<double>(p.bit_errors[c]) / (n * static_cast<double>(bits))
            << ' ' << static_cast<double>(p.frame_errors[c]) / n << '\n';
      }
      out << "\n\n";
    }
    if (!out) throw std::runtime_error("cannot write " + data);
  }
  std::string script = "set terminal pngcairo size 800,600; set output '" + png + "'; set logscale y; "
                       "set format y '10^{%L}'; set grid; set xlabel 'E_b/N_0 (dB)'; "
                       "set ylabel 'error rate'; set title '" + title + "'; set key bottom left; "
                       "uncoded(x) = 0.5 * erfc(sqrt(10**(x/10))); plot ";
  for (std::size_t c = 0; c < labels.size(); ++c) {
    script += "'" + data + "' index " + std::to_string(c) + " using 1:2 with linespoints title 'BER " +
              labels[c] + "', '" + data + "' index " + std::to_string(c) +
              " using 1:3 with linespoints dashtype 2 title 'FER " + labels[c] + "', ";
  }
  script += "uncoded(x) with lines lc 'gray' title 'uncoded BPSK'";
  FILE* gp = popen("gnuplot 2>&1", "w");
  if (gp == nullptr) throw std::runtime_error("cannot start gnuplot for " + png);
  std::fputs(script.c_str(), gp);
  std::fputs("\n", gp);
  const int status = pclose(gp);
  std::remove(data.c_str());
  if (status != 0) throw std::runtime_error("gnuplot could not draw " + png);
}

// The options and points of a results file written by an earlier run.
std::vector<PointResult> read_resume(const std::string& path, LinkOptions& link, SweepOptions& sweep) {
  std::ifstream in(path);
  if (!in) throw std::invalid_argument("cannot read the results file " + path);
  std::stringstream text;
  text << in.rdbuf();
  try {
    const Json doc = parse_json(text.str());
    if (doc.at("program").string() != "linkforge-sim") throw std::invalid_argument("not a results file of linkforge-sim");
    const Json& c = doc.at("config");
    link.name = c.at("link").string();
    link.K = c.at("K").count();
    link.iterations = static_cast<int>(c.at("iterations").count());
    link.decoder = c.at("decoder").string();
    // Files of runs before these options were BPSK over AWGN at the link's own rate.
    link.modulation = c.members.count("modulation") ? c.at("modulation").string() : "bpsk";
    link.channel = c.members.count("channel") ? c.at("channel").string() : "awgn";
    link.rate = c.members.count("rate") ? c.at("rate").string() : "";
    sweep.seed = c.at("seed").count();
    sweep.max_frames = c.at("max_frames").count();
    sweep.target_errors = c.at("target_errors").count();
    sweep.max_seconds = c.at("max_seconds").number();
    sweep.chunk = c.at("chunk").count();
    sweep.ebn0_db.clear();
    for (const Json& e : c.at("ebn0_db").items) sweep.ebn0_db.push_back(e.number());
    std::vector<PointResult> points;
    for (const Json& p : doc.at("points").items) {
      PointResult r;
      r.ebn0_db = p.at("ebn0_db").number();
      r.frames = p.at("frames").count();
      r.seconds = p.at("seconds").number();
      r.complete = p.at("complete").boolean;
      for (const Json& curve : p.at("curves").items) {
        r.bit_errors.push_back(curve.at("bit_errors").count());
        r.frame_errors.push_back(curve.at("frame_errors").count());
      }
      points.push_back(r);
    }
    return points;
  } catch (const std::invalid_argument& e) {
    throw std::invalid_argument(path + ": " + e.what());
  }
}

}  // namespace

int main(int argc, char** argv) {
#ifdef LINKFORGE_WITH_MPI
  const MpiSession mpi(&argc, &argv);
  MpiTeam team;
#else
  Team team;
#endif
  const bool leader = team.rank() == 0;
  CLI::App app{"linkforge-sim: bit and frame error rates of a coded link over Eb/N0"};
  LinkOptions link;
  SweepOptions sweep;
  std::string ebn0 = "0:0.5:2", json, csv;
  app.set_config("--config", "", "read options from a file (key = value, as the long options)");
  app.add_option("--link", link.name, "the link: turbo, conv, ldpc, duobinary, bicm-id or fsk")->capture_default_str();
  app.add_option("--ebn0", ebn0, "Eb/N0 points in dB, START:STEP:STOP (default: 0:0.5:2; bicm-id 2:0.5:6.5; fsk 3:1:10)");
  app.add_option("--K", link.K, "information bits per frame (default: 1024; duobinary 424, which takes 96, 128, 424 or 1504; bicm-id 2000; fsk 1000)");
  app.add_option("--iterations", link.iterations, "decoder iterations (default: 8; ldpc 50; bicm-id 4 demapping passes)");
  app.add_option("--decoder", link.decoder, "turbo, duobinary, bicm-id: exact (default) or max-log; fsk: viterbi (default) or log-map; conv, ldpc: all");
  app.add_option("--modulation", link.modulation,
                 "bpsk, qpsk, 16qam or 64qam, Gray-labelled (default: bpsk; duobinary qpsk; bicm-id 16qam, also set-partitioned; fsk 16fsk only)");
  app.add_option("--channel", link.channel,
                 "awgn, rayleigh-fast (a gain per symbol) or rayleigh-block (per frame) (default: awgn; fsk rayleigh-fast)");
  app.add_option("--rate", link.rate, "code rate: turbo and duobinary 1/3 (default) or 1/2, conv 1/2 (default) or 3/4");
  app.add_option("--max-frames", sweep.max_frames, "frames per point at most")->capture_default_str();
  app.add_option("--target-errors", sweep.target_errors, "frame errors that end a point")
      ->capture_default_str();
  app.add_option("--max-seconds", sweep.max_seconds, "seconds per point at most (0: no limit)")
      ->capture_default_str();
  app.add_option("--seed", sweep.seed, "seed of the frames' data and noise")->capture_default_str();
  app.add_option("--threads", sweep.threads, "threads (0: every core)")->capture_default_str();
  app.add_option("--chunk", sweep.chunk, "frames per chunk")->capture_default_str();
  app.add_option("--json", json, "write the results as JSON to this file");
  app.add_option("--csv", csv, "write the results as CSV to this file");
  std::string resume_file, png;
  app.add_option("--png", png, "draw the error rates into this PNG file (gnuplot)");
  app.add_option("--resume", resume_file,
                 "continue the run whose JSON results are in this file (its options hold; the "
                 "results go on into it unless --json names another)");
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return leader ? app.exit(e) : 0;
  } catch (const CLI::ParseError& e) {
    if (leader) std::fprintf(stderr, "linkforge-sim: %s\n", e.what());
    return 2;
  }
  try {
    std::vector<PointResult> resume;
    if (!resume_file.empty()) {
      resume = read_resume(resume_file, link, sweep);
      if (json.empty()) json = resume_file;
    } else {
      // The links far from the others' waterfall sweep where theirs is.
      if (app.count("--ebn0") == 0 && link.name == "bicm-id") ebn0 = "2:0.5:6.5";
      if (app.count("--ebn0") == 0 && link.name == "fsk") ebn0 = "3:1:10";
      sweep.ebn0_db = parse_range(ebn0);
      // What is not given is the link's own: the configuration record holds it all.
      const LinkOptions own = link_defaults(link.name);
      if (app.count("--K") == 0) link.K = own.K;
      if (app.count("--iterations") == 0) link.iterations = own.iterations;
      if (app.count("--modulation") == 0) link.modulation = own.modulation;
      if (app.count("--channel") == 0) link.channel = own.channel;
      if (link.decoder.empty()) link.decoder = own.decoder;
      if (link.rate.empty()) link.rate = own.rate;
    }
    if (sweep.threads < 0 || sweep.threads > 1024) throw std::invalid_argument("--threads must be 0 (all) to 1024");
    if (sweep.chunk == 0 || sweep.chunk > 65536) throw std::invalid_argument("--chunk must be 1 to 65536");
    if (!(sweep.max_seconds >= 0)) throw std::invalid_argument("--max-seconds must not be negative");
    const auto probe = make_link(link);  // refuses impossible codes and sizes
    // Every thread runs a chunk with a link of its own: refuse what would not fit before
    // any of it is allocated.
    const std::uint64_t need =
        linkforge::mul_sat(probe->chunk_bytes(sweep.chunk),
                           static_cast<std::uint64_t>(linkforge::thread_count(sweep.threads)));
    if (const auto refusal =
            linkforge::memory_shortfall(need, "the chunks of all threads",
                                        std::string(linkforge::kMemoryBudgetVariable) + "=8G")) {
      throw std::invalid_argument(*refusal + " (or lower --chunk or --threads)");
    }
    const std::vector<std::string> labels = probe->labels();
    const std::size_t bits = probe->info_bits();
    const bool live = leader && isatty(fileno(stderr)) != 0;
    // The results go out after a round that ends a point, and otherwise at most once a
    // second (writing and renaming the files after every round of a fast link costs
    // several per cent of its time); a stopped run writes them when it ends. The live
    // line changes at most ten times a second.
    using Clock = std::chrono::steady_clock;
    Clock::time_point written{}, shown{};
    const auto progress = [&](const std::vector<PointResult>& ended, const PointResult& r) {
      if (!leader) return;
      const Clock::time_point now = Clock::now();
      if (r.complete || now - written >= std::chrono::seconds(1)) {
        std::vector<PointResult> so_far = ended;
        so_far.push_back(r);
        write_outputs(json, csv, link, sweep, labels, bits, so_far);
        written = now;
      }
      if (!live || (!r.complete && now - shown < std::chrono::milliseconds(100))) return;
      shown = now;
      const double n = static_cast<double>(r.frames);
      std::fprintf(stderr, "\r%6.2f dB  %10llu frames  %8llu errors  BER %.3e  FER %.3e  %.0f frames/s   ",
                   r.ebn0_db, static_cast<unsigned long long>(r.frames),
                   static_cast<unsigned long long>(r.frame_errors[0]),
                   n > 0 ? static_cast<double>(r.bit_errors[0]) / (n * static_cast<double>(bits)) : 0.0,
                   n > 0 ? static_cast<double>(r.frame_errors[0]) / n : 0.0,
                   r.seconds > 0 ? n / r.seconds : 0.0);
    };
    std::signal(SIGINT, request_stop);
    std::signal(SIGTERM, request_stop);
    const std::vector<PointResult> points = run_sweep(
        sweep, [&] { return make_link(link); }, progress, resume, [] { return g_stop.load(); },
        &team);
    if (!leader) return g_stop ? 130 : 0;
    if (live) std::fprintf(stderr, "\n");
    std::printf("%8s  %-16s %10s %12s %10s %12s %12s\n", "Eb/N0", "curve", "frames", "bit errors",
                "frame err", "BER", "FER");
    for (const PointResult& p : points) {
      for (std::size_t c = 0; c < labels.size(); ++c) {
        const double n = static_cast<double>(p.frames);
        std::printf("%8.2f  %-16s %10llu %12llu %10llu %12.4e %12.4e\n", p.ebn0_db, labels[c].c_str(),
                    static_cast<unsigned long long>(p.frames),
                    static_cast<unsigned long long>(p.bit_errors[c]),
                    static_cast<unsigned long long>(p.frame_errors[c]),
                    n > 0 ? static_cast<double>(p.bit_errors[c]) / (n * static_cast<double>(bits)) : 0.0,
                    n > 0 ? static_cast<double>(p.frame_errors[c]) / n : 0.0);
      }
    }
    write_outputs(json, csv, link, sweep, labels, bits, points);
    if (!png.empty()) {
      write_png(png, labels, bits, points,
                link.name + " link, K = " + std::to_string(link.K) +
                    (link.name == "turbo" || link.name == "duobinary" || link.name == "bicm-id" ? ", " + std::to_string(link.iterations) + " iterations" : "") +
                    ", " + link.modulation + "/" + link.channel);
    }
    if (g_stop) {
      std::fprintf(stderr, "linkforge-sim: stopped; --resume %s continues the run\n",
                   json.empty() ? "FILE.json (run with --json)" : json.c_str());
      return 130;
    }
  } catch (const std::invalid_argument& e) {
    // Every process of a job says what it met: the failure may be its own.
    if (leader || team.size() > 1) std::fprintf(stderr, "linkforge-sim: %s\n", e.what());
#ifdef LINKFORGE_WITH_MPI
    // The same options fail the same way on every process, but a file one process
    // cannot read fails only there, while the others wait for it in a collective step.
    if (team.size() > 1) MPI_Abort(MPI_COMM_WORLD, 2);
#endif
    return 2;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "linkforge-sim: %s\n", e.what());
#ifdef LINKFORGE_WITH_MPI
    // The other processes may wait for this one in a collective step.
    if (team.size() > 1) MPI_Abort(MPI_COMM_WORLD, 1);
#endif
    return 1;
  }
  return 0;
}
