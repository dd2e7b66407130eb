// The phase rules of PhaseMath and the loops of PhaseRuns over a vector of
// doubles, written once and included once by each copy: the two-lane one
// of every x86-64 and the four-lane one for AVX2. No include guard and
// nothing but this code: a file includes it inside an unnamed namespace,
// after every header it uses, with its width's types (LaneDoubles: the
// doubles, LaneInts: as many 32-bit integers) and primitives: floats
// loaded as doubles and stored rounded (laneLoadFloats, laneStoreFloats);
// laneAboveSilence(levels), a bit per lane whose level is above
// PhaseMath::kNoEnergy; the ordered compares laneGE, laneLT, laneGT and the
// unordered laneNE, each lane all ones or all zeros; laneAndBits(m, a),
// laneAndNotBits(m, a) (the bits of a where m is clear) and laneOrBits;
// laneSelect(m, a, b), a where m is set, else b; LaneAllSet(m), whether
// every lane is set. Arithmetic is the vector's own
// (GCC's vector extensions); the masks go through the instructions, since
// GCC turns a compare's result used as a value into a lane-by-lane detour
// where SSE2 has no 64-bit compare. The lanes make the same operations, in
// the same order, as the scalar rules, so the same bits.

constexpr int kLaneCount = sizeof(LaneDoubles) / sizeof(double);

inline LaneDoubles laneSplat(double x) {
  LaneDoubles v;
  for (int i = 0; i < kLaneCount; ++i) v[i] = x;
  return v;
}

inline LaneDoubles laneLoad(const double* p) {
  LaneDoubles v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

inline void laneStore(double* p, LaneDoubles v) { std::memcpy(p, &v, sizeof v); }

// Ordered compares, as PhaseMath's: false for a NaN.
inline LaneDoubles laneIsNearTurn(LaneDoubles v) {
  return laneAndBits(laneGE(v, laneSplat(-PhaseMath::kTwoPi)), laneLT(v, laneSplat(2.0 * PhaseMath::kTwoPi)));
}

inline LaneDoubles laneWrapNear(LaneDoubles v) {
  const LaneDoubles turn = laneSplat(PhaseMath::kTwoPi);
  const LaneDoubles up = v + turn;
  const LaneDoubles r = laneSelect(laneGE(v, turn), v - turn, v);
  // A masked-off lane of the and is +0.
  return laneSelect(laneLT(v, LaneDoubles{}), laneAndBits(laneLT(up, turn), up), r);
}

inline LaneDoubles laneUnwrapAgainst(LaneDoubles x, LaneDoubles y) {
  const LaneDoubles turn = laneSplat(PhaseMath::kTwoPi);
  const LaneDoubles half = laneSplat(PhaseMath::kPi);
  const LaneDoubles r = laneSelect(laneGT(y - half, x), x + turn, x);
  return laneSelect(laneGT(x, y + half), x - turn, r);
}

// PhaseMath::Wrap on every lane: the near rule, or whole turns taken off
// the quotient's floor from its 32-bit whole part; a lane whose quotient
// does not fit, or is no number, sends them all through Wrap.
inline LaneDoubles laneWrap(LaneDoubles v) {
  const LaneDoubles nearMask = laneIsNearTurn(v);
  const LaneDoubles nearTurn = laneWrapNear(v);
  if (LaneAllSet(nearMask)) return nearTurn;
  const LaneDoubles turn = laneSplat(PhaseMath::kTwoPi);
  const LaneDoubles turns = v / turn;
  const LaneDoubles magnitude = laneAndNotBits(laneSplat(-0.0), turns);
  if (!LaneAllSet(laneOrBits(nearMask, laneLT(magnitude, laneSplat(2147483647.0))))) {
    LaneDoubles r;
    for (int i = 0; i < kLaneCount; ++i) r[i] = PhaseMath::Wrap(v[i]);
    return r;
  }
  LaneDoubles whole = __builtin_convertvector(__builtin_convertvector(turns, LaneInts), LaneDoubles);
  whole = laneSelect(laneGT(whole, turns), whole - laneSplat(1.0), whole);
  LaneDoubles p = v - whole * turn;
  p = laneSelect(laneGE(p, turn), p - turn, p);
  p = laneAndNotBits(laneLT(p, LaneDoubles{}), p);
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
    const LaneDoubles counts = laneNE(laneLoad(t.useDeviation + k), LaneDoubles{});
    const LaneDoubles deviation = laneAndBits(counts, laneUnwrapAgainst(phaseB, predicted) - predicted);
    const LaneDoubles p = laneWrap(lanePhaseBetween(t.previous, k) + e + advance + deviation);
    const LaneDoubles analysed = laneLoad(t.analysed + k);
    laneStore(phase + k, p);
    laneStore(offset + k, laneUnwrapAgainst(p, analysed) - analysed);
  }
  return k;
}

// AddWrappedPlain (one offset) or AddWrapped2Plain (two) from bin `k`
// while a whole vector is left and its sums lie within the near rule;
// returns the first bin it did not do. Nothing it calls, so that a short
// run costs no saved registers.
template <bool kTwoOffsets>
inline std::int64_t laneAddWrappedNear(float* out, const float* in, std::int64_t k, std::int64_t n, double a,
                                       double b) {
  const LaneDoubles va = laneSplat(a), vb = laneSplat(b);
  for (; k + kLaneCount <= n; k += kLaneCount) {
    LaneDoubles v = laneLoadFloats(in + k) + va;
    if constexpr (kTwoOffsets) v = v + vb;
    if (!LaneAllSet(laneIsNearTurn(v))) break;
    laneStoreFloats(out + k, laneWrapNear(v));
  }
  return k;
}

// The same while a whole vector is left, a vector holding a sum past the
// near rule bin by bin.
template <bool kTwoOffsets>
inline std::int64_t laneAddWrapped(float* out, const float* in, std::int64_t k, std::int64_t n, double a, double b) {
  for (;;) {
    k = laneAddWrappedNear<kTwoOffsets>(out, in, k, n, a, b);
    if (k + kLaneCount > n) return k;
    if constexpr (kTwoOffsets)
      PhaseRuns::AddWrapped2Plain(out + k, in + k, kLaneCount, a, b);
    else
      PhaseRuns::AddWrappedPlain(out + k, in + k, kLaneCount, a);
    k += kLaneCount;
  }
}

// PullTogetherPlain from bin `k` while a whole vector is left; returns the
// first bin it did not do. A vector with a silent bin (a band's edge) or a
// sum past the near rule goes bin by bin.
inline std::int64_t lanePullTogether(float* left, float* right, const float* leftLevels, const float* analysedLeft,
                                     const float* analysedRight, std::int64_t k, std::int64_t n, double amount) {
  constexpr int kAllLanes = (1 << kLaneCount) - 1;
  const LaneDoubles half = laneSplat(0.5), va = laneSplat(amount);
  for (; k + kLaneCount <= n; k += kLaneCount) {
    const int active = laneAboveSilence(leftLevels + k);
    if (active == 0) continue;
    const LaneDoubles inL = laneLoadFloats(analysedLeft + k);
    const LaneDoubles dIn = laneUnwrapAgainst(laneLoadFloats(analysedRight + k), inL) - inL;
    const LaneDoubles l = laneLoadFloats(left + k), r = laneLoadFloats(right + k);
    const LaneDoubles dOutRaw = laneUnwrapAgainst(r, l) - l;
    const LaneDoubles dOut = laneUnwrapAgainst(dOutRaw, dIn);
    const LaneDoubles c = (dOut - dIn) * half * va;
    const LaneDoubles newL = l + c, newR = r - c;
    if (active != kAllLanes || !LaneAllSet(laneAndBits(laneIsNearTurn(newL), laneIsNearTurn(newR)))) {
      PhaseRuns::PullTogetherPlain(left + k, right + k, leftLevels + k, analysedLeft + k, analysedRight + k,
                                   kLaneCount, amount);
      continue;
    }
    laneStoreFloats(left + k, laneWrapNear(newL));
    laneStoreFloats(right + k, laneWrapNear(newR));
  }
  return k;
}
