// The loop behind AmplitudeRun, included once by each copy. No include
// guard and nothing but this loop: a file includes it after every header
// the loop uses, so that no inline function is first compiled under
// another target. AMPLITUDE_RUN_LOOP names the function.

static void AMPLITUDE_RUN_LOOP(const float* levels, std::int64_t n, float silent, double* out) {
  // A band's frame is blanked outside the band, mostly in long runs (three
  // quarters of the decimated low band): a block with no sounding bin
  // takes its zeros without the exponentials.
  constexpr std::int64_t kBlock = 16;
  std::int64_t k = 0;
  for (; k + kBlock <= n; k += kBlock) {
    const float* l = levels + k;
    double* o = out + k;
    // A NaN level counts as sounding: FromDb gives it a NaN. (An int
    // reduction: a bool one stays a compare per bin.)
    int sounding = 0;
    for (std::int64_t j = 0; j < kBlock; ++j) sounding |= l[j] <= silent ? 0 : 1;
    if (sounding == 0) {
      for (std::int64_t j = 0; j < kBlock; ++j) o[j] = 0.0;
      continue;
    }
    for (std::int64_t j = 0; j < kBlock; ++j) o[j] = LevelAmplitude::FromDb(l[j], silent);
  }
  for (; k < n; ++k) out[k] = LevelAmplitude::FromDb(levels[k], silent);
}
