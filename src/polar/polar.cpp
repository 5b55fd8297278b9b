// 5G polar construction, encoder, successive-cancellation and list decoders.
#include "linkforge/polar.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <string>

#include "linkforge/checked.hpp"
#include "linkforge/error.hpp"
#include "linkforge/parallel.hpp"
#include "linkforge/scratch.hpp"
#include "polar/lanes.hpp"
#include "sequence.hpp"

namespace linkforge {
namespace polar_detail {

std::vector<std::uint32_t> most_reliable(std::size_t K, std::size_t N,
                                         std::span<const std::uint8_t> excluded) {
  std::vector<std::uint32_t> info;
  info.reserve(K);
  // Walk from the most reliable entry down, keeping those below N that are not excluded.
  for (std::size_t i = 1024; i-- > 0 && info.size() < K;) {
    const std::uint32_t q = nr_polar_sequence[i];
    if (q < N && (excluded.empty() || !excluded[q])) info.push_back(q);
  }
  std::sort(info.begin(), info.end());
  return info;
}

}  // namespace polar_detail

namespace {

// Per-frame working memory of the SC decoder: LLRs of every stage (N - 1 in all below
// the channel's N) and the partial sums, plus the frozen mask.
struct ScScratch {
  std::vector<float> alpha;
  std::vector<std::uint8_t> beta;
  std::vector<std::uint8_t> frozen;
  std::vector<std::uint8_t> u;
};

inline float f_min_sum(float a, float b) {
  const float m = std::min(std::fabs(a), std::fabs(b));
  return ((a < 0.0f) != (b < 0.0f)) ? -m : m;
}

inline float g_sum(float a, float b, std::uint8_t u) {
  return u ? b - a : b + a;
}

// Decodes the node whose n LLRs are at a; writes its partial sums to x and the bit
// decisions to u (from position first). work holds n - 1 free floats below a's level.
void sc_node(const float* a, std::size_t n, float* work, std::uint8_t* x, std::uint8_t* xwork,
             const std::uint8_t* frozen, std::uint8_t* u) {
  if (n == 1) {
    const std::uint8_t bit = frozen[0] ? 0 : (a[0] < 0.0f ? 1 : 0);
    x[0] = bit;
    u[0] = bit;
    return;
  }
  const std::size_t h = n / 2;
  float* child = work;
  for (std::size_t i = 0; i < h; ++i) child[i] = f_min_sum(a[i], a[i + h]);
  std::uint8_t* xl = xwork;
  sc_node(child, h, work + h, xl, xwork + h, frozen, u);
  for (std::size_t i = 0; i < h; ++i) child[i] = g_sum(a[i], a[i + h], xl[i]);
  sc_node(child, h, work + h, x + h, xwork + h, frozen + h, u + h);
  for (std::size_t i = 0; i < h; ++i) x[i] = static_cast<std::uint8_t>(xl[i] ^ x[i + h]);
}

void polar_transform(std::span<std::uint8_t> x) {
  const std::size_t N = x.size();
  for (std::size_t h = 1; h < N; h *= 2)
    for (std::size_t b = 0; b < N; b += 2 * h)
      for (std::size_t i = b; i < b + h; ++i) x[i] = static_cast<std::uint8_t>(x[i] ^ x[i + h]);
}

// The LLRs are already checked for NaN.
void decode_one(std::span<const float> llr, std::span<const std::uint32_t> info, ScScratch& s,
                std::span<std::uint8_t> data) {
  const std::size_t N = llr.size();
  float* top = s.alpha.data();
  for (std::size_t i = 0; i < N; ++i) top[i] = -llr[i];  // ln(P(0)/P(1)) inside
  sc_node(top, N, top + N, s.beta.data(), s.beta.data() + N, s.frozen.data(), s.u.data());
  for (std::size_t k = 0; k < info.size(); ++k) data[k] = s.u[info[k]];
}

ScScratch make_scratch(std::size_t N, std::span<const std::uint32_t> info) {
  ScScratch s;
  s.alpha.assign(2 * N, 0.0f);
  s.beta.assign(2 * N, 0);
  s.u.assign(N, 0);
  s.frozen.assign(N, 1);
  for (std::uint32_t p : info) s.frozen[p] = 0;
  return s;
}

// Arrays of one kind for every stage d = 1..m of the list decoder (stage d holds nodes
// of N >> d bits), L arrays a stage, handed to paths through an index table with
// reference counts; a path writing to a shared array gets a free one first.
template <class T>
struct StagePool {
  std::size_t L = 0;
  std::vector<T> mem;
  std::vector<std::size_t> offset, length;  // per stage
  std::vector<std::uint16_t> index;         // [d * L + path]: the path's array
  std::vector<T*> at;                       // [d * L + path]: where that array is
  std::vector<std::uint16_t> refs;          // [d * L + array]
  std::vector<std::uint16_t> free_list;     // [d * L + i], free_count[d] of them
  std::vector<std::size_t> free_count;

  void init(std::size_t m, std::size_t lists, const std::vector<std::size_t>& len) {
    L = lists;
    length = len;
    offset.assign(m + 1, 0);
    std::size_t total = 0;
    for (std::size_t d = 1; d <= m; ++d) {
      offset[d] = total;
      total += L * length[d];
    }
    mem.assign(total, T{});
    index.assign((m + 1) * L, 0);
    at.assign((m + 1) * L, nullptr);
    refs.assign((m + 1) * L, 0);
    free_list.assign((m + 1) * L, 0);
    free_count.assign(m + 1, 0);
  }
  T* array(std::size_t d, std::uint16_t a) { return mem.data() + offset[d] + a * length[d]; }
  // Every array free, then path 0 holds one of each stage.
  void reset(std::uint16_t path) {
    for (std::size_t d = 1; d < free_count.size(); ++d) {
      free_count[d] = L;
      for (std::size_t i = 0; i < L; ++i) {
        free_list[d * L + i] = static_cast<std::uint16_t>(L - 1 - i);
        refs[d * L + i] = 0;
      }
      index[d * L + path] = free_list[d * L + --free_count[d]];
      at[d * L + path] = array(d, index[d * L + path]);
      refs[d * L + index[d * L + path]] = 1;
    }
  }
  const T* read(std::size_t d, std::size_t path) const { return at[d * L + path]; }
  T* write(std::size_t d, std::size_t path, bool keep) {
    std::uint16_t& s = index[d * L + path];
    T*& p = at[d * L + path];
    if (refs[d * L + s] > 1) {
      --refs[d * L + s];
      const std::uint16_t fresh = free_list[d * L + --free_count[d]];
      T* to = array(d, fresh);
      if (keep) std::copy_n(p, length[d], to);
      s = fresh;
      p = to;
      refs[d * L + s] = 1;
    }
    return p;
  }
  void share(std::size_t from, std::size_t to) {
    for (std::size_t d = 1; d < free_count.size(); ++d) {
      index[d * L + to] = index[d * L + from];
      at[d * L + to] = at[d * L + from];
      ++refs[d * L + index[d * L + to]];
    }
  }
  void release(std::size_t path) {
    for (std::size_t d = 1; d < free_count.size(); ++d) {
      const std::uint16_t s = index[d * L + path];
      if (--refs[d * L + s] == 0) free_list[d * L + free_count[d]++] = s;
    }
  }
};

// A partial sum of the list decoder: a byte that is not a character type, so that storing
// one does not make the compiler reload every pointer it holds.
enum class Sum : std::uint8_t {};
inline Sum operator^(Sum a, Sum b) {
  return static_cast<Sum>(static_cast<std::uint8_t>(a) ^ static_cast<std::uint8_t>(b));
}

// Per-worker memory of the list decoder. A path's decisions are kept as survivor links:
// at information bit k, the path in list position p came from position parent[k L + p]
// by deciding bit[k L + p].
struct ListScratch {
  std::size_t N = 0, m = 0, L = 0;
  StagePool<float> llr;  // stage d: N >> d LLRs
  StagePool<Sum> sums;   // stage d: partial sums of a left and a right node
  std::vector<float> top;
  std::vector<std::uint8_t> frozen;
  std::vector<std::uint16_t> order, next_order, path_free;
  std::vector<float> metric, cand, penalty, leaf;
  std::vector<std::uint16_t> rank;
  std::vector<std::uint8_t> kept, bit_of;
  std::vector<std::uint16_t> parent;
  std::vector<std::uint8_t> bit;
  std::vector<std::uint8_t> word;
  std::vector<std::uint64_t> key;  // the candidates' keys, then padding
  polar_detail::StageLanes stage;  // wide nodes' steps
};

ListScratch make_list_scratch(std::size_t N, std::size_t L, std::span<const std::uint32_t> info) {
  ListScratch s;
  s.N = N;
  s.L = L;
  while ((std::size_t{1} << s.m) < N) ++s.m;
  std::vector<std::size_t> llr_len(s.m + 1, 0), sum_len(s.m + 1, 0);
  for (std::size_t d = 1; d <= s.m; ++d) {
    llr_len[d] = N >> d;
    sum_len[d] = 2 * (N >> d);
  }
  s.llr.init(s.m - 1, L, llr_len);  // the leaves' LLRs are not kept
  s.sums.init(s.m, L, sum_len);
  s.top.assign(N, 0.0f);
  s.frozen.assign(N, 1);
  for (std::uint32_t p : info) s.frozen[p] = 0;
  s.order.reserve(L);
  s.next_order.reserve(L);
  s.path_free.reserve(L);
  s.metric.assign(L, 0.0f);
  s.leaf.assign(L, 0.0f);
  s.cand.assign(2 * L, 0.0f);
  s.penalty.assign(2 * L, 0.0f);
  s.rank.assign(2 * L, 0);
  s.kept.assign(2 * L, 0);
  s.bit_of.assign(L, 0);
  s.parent.assign(info.size() * L, 0);
  s.bit.assign(info.size() * L, 0);
  s.word.assign(info.size(), 0);
  s.key.assign(2 * L + polar_detail::kSelectPad, 0);
  s.stage.choose();
  return s;
}

// The K decided bits of the path in final list position p.
void trace_back(const ListScratch& s, std::size_t K, std::size_t p, std::span<std::uint8_t> out) {
  for (std::size_t k = K; k-- > 0;) {
    out[k] = s.bit[k * s.L + p];
    p = s.parent[k * s.L + p];
  }
}

// One frame whose LLRs (ln(P(1)/P(0)), already checked for NaN) are in row.
void list_decode_one(std::span<const float> row, std::size_t K, std::optional<CrcName> crc,
                     ListScratch& s, std::span<std::uint8_t> data) {
  const std::size_t N = s.N, m = s.m, L = s.L;
  for (std::size_t i = 0; i < N; ++i) s.top[i] = -row[i];
  s.llr.reset(0);
  s.sums.reset(0);
  s.order.clear();
  s.order.push_back(0);
  s.path_free.clear();
  for (std::size_t p = L; p-- > 1;) s.path_free.push_back(static_cast<std::uint16_t>(p));
  s.metric[0] = 0.0f;
  std::size_t k = 0;
  for (std::size_t phi = 0; phi < N; ++phi) {
    // Stages from the first whose node changed down to the leaf.
    std::size_t first = 1;
    if (phi > 0) {
      std::size_t t = 0;
      while (((phi >> t) & 1u) == 0) ++t;
      first = m - t;
    }
    const std::size_t A = s.order.size();
    for (std::size_t pos = 0; pos < A; ++pos) {
      const std::size_t path = s.order[pos];
      for (std::size_t d = first; d < m; ++d) {
        const std::size_t n = N >> d;
        const float* a = d == 1 ? s.top.data() : s.llr.read(d - 1, path);
        float* out = s.llr.write(d, path, false);
        const bool wide = n >= s.stage.lanes;
        if ((phi >> (m - d)) & 1u) {
          const Sum* xl = s.sums.read(d, path);
          if (wide)
            s.stage.g(a, reinterpret_cast<const std::uint8_t*>(xl), n, out);
          else
            for (std::size_t i = 0; i < n; ++i)
              out[i] = g_sum(a[i], a[i + n], static_cast<std::uint8_t>(xl[i]));
        } else if (wide) {
          s.stage.f(a, n, out);
        } else {
          for (std::size_t i = 0; i < n; ++i) out[i] = f_min_sum(a[i], a[i + n]);
        }
      }
      // The leaf's LLR is only read for this bit's decision.
      const float* a = s.llr.read(m - 1, path);
      s.leaf[pos] = phi & 1u ? g_sum(a[0], a[1], static_cast<std::uint8_t>(s.sums.read(m, path)[0]))
                             : f_min_sum(a[0], a[1]);
    }
    if (s.frozen[phi]) {
      for (std::size_t pos = 0; pos < A; ++pos) {
        const float lam = s.leaf[pos];
        if (lam < 0.0f) s.metric[s.order[pos]] += -lam;
        s.bit_of[pos] = 0;
      }
    } else {
      for (std::size_t pos = 0; pos < A; ++pos) {
        const float lam = s.leaf[pos];
        const float pm = s.metric[s.order[pos]];
        s.penalty[2 * pos] = lam < 0.0f ? -lam : 0.0f;
        s.penalty[2 * pos + 1] = lam > 0.0f ? lam : 0.0f;
        s.cand[2 * pos] = pm + s.penalty[2 * pos];
        s.cand[2 * pos + 1] = pm + s.penalty[2 * pos + 1];
      }
      const std::size_t C = 2 * A;
      if (C <= L) {
        std::fill_n(s.kept.begin(), C, std::uint8_t{1});
      } else {
        // The L first in the order (metric, penalty, candidate): metrics and penalties
        // are sums of magnitudes, never negative or NaN, so their bit patterns order as
        // they do.
        for (std::size_t c = 0; c < C; ++c)
          s.key[c] = std::uint64_t{std::bit_cast<std::uint32_t>(s.cand[c])} << 32 |
                     std::bit_cast<std::uint32_t>(s.penalty[c]);
        std::fill(s.key.begin() + static_cast<std::ptrdiff_t>(C), s.key.end(), ~std::uint64_t{0});
        s.stage.select(s.key.data(), C, L, s.kept.data());
      }
      // Drop the paths with no survivor first, so their arrays are free for clones.
      for (std::size_t pos = 0; pos < A; ++pos)
        if (!s.kept[2 * pos] && !s.kept[2 * pos + 1]) {
          s.llr.release(s.order[pos]);
          s.sums.release(s.order[pos]);
          s.path_free.push_back(s.order[pos]);
        }
      s.next_order.clear();
      for (std::size_t pos = 0; pos < A; ++pos) {
        const std::uint16_t path = s.order[pos];
        for (std::uint8_t b = 0; b < 2; ++b) {
          if (!s.kept[2 * pos + b]) continue;
          std::uint16_t id = path;
          if (b == 1 && s.kept[2 * pos]) {
            id = s.path_free.back();
            s.path_free.pop_back();
            s.llr.share(path, id);
            s.sums.share(path, id);
          }
          const std::size_t np = s.next_order.size();
          s.parent[k * L + np] = static_cast<std::uint16_t>(pos);
          s.bit[k * L + np] = b;
          s.bit_of[np] = b;
          s.metric[id] = s.cand[2 * pos + b];
          s.next_order.push_back(id);
        }
      }
      std::swap(s.order, s.next_order);
      ++k;
    }
    // Partial sums: the leaf, then every node this bit completes as a right child.
    for (std::size_t pos = 0; pos < s.order.size(); ++pos) {
      const std::size_t path = s.order[pos];
      s.sums.write(m, path, (phi & 1u) != 0)[phi & 1u] = static_cast<Sum>(s.bit_of[pos]);
      for (std::size_t d = m; d > 1; --d) {
        if (((phi >> (m - d)) & 1u) == 0) break;
        const std::size_t n = N >> d;
        const std::size_t slot = (phi >> (m - d + 1)) & 1u;
        const Sum* x = s.sums.read(d, path);
        Sum* up = s.sums.write(d - 1, path, slot != 0) + slot * 2 * n;
        for (std::size_t i = 0; i < n; ++i) {
          up[i] = x[i] ^ x[n + i];
          up[n + i] = x[n + i];
        }
      }
    }
  }
  // Final positions by metric, ties to the earlier position.
  const std::size_t A = s.order.size();
  for (std::size_t p = 0; p < A; ++p) s.rank[p] = static_cast<std::uint16_t>(p);
  std::sort(s.rank.begin(), s.rank.begin() + static_cast<std::ptrdiff_t>(A),
            [&](std::uint16_t x, std::uint16_t y) {
              const float mx = s.metric[s.order[x]], my = s.metric[s.order[y]];
              return mx != my ? mx < my : x < y;
            });
  if (crc) {
    const std::size_t Lc = static_cast<std::size_t>(crc_polynomial(*crc).length);
    for (std::size_t r = 0; r < A; ++r) {
      trace_back(s, K, s.rank[r], s.word);
      std::uint32_t tail = 0;
      for (std::size_t i = K - Lc; i < K; ++i) tail = (tail << 1) | s.word[i];
      if (crc_parity(*crc, std::span<const std::uint8_t>(s.word.data(), K - Lc)) == tail) {
        std::copy_n(s.word.begin(), K, data.begin());
        return;
      }
    }
  }
  trace_back(s, K, s.rank[0], data);
}

// Successive cancellation over groups of frames in SIMD lanes, one group per task; the
// LLRs are already checked. The lanes of a last, partial group decode zeros.
void decode_sc_groups(FrameView<const float> llr, std::span<const std::uint32_t> info, int threads,
                      FrameView<std::uint8_t> data, const Interrupt& interrupt) {
  const std::size_t N = llr.length, K = info.size(), F = llr.frames;
  const std::size_t G = polar_detail::sc_lanes();
  const std::size_t groups = (F + G - 1) / G;
  std::vector<std::uint32_t> info_before(N + 1, 0);
  for (std::uint32_t p : info) info_before[p + 1] = 1;
  for (std::size_t i = 0; i < N; ++i) info_before[i + 1] += info_before[i];
  // Each worker's arrays, aligned to the widest vectors (64 bytes): 2 N G LLRs (top,
  // work) and 3 N G bits (sums, u), from the scratch pool (freed, arrays this large go
  // back to the system, and faulting them in again costs more than decoding a call's
  // groups on two threads). The decoder writes every value before it reads it.
  const std::size_t size = N * G;
  threads = polar_detail::sc_threads(groups, threads);
  const std::size_t workers = parallel_workers(groups, threads);
  const std::size_t each = 5 * size + 16;  // 4-byte values
  const ScratchBlock block(4 * each * workers);
  const auto aligned = [](auto* p) {
    const std::size_t a = 64 / sizeof(p[0]);
    return p + (a - reinterpret_cast<std::uintptr_t>(p) / sizeof(p[0]) % a) % a;
  };
  parallel_for(
      groups, threads,
      [&](std::size_t group, std::size_t w, const Interrupt& stop) {
        stop.check();
        float* top = aligned(block.as<float>(workers * each).data() + w * each);
        std::uint32_t* sums = reinterpret_cast<std::uint32_t*>(top + 2 * size);
        std::uint32_t* u = sums + 2 * size;
        const std::size_t f0 = group * G, count = std::min(G, F - f0);
        for (std::size_t l = 0; l < G; ++l)
          for (std::size_t i = 0; i < N; ++i)
            top[i * G + l] = l < count ? -llr(f0 + l, i) : 0.0f;  // ln(P(0)/P(1)) inside
        polar_detail::sc_decode_group(top, N, info_before.data(), top + size, sums, u);
        for (std::size_t l = 0; l < count; ++l)
          for (std::size_t k = 0; k < K; ++k) data(f0 + l, k) = u[info[k] * G + l] ? 1 : 0;
      },
      interrupt);
}

[[noreturn]] void refuse_nan(std::size_t frame, std::size_t i) {
  Refusal r;
  r.fault = Fault::kNaN;
  r.argument = "llr";
  r.row = static_cast<std::int64_t>(frame);
  r.col = static_cast<std::int64_t>(i);
  throw ArgumentError(r);
}

}  // namespace

void check_polar_code(std::size_t K, std::size_t N) {
  if (N < 32 || N > 1024 || (N & (N - 1)) != 0)
    polar_detail::refuse_size(Fault::kNotPowerOfTwo, "N", N, 32, 1024);
  if (K < 1 || K > N) polar_detail::refuse_size(Fault::kOutOfRange, "K", K, 1, N);
}

void check_polar_info(std::span<const std::uint32_t> info, std::size_t N) {
  check_polar_code(info.size(), N);
  for (std::size_t k = 0; k < info.size(); ++k) {
    if (info[k] >= N) {
      Refusal r;
      r.fault = Fault::kNotPosition;
      r.argument = "info";
      r.row = 0;
      r.col = static_cast<std::int64_t>(k);
      r.value = info[k];
      r.limit = static_cast<std::int64_t>(N);
      throw ArgumentError(r);
    }
    if (k > 0 && info[k] == info[k - 1]) {
      Refusal r;
      r.fault = Fault::kRepeated;
      r.argument = "info";
      r.row = 0;
      r.value = info[k];
      throw ArgumentError(r);
    }
    if (k > 0 && info[k] < info[k - 1])
      throw ArgumentError("polar code: the information positions must be sorted; info(" +
                          std::to_string(k) + ") = " + std::to_string(info[k]) + " follows " +
                          std::to_string(info[k - 1]));
  }
}

std::vector<std::uint32_t> polar_construct(std::size_t K, std::size_t N) {
  check_polar_code(K, N);
  return polar_detail::most_reliable(K, N);
}

void polar_encode(std::span<const std::uint8_t> data, std::size_t N, std::span<std::uint8_t> code) {
  check_polar_code(data.size(), N);
  if (code.size() != N) throw ArgumentError("polar_encode: code must hold N elements");
  polar_encode_frames(FrameView<const std::uint8_t>::row_major(data.data(), 1, data.size()), N,
                      FrameView<std::uint8_t>::row_major(code.data(), 1, N));
}

void polar_encode_frames(FrameView<const std::uint8_t> data, std::span<const std::uint32_t> info,
                         std::size_t N, FrameView<std::uint8_t> code) {
  check_polar_info(info, N);
  const std::size_t K = info.size();
  if (data.length != K)
    throw ArgumentError("polar_encode_frames: data must hold K = " + std::to_string(K) +
                        " bits per frame, one per information position, not " +
                        std::to_string(data.length));
  if (code.length != N || code.frames != data.frames)
    throw ArgumentError("polar_encode_frames: code must be frames x N");
  std::vector<std::uint8_t> x(N);
  for (std::size_t f = 0; f < data.frames; ++f) {
    std::fill(x.begin(), x.end(), std::uint8_t{0});
    for (std::size_t k = 0; k < K; ++k) {
      const std::uint8_t b = data(f, k);
      if (b > 1) {
        Refusal r;
        r.fault = Fault::kNotBinary;
        r.argument = "data";
        r.row = static_cast<std::int64_t>(f);
        r.real = b;
        throw ArgumentError(r);
      }
      x[info[k]] = b;
    }
    polar_transform(x);
    for (std::size_t i = 0; i < N; ++i) code(f, i) = x[i];
  }
}

void polar_encode_frames(FrameView<const std::uint8_t> data, std::size_t N,
                         FrameView<std::uint8_t> code) {
  const auto info = polar_construct(data.length, N);
  polar_encode_frames(data, info, N, code);
}

void polar_decode_frames(FrameView<const float> llr, std::span<const std::uint32_t> info,
                         const PolarDecodeParams& params, FrameView<std::uint8_t> data,
                         const Interrupt& interrupt) {
  const int L = params.list_size;
  if (params.threads < 0) throw ArgumentError("polar_decode_frames: threads must not be negative");
  if (L != 1 && L != 2 && L != 4 && L != 8 && L != 16 && L != 32)
    polar_detail::refuse_size(Fault::kNotPowerOfTwo, "list_size",
                              static_cast<std::size_t>(std::max(L, 0)), 1, 32);
  const std::size_t N = llr.length;
  check_polar_info(info, N);
  const std::size_t K = info.size();
  if (params.crc) {
    const auto& poly = crc_polynomial(*params.crc);
    if (K <= static_cast<std::size_t>(poly.length)) {
      Refusal r;
      r.fault = Fault::kNoDataBeforeCrc;
      r.argument = "K";
      r.other = poly.label;
      r.value = static_cast<std::int64_t>(K);
      r.limit = poly.length;
      throw ArgumentError(r);
    }
  }
  if (data.length != K || data.frames != llr.frames)
    throw ArgumentError("polar_decode_frames: data must be frames x K");
  for (std::size_t f = 0; f < llr.frames; ++f)
    for (std::size_t i = 0; i < N; ++i)
      if (std::isnan(llr(f, i))) refuse_nan(f, i);
  if (L == 1 && !params.crc) {
    decode_sc_groups(llr, info, params.threads, data, interrupt);
    return;
  }
  const std::size_t workers =
      std::max<std::size_t>(parallel_workers(llr.frames, params.threads), 1);
  // Each worker's channel row and decided bits, then its decoder's arrays.
  std::vector<std::vector<float>> rows(workers, std::vector<float>(N));
  std::vector<std::vector<std::uint8_t>> outs(workers, std::vector<std::uint8_t>(K));
  std::vector<ListScratch> scratch;
  for (std::size_t w = 0; w < workers; ++w)
    scratch.push_back(make_list_scratch(N, static_cast<std::size_t>(L), info));
  parallel_for(
      llr.frames, params.threads,
      [&](std::size_t f, std::size_t w, const Interrupt& stop) {
        stop.check();
        for (std::size_t i = 0; i < N; ++i) rows[w][i] = llr(f, i);
        list_decode_one(rows[w], K, params.crc, scratch[w], outs[w]);
        for (std::size_t k = 0; k < K; ++k) data(f, k) = outs[w][k];
      },
      interrupt);
}

void polar_decode_frames(FrameView<const float> llr, std::size_t K, const PolarDecodeParams& params,
                         FrameView<std::uint8_t> data, const Interrupt& interrupt) {
  const auto info = polar_construct(K, llr.length);
  polar_decode_frames(llr, info, params, data, interrupt);
}

void polar_decode_sc_frames(FrameView<const float> llr, std::size_t K, FrameView<std::uint8_t> data,
                            int threads, const Interrupt& interrupt) {
  PolarDecodeParams params;
  params.threads = threads;
  polar_decode_frames(llr, K, params, data, interrupt);
}

void polar_decode_sc(std::span<const float> llr, std::size_t K, std::span<std::uint8_t> data) {
  check_polar_code(K, llr.size());
  if (data.size() != K) throw ArgumentError("polar_decode_sc: data must hold K elements");
  PolarDecodeParams params;
  params.threads = 1;
  polar_decode_frames(FrameView<const float>::row_major(llr.data(), 1, llr.size()), K, params,
                      FrameView<std::uint8_t>::row_major(data.data(), 1, K));
}

void polar_decode_sc_scalar(std::span<const float> llr, std::span<const std::uint32_t> info,
                            std::span<std::uint8_t> data) {
  check_polar_info(info, llr.size());
  if (data.size() != info.size()) throw ArgumentError("polar_decode_sc: data must hold K elements");
  for (std::size_t i = 0; i < llr.size(); ++i)
    if (std::isnan(llr[i])) refuse_nan(0, i);
  ScScratch s = make_scratch(llr.size(), info);
  decode_one(llr, info, s, data);
}

CallMemory polar_decode_memory(std::size_t frames, std::size_t N, std::size_t K,
                               const PolarDecodeParams& params) noexcept {
  const bool list = params.list_size > 1 || params.crc.has_value();
  const std::uint64_t L = list ? static_cast<std::uint64_t>(std::max(params.list_size, 1)) : 0;
  const std::uint64_t n = N, k = K;
  // A thread's arrays: the SC decoder's group of G frames in lanes, 2N LLRs and 2N
  // partial sums and decisions (4 bytes each) per frame, plus alignment; the list
  // decoder's L arrays of fewer than N LLRs and 2N partial sums per path, its survivor
  // links (3 bytes per bit and path), its bookkeeping, the channel row and the K bits.
  const std::uint64_t G = polar_detail::sc_lanes();
  const std::uint64_t per_worker =
      list ? add_sat(add_sat(mul_sat(L, 6 * n), mul_sat(mul_sat(L, k), 3)), 64 * L + 9 * n + 4096)
           : 20 * n * G + 4 * n + 1024;
  const std::uint64_t tasks = frames == 0 ? 1 : list ? frames : (frames + G - 1) / G;
  const std::uint64_t workers = parallel_workers(
      tasks, list ? params.threads : polar_detail::sc_threads(tasks, params.threads));
  CallMemory need;
  need.working =
      add_sat(add_sat(mul_sat(frames, 4 * n + k), mul_sat(workers, add_sat(per_worker, k))),
              add_sat(4 * k, parallel_for_bytes(params.threads)));
  need.results = mul_sat(frames, k);
  return need;
}
}  // namespace linkforge
