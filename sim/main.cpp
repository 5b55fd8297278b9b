// linkforge-sim: bit and frame error rates of a coded link over a sweep of Eb/N0,
// frames run in chunks on every core, the counts the same for any number of threads.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine.hpp"
#include "link.hpp"

namespace {

using namespace linkforge::sim;

// START:STEP:STOP in dB (or a single value), STOP included within rounding.
std::vector<double> parse_range(const std::string& text) {
  std::vector<double> parts;
  std::stringstream in(text);
  std::string item;
  while (std::getline(in, item, ':')) {
    std::size_t used = 0;
    double v = 0;
    try {
      v = std::stod(item, &used);
    } catch (const std::exception&) {
      used = 0;
    }
    if (used == 0 || used != item.size() || !std::isfinite(v)) {
      throw std::invalid_argument("--ebn0: '" + text + "' is not START:STEP:STOP in dB");
    }
    parts.push_back(v);
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
    std::ofstream out(json);
    out << "{\n  \"program\": \"linkforge-sim\",\n  \"version\": \"" << LINKFORGE_VERSION << "\",\n";
    out << "  \"config\": {\"link\": " << json_string(link.name) << ", \"K\": " << link.K
        << ", \"iterations\": " << link.iterations << ", \"decoder\": " << json_string(link.decoder)
        << ", \"seed\": " << sweep.seed << ", \"max_frames\": " << sweep.max_frames
        << ", \"target_errors\": " << sweep.target_errors << ", \"max_seconds\": " << sweep.max_seconds
        << ", \"chunk\": " << sweep.chunk << "},\n  \"points\": [";
    for (std::size_t i = 0; i < points.size(); ++i) {
      const PointResult& p = points[i];
      out << (i ? ",\n" : "\n") << "    {\"ebn0_db\": " << p.ebn0_db << ", \"frames\": " << p.frames
          << ", \"bits\": " << p.frames * bits << ", \"seconds\": " << p.seconds << ", \"curves\": [";
      for (std::size_t c = 0; c < labels.size(); ++c) {
        out << (c ? ", " : "") << "{\"label\": " << json_string(labels[c])
            << ", \"bit_errors\": " << p.bit_errors[c] << ", \"frame_errors\": " << p.frame_errors[c]
            << "}";
      }
      out << "]}";
    }
    out << "\n  ]\n}\n";
    if (!out) throw std::runtime_error("cannot write " + json);
  }
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"linkforge-sim: bit and frame error rates of a coded link over Eb/N0"};
  LinkOptions link;
  SweepOptions sweep;
  std::string ebn0 = "0:0.5:2", json, csv;
  app.set_config("--config", "", "read options from a file (key = value, as the long options)");
  app.add_option("--link", link.name, "the link: turbo")->capture_default_str();
  app.add_option("--ebn0", ebn0, "Eb/N0 points in dB, START:STEP:STOP")->capture_default_str();
  app.add_option("--K", link.K, "information bits per frame")->capture_default_str();
  app.add_option("--iterations", link.iterations, "decoder iterations")->capture_default_str();
  app.add_option("--decoder", link.decoder, "exact or max-log")->capture_default_str();
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
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::fprintf(stderr, "linkforge-sim: %s\n", e.what());
    return 2;
  }
  try {
    sweep.ebn0_db = parse_range(ebn0);
    if (sweep.threads < 0 || sweep.threads > 1024) throw std::invalid_argument("--threads must be 0 (all) to 1024");
    if (sweep.chunk == 0 || sweep.chunk > 65536) throw std::invalid_argument("--chunk must be 1 to 65536");
    if (!(sweep.max_seconds >= 0)) throw std::invalid_argument("--max-seconds must not be negative");
    const auto probe = make_link(link);  // refuses impossible codes and sizes
    const std::vector<std::string> labels = probe->labels();
    const std::size_t bits = probe->info_bits();
    const bool live = isatty(fileno(stderr)) != 0;
    const auto progress = [&](std::size_t, const PointResult& r) {
      if (!live) return;
      const double n = static_cast<double>(r.frames);
      std::fprintf(stderr, "\r%6.2f dB  %10llu frames  %8llu errors  BER %.3e  FER %.3e  %.0f frames/s   ",
                   r.ebn0_db, static_cast<unsigned long long>(r.frames),
                   static_cast<unsigned long long>(r.frame_errors[0]),
                   n > 0 ? static_cast<double>(r.bit_errors[0]) / (n * static_cast<double>(bits)) : 0.0,
                   n > 0 ? static_cast<double>(r.frame_errors[0]) / n : 0.0,
                   r.seconds > 0 ? n / r.seconds : 0.0);
    };
    const std::vector<PointResult> points =
        run_sweep(sweep, [&] { return make_link(link); }, progress);
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
  } catch (const std::invalid_argument& e) {
    std::fprintf(stderr, "linkforge-sim: %s\n", e.what());
    return 2;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "linkforge-sim: %s\n", e.what());
    return 1;
  }
  return 0;
}
