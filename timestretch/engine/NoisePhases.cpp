#include "NoisePhases.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>

#include "PhaseMath.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

using namespace PhaseMath;

namespace NoisePhases {

namespace {

typedef float Floats __attribute__((vector_size(16)));
typedef std::int32_t Ints __attribute__((vector_size(16)));

// lowest > x ? lowest : x lane by lane (a NaN x stays), one instruction
// where the CPU has SSE: the compiler keeps the comparison and blend of the
// expression itself.
__attribute__((always_inline)) inline Floats atLeast(Floats lowest, Floats x) {
#if defined(__SSE__)
  return __builtin_ia32_maxps(lowest, x);
#else
  return lowest > x ? lowest : x;
#endif
}

__attribute__((always_inline)) inline Floats load(const float* p) {
  Floats v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// About 10^(dB / 10) of four levels (full scale 0 dB; the lowest float
// is no energy), as float bits: 2^x with x scaled into a float's exponent
// bits and the fraction read as the mantissa, within 6 % per level and
// the same way off in every sum of them. A handful of instructions.
__attribute__((always_inline)) inline Floats EnergyLanes(Floats levels) {
  constexpr float kLog2Per10Db = 0.33219281f;  // log2(10) / 10
  constexpr float kMantissa = 8388608.0f;       // 2^23
  const Floats lowest = {-120.0f, -120.0f, -120.0f, -120.0f};
  const Floats x = atLeast(lowest, levels * kLog2Per10Db);
  // Vector casts of one size keep the bits.
  return (Floats)__builtin_convertvector((x + 127.0f) * kMantissa, Ints);
}

// The sum of four lanes of EnergyLanes over levels from k on, then that of
// the one to three levels from k to `end` (exclusive) one by one.
__attribute__((always_inline)) inline double EnergyTotal(Floats sum, const float* levels, std::int64_t k,
                                                         std::int64_t end) {
  double total = static_cast<double>(sum[0]) + sum[1] + sum[2] + sum[3];
  // Each level of the tail in all four lanes of a vector made in
  // registers: lanes stored one by one and read back as a vector stall the
  // processor until the stores have gone out.
  for (; k < end; ++k) {
    const float v = levels[k];
    total += EnergyLanes(Floats{v, v, v, v})[0];
  }
  return total;
}

// Sum of about 10^(dB / 10) over `count` levels, for a share of two such
// sums (EnergyLanes), four levels at a time.
__attribute__((always_inline)) inline double Energy(const float* levels, std::int64_t count) {
  Floats sum = {0.0f, 0.0f, 0.0f, 0.0f};
  std::int64_t k = 0;
  for (; k + 4 <= count; k += 4) sum += EnergyLanes(load(levels + k));
  return EnergyTotal(sum, levels, k, count);
}

// Four turns within one turn, as AddTurns steps by them.
float FourTurns(double turn) {
  double x = 4.0 * turn;
  while (x >= kTwoPi) x -= kTwoPi;
  return static_cast<float>(x);
}

typedef double Doubles __attribute__((vector_size(16)));

// The turns of four bins from one whose turn is `base` (within one turn)
// on, each a `turn` (within one turn) further and taken down by whole turns
// to within one, as floats. From base and turn within one turn, the first
// two bins lie below two turns and the last two below four: one select and
// three instead of a loop whose count a branch would guess wrong, and a
// loop after them that never runs.
__attribute__((always_inline)) inline Floats TurnsFrom(double base, double turn) {
  const Doubles whole = {kTwoPi, kTwoPi};
  Doubles low = {base, base + turn}, high = {base + 2 * turn, base + 3 * turn};
  low = low >= whole ? low - whole : low;
  for (int i = 0; i < 3; ++i) high = high >= whole ? high - whole : high;
  for (;;) {
    const auto over = (low >= whole) | (high >= whole);
    if (!(over[0] | over[1])) break;
    low = low >= whole ? low - whole : low;
    high = high >= whole ? high - whole : high;
  }
  // Made in registers: lanes stored one by one and read back as a vector
  // would stall until the stores have gone out.
  return Floats{static_cast<float>(low[0]), static_cast<float>(low[1]), static_cast<float>(high[0]),
                static_cast<float>(high[1])};
}

// TurnsFrom(Wrap(from[i] * turn), turn) for the `count` runs from[0..count),
// into `turns`: the wraps, a division each, side by side two at a time
// instead of at the head of each run, where all of the run waited for them.
__attribute__((always_inline)) inline void StartTurns(const std::int64_t* from, int count, double turn, Floats* turns) {
  int i = 0;
#if defined(__SSE2__)
  for (; i + 2 <= count; i += 2) {
    const __m128d bases =
        WrapLanes(_mm_set_pd(static_cast<double>(from[i + 1]) * turn, static_cast<double>(from[i]) * turn));
    turns[i] = TurnsFrom(_mm_cvtsd_f64(bases), turn);
    turns[i + 1] = TurnsFrom(_mm_cvtsd_f64(_mm_unpackhi_pd(bases, bases)), turn);
  }
#endif
  for (; i < count; ++i) turns[i] = TurnsFrom(Wrap(static_cast<double>(from[i]) * turn), turn);
}

// out[k] = in[k] + k * turn, within one turn, for k from `from` to `to`;
// `turn` within one turn, `four` = FourTurns(turn), `start` = the turns of
// the first four bins (StartTurns); `in`, `out` and `levels` hold `bins`
// values. Four bins at a time, their turns worked out afresh in double
// every 64 bins so that float steps do not drift (by less than 1e-5 in
// between). With kEnergy, returns Energy(levels + from, to + 1 - from),
// summed on the way; 0 otherwise.
template <bool kEnergy>
__attribute__((always_inline)) inline double AddTurns(const float* in, float* out, std::int64_t from, std::int64_t to,
                                                      std::int64_t bins, double turn, float four, Floats start,
                                                      const float* levels) {
  // The float nearest one turn lies above it: values from the float just
  // below it up are taken down by a turn, and kept at 0 or above, so that
  // every phase lies in [0, 2 pi) as the rest of the stretch wants it.
  const float whole = static_cast<float>(kTwoPi);
  const float below = 6.28318501f;
  const Floats wholes = {whole, whole, whole, whole}, limits = {below, below, below, below}, zeros = {};
  auto added = [&](Floats v, Floats t) {
    v += t;
    const Floats down = v - wholes;
    return v >= limits ? atLeast(zeros, down) : v;
  };
  Floats turns = start, energy{};
  const Floats step = {four, four, four, four};
  std::int64_t k = from;
  for (; k <= to; k += 4) {
    if (k != from && ((k - from) & 63) == 0) turns = TurnsFrom(Wrap(static_cast<double>(k) * turn), turn);
    if (k + 4 > to + 1) break;
    const Floats v = added(load(in + k), turns);
    std::memcpy(out + k, &v, sizeof v);
    if constexpr (kEnergy) energy += EnergyLanes(load(levels + k));
    turns += step;
    turns = turns >= wholes ? turns - wholes : turns;
  }
  const std::int64_t rest = to + 1 - k;
  if (rest > 0 && k + 4 <= bins) {
    // The last one to three bins in one more vector, the bins past the
    // run keeping what they hold: a loop of one to three turns is a branch
    // the processor guesses wrong at nearly every run.
    const Ints lane = {0, 1, 2, 3};
    const Ints keep = lane < static_cast<std::int32_t>(rest);
    const Floats v = keep ? added(load(in + k), turns) : load(out + k);
    std::memcpy(out + k, &v, sizeof v);
    if constexpr (kEnergy) {
      // Added lane by lane after the sum, as one by one; a lane past the
      // run adds +0, which changes no sum of energies (never -0).
      const Floats tail = keep ? EnergyLanes(load(levels + k)) : zeros;
      double total = EnergyTotal(energy, levels, k, k);
      total += tail[0];
      total += tail[1];
      total += tail[2];
      return total;
    }
    return 0.0;
  }
  // The last one to three bins at the end of the arrays.
  for (int i = 0; k + i <= to; ++i) {
    const float v = in[k + i] + turns[i];
    out[k + i] = v >= below ? std::max(v - whole, 0.0f) : v;
  }
  if constexpr (kEnergy) return EnergyTotal(energy, levels, std::min(k, to + 1), to + 1);
  return 0.0;
}

constexpr std::uint8_t kWhole = kMoveWhole, kSkirts = kMoveSkirts;

// Half the main lobe of the top band's analysis window (a Kaiser window
// with alpha 2 over the whole transform: 2.24 bins), in whole bins.
// Beyond it a steady partial leaves only side lobes 46 dB down, and what
// the bins hold is the noise between the partials.
constexpr std::int64_t kMainLobeBins = 2;

// The steadiness test on the rounded bins kA and kB of the two peaks,
// without a branch per test: whether a noise peak passes one is a coin
// toss the processor would guess wrong half the time.
bool steadyAt(const SMSFrame& frameA, const SMSFrame& frameB, std::int64_t kA, std::int64_t kB, double fA, double fB,
              double framePeriod, const SteadyLimits& limits) {
  const double rise = static_cast<double>(frameB.magnitudes[kB]) - frameA.magnitudes[kA];
  // The continuity test of a transient frame lets a third of all noise
  // peaks pass (any phase within a sixth of a turn); a tenth of a radian
  // lets through one in thirty, and every partial of a steady tone. The
  // deviation from the path, in turns, taken to the nearest whole one
  // (adding and taking away 1.5 x 2^52 rounds it).
  constexpr double kRound = 6755399441055744.0;
  const double turns = (static_cast<double>(frameB.phases[kB]) - frameA.phases[kA]) * (1.0 / kTwoPi) -
                       (fA + fB) * 0.5 * framePeriod;
  const double nearest = (turns + kRound) - kRound;
  return (std::fabs(fB - fA) < limits.maxJumpHz) & (rise < limits.maxRiseDb) & (rise > limits.maxFallDb) &
         (std::fabs(turns - nearest) * kTwoPi < limits.maxDeviation);
}

}  // namespace

bool IsSteadyPeak(const SMSFrame& frameA, const SMSFrame& frameB, double fA, double fB, double nyquist,
                  double framePeriod, const SteadyLimits& limits) {
  if (!frameA.magnitudes || !frameB.magnitudes || !frameA.phases || !frameB.phases || frameA.binCount <= 0 ||
      frameB.binCount <= 0 || !(std::fabs(fA) < 1e12) || !(std::fabs(fB) < 1e12))
    return false;
  return steadyAt(frameA, frameB, RoundedBin(fA, frameA.binCount, nyquist), RoundedBin(fB, frameB.binCount, nyquist),
                  fA, fB, framePeriod, limits);
}

namespace {

// The rounded bin of frequency f as PlanMoves works it out: RoundedBinAt(
// std::max(0.0, f * binsPerHz), lastBin + 1) by a product instead of a
// division, where a bin never negative needs only its top clamped.
std::int64_t binAt(double f, double binsPerHz, std::int64_t lastBin) {
  const double x = f * binsPerHz;
  const auto k = static_cast<std::int64_t>((x > 0.0 ? x : 0.0) + 0.5);
  return k < lastBin ? k : lastBin;
}

}  // namespace

void ClassifyRegionsPlain(const PeakRegionTable& table, std::int32_t first, const SMSFrame& frameA,
                          const SMSFrame& frameB, double binsPerHz, std::int64_t lastBin, double framePeriod,
                          const SteadyLimits& limits, std::uint8_t* moves, const RegionBins& ends) {
  for (std::int32_t r = first; r < table.count; ++r) {
    const double fA = table.source[r], fB = table.centre[r];
    const std::int64_t centre = ends.centres[r - first] = binAt(fB, binsPerHz, lastBin);
    ends.lower[r - first] = binAt(fB - table.lowerExtent[r], binsPerHz, lastBin);
    ends.upper[r - first] = binAt(fB + table.upperExtent[r], binsPerHz, lastBin);
    const bool steady = steadyAt(frameA, frameB, binAt(fA, binsPerHz, lastBin), centre, fA, fB, framePeriod, limits);
    const int moved = static_cast<int>(table.flags[r] == 0) & static_cast<int>(fA != PeakTracking::kNoSource) &
                      static_cast<int>(table.spectrum[r] == &frameB);
    moves[r - first] = static_cast<std::uint8_t>(moved * (steady ? kSkirts : kWhole));
  }
}

#if defined(__GNUC__) && defined(__x86_64__)

namespace {

// Four regions of ClassifyRegionsPlain from r on. The target names AVX2
// alone: with FMA a product and a sum could become one rounding.
__attribute__((target("avx2"))) std::int32_t classifyFour(const PeakRegionTable& table, std::int32_t first,
                                                           const SMSFrame& frameA, const SMSFrame& frameB,
                                                           double binsPerHz, std::int64_t lastBin,
                                                           double framePeriod, const SteadyLimits& limits,
                                                           std::uint8_t* moves, const RegionBins& ends) {
  const __m256d perHz = _mm256_set1_pd(binsPerHz), zero = _mm256_setzero_pd(), half = _mm256_set1_pd(0.5);
  // min(max(x, 0) + 0.5, lastBin + 0.5) truncated is the rounded bin
  // clamped to lastBin: at or above lastBin + 0.5 it truncates to lastBin,
  // as the clamp after the truncation gives, and a bin fits 32 bits.
  const __m256d top = _mm256_set1_pd(static_cast<double>(lastBin) + 0.5);
  auto binsOf = [&](__m256d f) __attribute__((target("avx2"))) {
    // maxpd returns its second operand, 0, for a NaN, as the comparison does.
    const __m256d x = _mm256_add_pd(_mm256_max_pd(_mm256_mul_pd(f, perHz), zero), half);
    return _mm256_cvttpd_epi32(_mm256_min_pd(x, top));
  };
  const __m256d sign = _mm256_set1_pd(-0.0);
  const __m256d perTurn = _mm256_set1_pd(1.0 / kTwoPi), turn = _mm256_set1_pd(kTwoPi);
  const __m256d round = _mm256_set1_pd(6755399441055744.0), period = _mm256_set1_pd(framePeriod);
  const __m256d maxJump = _mm256_set1_pd(limits.maxJumpHz), maxRise = _mm256_set1_pd(limits.maxRiseDb);
  const __m256d maxFall = _mm256_set1_pd(limits.maxFallDb), maxDeviation = _mm256_set1_pd(limits.maxDeviation);
  const __m256d noSource = _mm256_set1_pd(PeakTracking::kNoSource);
  const __m256i own = _mm256_set1_epi64x(static_cast<long long>(reinterpret_cast<std::uintptr_t>(&frameB)));
  std::int32_t r = first;
  for (; r + 4 <= table.count; r += 4) {
    const __m256d fA = _mm256_loadu_pd(&table.source[static_cast<std::size_t>(r)]);
    const __m256d fB = _mm256_loadu_pd(&table.centre[static_cast<std::size_t>(r)]);
    const __m128i kA = binsOf(fA), kB = binsOf(fB);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(ends.centres + (r - first)), _mm256_cvtepi32_epi64(kB));
    const __m256d below = _mm256_loadu_pd(&table.lowerExtent[static_cast<std::size_t>(r)]);
    const __m256d above = _mm256_loadu_pd(&table.upperExtent[static_cast<std::size_t>(r)]);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(ends.lower + (r - first)),
                        _mm256_cvtepi32_epi64(binsOf(_mm256_sub_pd(fB, below))));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(ends.upper + (r - first)),
                        _mm256_cvtepi32_epi64(binsOf(_mm256_add_pd(fB, above))));
    const __m256d levelA = _mm256_cvtps_pd(_mm_i32gather_ps(frameA.magnitudes, kA, 4));
    const __m256d levelB = _mm256_cvtps_pd(_mm_i32gather_ps(frameB.magnitudes, kB, 4));
    const __m256d phaseA = _mm256_cvtps_pd(_mm_i32gather_ps(frameA.phases, kA, 4));
    const __m256d phaseB = _mm256_cvtps_pd(_mm_i32gather_ps(frameB.phases, kB, 4));
    // steadyAt's expressions, operation for operation.
    const __m256d rise = _mm256_sub_pd(levelB, levelA);
    const __m256d turns = _mm256_sub_pd(_mm256_mul_pd(_mm256_sub_pd(phaseB, phaseA), perTurn),
                                        _mm256_mul_pd(_mm256_mul_pd(_mm256_add_pd(fA, fB), half), period));
    const __m256d nearest = _mm256_sub_pd(_mm256_add_pd(turns, round), round);
    const __m256d deviation = _mm256_mul_pd(_mm256_andnot_pd(sign, _mm256_sub_pd(turns, nearest)), turn);
    __m256d steady = _mm256_cmp_pd(_mm256_andnot_pd(sign, _mm256_sub_pd(fB, fA)), maxJump, _CMP_LT_OQ);
    steady = _mm256_and_pd(steady, _mm256_cmp_pd(rise, maxRise, _CMP_LT_OQ));
    steady = _mm256_and_pd(steady, _mm256_cmp_pd(rise, maxFall, _CMP_GT_OQ));
    steady = _mm256_and_pd(steady, _mm256_cmp_pd(deviation, maxDeviation, _CMP_LT_OQ));
    // != is true for a NaN: the unordered compare.
    const __m256d sourced = _mm256_cmp_pd(fA, noSource, _CMP_NEQ_UQ);
    const __m256i spectra =
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(&table.spectrum[static_cast<std::size_t>(r)]));
    const __m256d ownSpectrum = _mm256_castsi256_pd(_mm256_cmpeq_epi64(spectra, own));
    const int steadyBits = _mm256_movemask_pd(steady);
    const int movedBits = _mm256_movemask_pd(_mm256_and_pd(sourced, ownSpectrum));
    static_assert(kSkirts == kWhole + 1, "a steady region moves one kind further");
    for (int i = 0; i < 4; ++i) {
      const int moved = ((movedBits >> i) & 1) & static_cast<int>(table.flags[static_cast<std::size_t>(r + i)] == 0);
      moves[r - first + i] = static_cast<std::uint8_t>(moved * (kWhole + ((steadyBits >> i) & 1)));
    }
  }
  return r - first;
}

}  // namespace

std::int32_t ClassifyRegionsFour(const PeakRegionTable& table, std::int32_t first, const SMSFrame& frameA,
                                 const SMSFrame& frameB, double binsPerHz, std::int64_t lastBin, double framePeriod,
                                 const SteadyLimits& limits, std::uint8_t* moves, const RegionBins& ends) {
  // Reads what the runtime found out about the CPU at start-up.
  if (!__builtin_cpu_supports("avx2")) return 0;
  return classifyFour(table, first, frameA, frameB, binsPerHz, lastBin, framePeriod, limits, moves, ends);
}

#else

std::int32_t ClassifyRegionsFour(const PeakRegionTable&, std::int32_t, const SMSFrame&, const SMSFrame&, double,
                                 std::int64_t, double, const SteadyLimits&, std::uint8_t*, const RegionBins&) {
  return 0;
}

#endif

void ClassifyRegions(const PeakRegionTable& table, std::int32_t first, const SMSFrame& frameA, const SMSFrame& frameB,
                     double binsPerHz, std::int64_t lastBin, double framePeriod, const SteadyLimits& limits,
                     std::uint8_t* moves, const RegionBins& ends) {
  const std::int32_t done =
      ClassifyRegionsFour(table, first, frameA, frameB, binsPerHz, lastBin, framePeriod, limits, moves, ends);
  const RegionBins rest{ends.centres + done, ends.lower + done, ends.upper + done};
  ClassifyRegionsPlain(table, first + done, frameA, frameB, binsPerHz, lastBin, framePeriod, limits, moves + done,
                       rest);
}

void PlanMoves(const PeakRegionTable& table, SMSFrame* const* framesA, SMSFrame* const* output, const float* nyquist,
               int bands, double inputTime, double framePeriod, const SteadyLimits& limits, MovePlan& plan) {
  plan.runs = 0;
  plan.band = -1;
  plan.frame = nullptr;
  // The low band holds the bass and the chords, whose fainter partials can
  // fail the steadiness test; moved, they would lose their locking.
  if (bands < 2 || !std::isfinite(inputTime)) return;
  const int top = bands - 1;
  const SMSFrame* out = output[top];
  const SMSFrame* frameA = framesA[top];
  if (!out || !out->magnitudes || !out->phases || out->binCount < 2 || !frameA) return;
  const std::int64_t n = out->binCount;
  const double nu = nyquist[top];
  if (!frameA->magnitudes || !frameA->phases || frameA->binCount != n || !(nu > 0.0)) return;
  // Rounded bins as RoundedBin gives them, by a product (binAt).
  const double binsPerHz = static_cast<double>(n - 1) / nu;
  const std::int64_t lastBin = n - 1;
  // The regions of the top band come last, in order of frequency (bands
  // never go down from one region to the next).
  std::int32_t r = static_cast<std::int32_t>(
      std::partition_point(table.band.begin(), table.band.begin() + table.count, [top](std::int32_t b) { return b < top; }) -
      table.band.begin());
  if (r >= table.count) return;
  // Every region of the band has the band's frame B.
  const SMSFrame* frameB = table.spectrum[r];
  if (!frameB || !frameB->phases || !frameB->magnitudes || frameB->binCount != n) return;
  // First which regions move and how, without a branch per region, then
  // the runs they make.
  std::uint8_t moves[PeakRegionTable::kCapacity];
  std::int64_t centres[PeakRegionTable::kCapacity], lowers[PeakRegionTable::kCapacity],
      uppers[PeakRegionTable::kCapacity];
  const std::int32_t firstRegion = r;
  ClassifyRegions(table, firstRegion, *frameA, *frameB, binsPerHz, lastBin, framePeriod, limits, moves,
                  RegionBins{centres, lowers, uppers});
  // Neighbouring pieces make one run of bins: every bin of a frame turns
  // by its own frequency times the same time.
  std::int64_t* runFrom = plan.from.data();
  std::int64_t* runTo = plan.to.data();
  std::int32_t runs = 0;
  auto add = [&](std::int64_t from, std::int64_t to) {
    if (to < from) return;
    if (runs > 0 && from <= runTo[runs - 1] + 1) {
      runTo[runs - 1] = std::max(runTo[runs - 1], to);
      return;
    }
    runFrom[runs] = from;
    runTo[runs] = to;
    ++runs;
  };
  // The region last added to a run whole: the next region starts at the
  // midpoint where that one ends, within a bin, and joins the run without
  // its lower end worked out.
  std::int32_t lastWhole = -2;
  // What the region before moves above its centre.
  std::int64_t aboveFrom = 1, aboveTo = 0;
  auto gap = [&](std::int32_t at, std::int64_t from, std::int64_t to) {
    const auto i = static_cast<std::size_t>(at);
    if (aboveFrom > aboveTo || (from <= to && from < aboveFrom)) {
      plan.gapFrom[i] = from;
      plan.gapTo[i] = to;
    } else {
      plan.gapFrom[i] = aboveFrom;
      plan.gapTo[i] = from <= to && from <= aboveTo + 1 ? std::max(aboveTo, to) : aboveTo;
    }
  };
  for (r = firstRegion; r < table.count; ++r) {
    const std::uint8_t how = moves[r - firstRegion];
    if (!how) {
      gap(r, 1, 0);
      aboveFrom = 1;
      aboveTo = 0;
      continue;
    }
    const std::int64_t to = uppers[r - firstRegion];
    if (how == kWhole) {
      const std::int64_t from = runs > 0 && lastWhole == r - 1 ? runTo[runs - 1] : lowers[r - firstRegion];
      add(from, to);
      gap(r, from, to);
      aboveFrom = from;
      aboveTo = to;
      lastWhole = r;
      continue;
    }
    // A steady partial keeps its locked phases over its main lobe; the
    // noise beside it, out to the midpoints, moves as noise elsewhere does.
    const std::int64_t centre = centres[r - firstRegion];
    const std::int64_t belowFrom = lowers[r - firstRegion], belowTo = centre - kMainLobeBins - 1;
    add(belowFrom, belowTo);
    gap(r, belowFrom, belowTo);
    aboveFrom = centre + kMainLobeBins + 1;
    aboveTo = to;
    add(aboveFrom, aboveTo);
  }
  gap(table.count, 1, 0);
  plan.runs = runs;
  plan.band = top;
  plan.frame = frameB;
}

namespace {

// ApplyMoves over the runs, once the band checks are made: `first` is the
// band's first bin, `turn` the turn per bin, `four` FourTurns(turn);
// returns the moved energy. Written once and compiled twice, for the
// baseline CPU and for AVX2, where the selects of the turns and wraps are
// one blend each instead of three logic operations: the same operations
// on every value, so the same bits.
__attribute__((always_inline)) inline double applyRuns(const MovePlan& plan, SMSFrame& out, std::int64_t n,
                                                       std::int64_t first, double turn, float four) {
  double moved = 0.0;
  constexpr int kBatch = 64;
  Floats starts[kBatch];
  for (std::int32_t batch = 0; batch < plan.runs; batch += kBatch) {
    const int count = static_cast<int>(std::min<std::int32_t>(kBatch, plan.runs - batch));
    StartTurns(plan.from.data() + batch, count, turn, starts);
    for (int j = 0; j < count; ++j) {
      const auto i = static_cast<std::size_t>(batch + j);
      const std::int64_t runFrom = plan.from[i], runTo = plan.to[i];
      // The run's energy on the way, where all of it lies within the band.
      if (runFrom >= first) {
        moved += AddTurns<true>(plan.frame->phases, out.phases, runFrom, runTo, n, turn, four, starts[j],
                                out.magnitudes);
        continue;
      }
      AddTurns<false>(plan.frame->phases, out.phases, runFrom, runTo, n, turn, four, starts[j], nullptr);
      if (runTo >= first) moved += Energy(out.magnitudes + first, runTo + 1 - first);
    }
  }
  return moved;
}

double applyRunsBaseline(const MovePlan& plan, SMSFrame& out, std::int64_t n, std::int64_t first, double turn,
                         float four) {
  return applyRuns(plan, out, n, first, turn, four);
}

#if defined(__GNUC__) && defined(__x86_64__)
// The target names AVX2 alone: with FMA a product and a sum could become
// one rounding.
__attribute__((target("avx2"))) double applyRunsWide(const MovePlan& plan, SMSFrame& out, std::int64_t n,
                                                     std::int64_t first, double turn, float four) {
  return applyRuns(plan, out, n, first, turn, four);
}
#endif

}  // namespace

double ApplyMoves(const MovePlan& plan, SMSFrame* const* output, const float* nyquist, double lowerEdgeHz,
                  double inputTime) {
  if (plan.runs <= 0 || plan.band < 0 || !plan.frame || !std::isfinite(inputTime)) return 0.0;
  SMSFrame* out = output[plan.band];
  const std::int64_t n = out ? out->binCount : 0;
  if (!out || !out->phases || !out->magnitudes || n < 2 || plan.frame->binCount != n) return 0.0;
  const double nu = nyquist[plan.band];
  // The band's own range: what lies below its lower edge is blanked.
  const std::int64_t first = RoundedBin(std::max(lowerEdgeHz, 0.0), n, nu);
  const double turnPerBin = Wrap(kTwoPi * (nu / static_cast<double>(n - 1)) * (inputTime - plan.frame->time));
  const float four = FourTurns(turnPerBin);
#if defined(__GNUC__) && defined(__x86_64__)
  // Reads what the runtime found out about the CPU at start-up.
  const double moved = __builtin_cpu_supports("avx2") ? applyRunsWide(plan, *out, n, first, turnPerBin, four)
                                                      : applyRunsBaseline(plan, *out, n, first, turnPerBin, four);
#else
  const double moved = applyRunsBaseline(plan, *out, n, first, turnPerBin, four);
#endif
  if (!(moved > 0.0)) return 0.0;
  const double total = Energy(out->magnitudes + first, n - first);
  return total > 0.0 ? std::min(1.0, moved / total) : 0.0;
}

}  // namespace NoisePhases
