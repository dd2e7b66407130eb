// The loop behind AmplitudeRun, included once by each copy. No include
// guard and nothing but this loop: a file includes it after every header
// the loop uses, so that no inline function is first compiled under
// another target. AMPLITUDE_RUN_LOOP names the function.

static void AMPLITUDE_RUN_LOOP(const float* levels, std::int64_t n, float silent, double* out) {
  // A band's frame is blanked outside the band with the silent level
  // itself, in long runs: a block of those takes its zeros without the
  // exponentials. The test compares bits, two bins to a 64-bit word (a
  // float compare per bin costs a third of an exponential); a level below
  // the silent one, or a NaN, goes through FromDb as any other.
  constexpr std::int64_t kBlock = 16;
  std::uint32_t silentBits;
  std::memcpy(&silentBits, &silent, sizeof silentBits);
  const std::uint64_t silentPair = (std::uint64_t{silentBits} << 32) | silentBits;
  std::int64_t k = 0;
  for (; k + kBlock <= n; k += kBlock) {
    const float* l = levels + k;
    double* o = out + k;
    std::uint64_t words[kBlock / 2];
    std::memcpy(words, l, sizeof words);
    std::uint64_t differ = 0;
    for (std::int64_t j = 0; j < kBlock / 2; ++j) differ |= words[j] ^ silentPair;
    if (differ == 0) {
      for (std::int64_t j = 0; j < kBlock; ++j) o[j] = 0.0;
      continue;
    }
    for (std::int64_t j = 0; j < kBlock; ++j) o[j] = LevelAmplitude::FromDb(l[j], silent);
  }
  for (; k < n; ++k) out[k] = LevelAmplitude::FromDb(levels[k], silent);
}
