// bench-deps: timestretch
// Compares the synthesis's sines and cosines with the C library's sincosf
// for EVERY float the wide path covers (|x| < 120, both signs, zeros and
// subnormals included: about 2.24e9 values) and for a sample of the floats
// outside it (every 997th bit pattern from 120 up, infinities, NaN), bit
// for bit, and prints the number of values that differ (and the first 64
// of them). Both the wide kernel itself and the path the program takes
// are checked. Not a test: it takes about a minute on one thread.
//
//   SineCosineCheck [threads]   (default 4)
// Exit status 0 when nothing differs. Run with
// GLIBC_TUNABLES=glibc.cpu.hwcaps=-FMA it shows a C library that rounds
// otherwise: the kernel differs, the path taken does not.
//
//   SineCosineCheck hard [count] [threads]
// Lists the `count` (default 48) covered arguments whose sine, and those
// whose cosine, lies nearest a float rounding boundary before its rounding
// (in units of the last place of the double), as bit patterns: the values
// where any change in the order of the steps or in what is fused shows
// first, for the tests.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "SineCosine.h"

namespace {

constexpr std::uint32_t kCoveredEnd = 0x42f00000u;  // 120.0f
constexpr std::uint32_t kBlock = 1u << 16;
// Differences printed (roughly: threads may print a few more).
constexpr std::uint64_t kListed = 64;

struct Tally {
  std::atomic<std::uint64_t> values{0};
  std::atomic<std::uint64_t> wideDiffers{0};
  std::atomic<std::uint64_t> chosenDiffers{0};
  std::atomic<bool> wideRan{true};
};

std::uint32_t bitsOf(float v) {
  std::uint32_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

// One block of arguments through both kernels and the library.
void checkBlock(const std::vector<float>& args, Tally& tally, std::vector<float>& work) {
  const std::size_t n = args.size();
  work.resize(6 * n);
  float* refS = work.data();
  float* refC = refS + n;
  float* wideS = refC + n;
  float* wideC = wideS + n;
  float* chosenS = wideC + n;
  float* chosenC = chosenS + n;
  for (std::size_t i = 0; i < n; ++i) ::sincosf(args[i], &refS[i], &refC[i]);
  const auto count = static_cast<std::int64_t>(n);
  if (!SineCosine::ComputeWide(args.data(), count, wideS, wideC)) {
    tally.wideRan = false;
    std::copy(refS, refS + n, wideS);
    std::copy(refC, refC + n, wideC);
  }
  SineCosine::Compute(args.data(), count, chosenS, chosenC);
  std::uint64_t wide = 0, chosen = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const bool wideOff = bitsOf(wideS[i]) != bitsOf(refS[i]) || bitsOf(wideC[i]) != bitsOf(refC[i]);
    const bool chosenOff = bitsOf(chosenS[i]) != bitsOf(refS[i]) || bitsOf(chosenC[i]) != bitsOf(refC[i]);
    if (wideOff && tally.wideDiffers + wide < kListed) {
      std::printf("  differs: x = %a (0x%08xu): wide %a %a, library %a %a\n", static_cast<double>(args[i]),
                  bitsOf(args[i]), static_cast<double>(wideS[i]), static_cast<double>(wideC[i]),
                  static_cast<double>(refS[i]), static_cast<double>(refC[i]));
    }
    wide += wideOff;
    chosen += chosenOff;
  }
  tally.values += n;
  tally.wideDiffers += wide;
  tally.chosenDiffers += chosen;
}

// Bit patterns [first, end) stepping by `step`, both signs, split among
// the threads by blocks.
void checkRange(std::uint32_t first, std::uint32_t end, std::uint32_t step, int threads, Tally& tally) {
  const std::uint64_t count = (static_cast<std::uint64_t>(end) - first + step - 1) / step;
  const std::uint64_t blocks = (count + kBlock - 1) / kBlock;
  std::atomic<std::uint64_t> nextBlock{0};
  auto worker = [&] {
    std::vector<float> args, work;
    for (std::uint64_t b = nextBlock++; b < blocks; b = nextBlock++) {
      args.clear();
      const std::uint64_t lo = b * kBlock, hi = std::min<std::uint64_t>(count, lo + kBlock);
      for (std::uint64_t k = lo; k < hi; ++k) {
        const auto bits = static_cast<std::uint32_t>(first + k * step);
        float v;
        std::memcpy(&v, &bits, sizeof v);
        args.push_back(v);
        args.push_back(-v);
      }
      checkBlock(args, tally, work);
    }
  };
  std::vector<std::thread> pool;
  for (int t = 0; t < threads; ++t) pool.emplace_back(worker);
  for (auto& t : pool) t.join();
}

void report(const char* what, const Tally& tally) {
  std::printf("%-44s %12llu values, differing: wide kernel %llu, chosen path %llu\n", what,
              static_cast<unsigned long long>(tally.values.load()),
              static_cast<unsigned long long>(tally.wideDiffers.load()),
              static_cast<unsigned long long>(tally.chosenDiffers.load()));
}

// How far an unrounded result lies from the nearest point where its
// rounding to float changes, in units of its own last place.
double distanceToBoundary(double d) {
  const auto f = static_cast<float>(d);
  const double rounded = f;
  if (rounded == d) return 1e300;
  const double beyond = std::nextafter(f, d > rounded ? INFINITY : -INFINITY);
  const double boundary = 0.5 * (rounded + beyond);  // exact: a float midpoint has 25 bits
  const double ulp = std::nextafter(std::fabs(d), INFINITY) - std::fabs(d);
  return std::fabs(d - boundary) / ulp;
}

using Nearest = std::vector<std::pair<double, std::uint32_t>>;

// Keeps the `count` smallest distances.
void keep(Nearest& list, std::size_t count, double distance, std::uint32_t bits) {
  if (list.size() == count && distance >= list.front().first) return;
  if (list.size() == count) {
    std::pop_heap(list.begin(), list.end());
    list.pop_back();
  }
  list.emplace_back(distance, bits);
  std::push_heap(list.begin(), list.end());
}

int listHard(std::size_t count, int threads) {
  const std::uint32_t blocks = (kCoveredEnd + kBlock - 1) / kBlock;
  std::atomic<std::uint32_t> nextBlock{0};
  std::mutex merge;
  Nearest sines, cosines;
  bool ran = true;
  auto worker = [&] {
    Nearest s, c;
    std::vector<float> args;
    std::vector<double> us(2 * kBlock), uc(2 * kBlock);
    for (std::uint32_t b = nextBlock++; b < blocks; b = nextBlock++) {
      args.clear();
      for (std::uint32_t bits = b * kBlock; bits < std::min(kCoveredEnd, (b + 1) * kBlock); ++bits) {
        float v;
        std::memcpy(&v, &bits, sizeof v);
        args.push_back(v);
        args.push_back(-v);
      }
      if (!SineCosine::ComputeWideUnrounded(args.data(), static_cast<std::int64_t>(args.size()), us.data(),
                                            uc.data())) {
        std::lock_guard<std::mutex> lock(merge);
        ran = false;
        return;
      }
      for (std::size_t i = 0; i < args.size(); ++i) {
        keep(s, count, distanceToBoundary(us[i]), bitsOf(args[i]));
        keep(c, count, distanceToBoundary(uc[i]), bitsOf(args[i]));
      }
    }
    std::lock_guard<std::mutex> lock(merge);
    for (const auto& e : s) keep(sines, count, e.first, e.second);
    for (const auto& e : c) keep(cosines, count, e.first, e.second);
  };
  std::vector<std::thread> pool;
  for (int t = 0; t < threads; ++t) pool.emplace_back(worker);
  for (auto& t : pool) t.join();
  if (!ran) {
    std::printf("the wide kernel cannot run here\n");
    return 1;
  }
  for (auto* list : {&sines, &cosines}) {
    std::sort(list->begin(), list->end());
    std::printf("%s, nearest a boundary (last places of the double): %.3g .. %.3g\n",
                list == &sines ? "sines" : "cosines", list->front().first, list->back().first);
    for (std::size_t i = 0; i < list->size(); ++i)
      std::printf("0x%08xu,%s", (*list)[i].second, i % 6 == 5 || i + 1 == list->size() ? "\n" : " ");
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "hard") == 0) {
    const std::size_t count = argc > 2 ? static_cast<std::size_t>(std::max(1, std::atoi(argv[2]))) : 48;
    return listHard(count, argc > 3 ? std::max(1, std::atoi(argv[3])) : 4);
  }
  const int threads = argc > 1 ? std::max(1, std::atoi(argv[1])) : 4;
  const auto started = std::chrono::steady_clock::now();
  const bool wide = SineCosine::ChosenPath() == SineCosine::Path::Wide;
  std::printf("chosen path: %s\n", wide ? "wide (AVX2 + FMA, matched at first use)" : "library");

  Tally covered;
  checkRange(0, kCoveredEnd, 1, threads, covered);
  if (!covered.wideRan) std::printf("the wide kernel cannot run here: compared the library with itself\n");
  report("every float with |x| < 120:", covered);

  Tally outside;
  checkRange(kCoveredEnd, 0x7f800000u, 997, threads, outside);
  checkRange(0x7f800000u, 0x7f800001u, 1, 1, outside);  // infinity
  checkRange(0x7f800001u, 0x80000000u, 65521, threads, outside);  // NaN payloads
  report("sample of |x| >= 120, infinities, NaN:", outside);

  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::printf("%.1f s with %d threads\n", seconds, threads);
  return covered.wideDiffers + covered.chosenDiffers + outside.wideDiffers + outside.chosenDiffers == 0 ? 0 : 1;
}
