// The phase rules of PhaseMath and the region advance of PhaseRuns over a
// vector of doubles, written once in GCC's vector extensions and included
// once by each copy: the two-lane one of every x86-64 and the four-lane one
// for AVX2. No include guard and nothing but this code: a file includes it
// inside an unnamed namespace, after every header it uses, with the types
// set for its width (LaneDoubles: the doubles, LaneInts: as many 32-bit
// integers) and LaneAllSet(mask) answering whether every lane of a compare
// is true. The lanes make the same operations, in the same order, as the
// scalar rules, so the same bits.

using LaneMask = decltype(LaneDoubles{} < LaneDoubles{});
constexpr int kLaneCount = sizeof(LaneDoubles) / sizeof(double);

inline LaneDoubles laneSplat(double x) { return LaneDoubles{} + x; }

inline LaneDoubles laneLoad(const double* p) {
  LaneDoubles v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

inline void laneStore(double* p, LaneDoubles v) { std::memcpy(p, &v, sizeof v); }

// The bits of a where the mask is set, else those of b: a masked-off lane
// of an and gives +0.
inline LaneDoubles laneSelect(LaneMask mask, LaneDoubles a, LaneDoubles b) {
  return reinterpret_cast<LaneDoubles>((mask & reinterpret_cast<LaneMask>(a)) | (~mask & reinterpret_cast<LaneMask>(b)));
}
inline LaneDoubles laneAnd(LaneMask mask, LaneDoubles a) {
  return reinterpret_cast<LaneDoubles>(mask & reinterpret_cast<LaneMask>(a));
}

// Ordered compares, as PhaseMath's: false for a NaN.
inline LaneMask laneIsNearTurn(LaneDoubles v) {
  return (v >= laneSplat(-PhaseMath::kTwoPi)) & (v < laneSplat(2.0 * PhaseMath::kTwoPi));
}

inline LaneDoubles laneWrapNear(LaneDoubles v) {
  const LaneDoubles turn = laneSplat(PhaseMath::kTwoPi);
  const LaneDoubles up = v + turn;
  const LaneDoubles r = laneSelect(v >= turn, v - turn, v);
  return laneSelect(v < LaneDoubles{}, laneAnd(up < turn, up), r);
}

inline LaneDoubles laneUnwrapAgainst(LaneDoubles x, LaneDoubles y) {
  const LaneDoubles turn = laneSplat(PhaseMath::kTwoPi);
  const LaneDoubles half = laneSplat(PhaseMath::kPi);
  const LaneDoubles r = laneSelect(y - half > x, x + turn, x);
  return laneSelect(x > y + half, x - turn, r);
}

// PhaseMath::Wrap on every lane: the near rule, or whole turns taken off
// the quotient's floor from its 32-bit whole part; a lane whose quotient
// does not fit, or is no number, sends them all through Wrap.
inline LaneDoubles laneWrap(LaneDoubles v) {
  const LaneMask nearMask = laneIsNearTurn(v);
  const LaneDoubles nearTurn = laneWrapNear(v);
  if (LaneAllSet(nearMask)) return nearTurn;
  const LaneDoubles turn = laneSplat(PhaseMath::kTwoPi);
  const LaneDoubles turns = v / turn;
  const LaneDoubles magnitude = laneSelect(turns < LaneDoubles{}, -turns, turns);
  if (!LaneAllSet(nearMask | (magnitude < laneSplat(2147483647.0)))) {
    LaneDoubles r;
    for (int i = 0; i < kLaneCount; ++i) r[i] = PhaseMath::Wrap(v[i]);
    return r;
  }
  LaneDoubles whole = __builtin_convertvector(__builtin_convertvector(turns, LaneInts), LaneDoubles);
  whole = laneSelect(whole > turns, whole - laneSplat(1.0), whole);
  LaneDoubles p = v - whole * turn;
  p = laneSelect(p >= turn, p - turn, p);
  p = laneAnd(~(p < LaneDoubles{}), p);
  return laneSelect(nearMask, nearTurn, p);
}

inline LaneDoubles lanePhaseBetween(const PhaseRuns::PhasePairs& pairs, std::int64_t k) {
  const LaneDoubles low = laneLoad(pairs.low + k);
  const LaneDoubles high = laneUnwrapAgainst(laneLoad(pairs.high + k), low);
  return laneWrap(low + laneLoad(pairs.fraction + k) * (high - low));
}

// AdvanceRegionsPlain from bin `k` while a whole vector is left; returns
// the first bin it did not do.
inline std::int64_t laneAdvanceRegions(const PhaseRuns::RegionTerms& t, std::int64_t k, std::int64_t n, double* phase,
                                       double* offset) {
  for (; k + kLaneCount <= n; k += kLaneCount) {
    const LaneDoubles phaseB = lanePhaseBetween(t.phaseB, k);
    const LaneDoubles e = laneWrap(laneLoad(t.nearerBin + k) - phaseB);
    const LaneDoubles advance = laneLoad(t.advance + k);
    const LaneDoubles predicted = laneWrap(lanePhaseBetween(t.phaseA, k) + advance);
    // 0.0 where it does not count, as the plain loop sets it; a NaN counts.
    const LaneMask counts = laneLoad(t.useDeviation + k) != LaneDoubles{};
    const LaneDoubles deviation = laneAnd(counts, laneUnwrapAgainst(phaseB, predicted) - predicted);
    const LaneDoubles p = laneWrap(lanePhaseBetween(t.previous, k) + e + advance + deviation);
    const LaneDoubles analysed = laneLoad(t.analysed + k);
    laneStore(phase + k, p);
    laneStore(offset + k, laneUnwrapAgainst(p, analysed) - analysed);
  }
  return k;
}
